// The host's saves, exports and opens where the file system works against them: a full disk, a
// file-size limit, planted links, bytes before the header, files that are not regular files, and
// export targets the user may not write. After each act every file is compared byte for byte
// with what it was.
#include <fcntl.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>

#include "HostFixture.h"
#include "calls/CallSupport.h"
#include "documents/FileSource.h"
#include "support/Texts.h"
#include "../metadata/TicketFiles.h"

using namespace pdfhost;
using namespace pdfhost::calls;
using testfiles::readFile;
using testfiles::shell;
using testfiles::writeFile;

namespace {

// The code of the host error an act raised; kASErrNone when it raised none.
ASErrorCode codeOf(const std::function<void()>& act)
{
  try {
    act();
  } catch (HostError& error) {
    return error.code();
  }
  return kASErrNone;
}

// The code an act raised in a child process, after `prepare` ran there; -1 when the child died.
long long codeInChild(const std::function<void()>& prepare, const std::function<void()>& act)
{
  int channel[2];
  if (::pipe(channel) != 0)
    return -1;
  pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    prepare();
    long long code = codeOf(act);
    (void)!::write(channel[1], &code, sizeof code);
    ::_exit(0);
  }
  ::close(channel[1]);
  long long code = -1;
  if (::read(channel[0], &code, sizeof code) != sizeof code)
    code = -1;
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? code : -1;
}

ASPathName pathName(const std::string& path)
{
  return ASFileSysCreatePathName(nullptr, ASAtomFromString("POSIXPath"), path.c_str(), nullptr);
}

// The host's acts on a target path.
void saveWholeTo(PDDoc doc, const std::string& target)
{
  ASPathName path = pathName(target);
  ASErrorCode code = codeOf([&] { PDDocSave(doc, PDSaveFull, path, nullptr, nullptr, nullptr); });
  ASFileSysReleasePath(nullptr, path);
  if (code != kASErrNone)
    throw HostError(code);
}

void exportTo(const std::string& target, const std::string& text)
{
  ASPathName path = pathName(target);
  ASFile file = nullptr;
  ASErrorCode code = ASFileSysOpenFile(nullptr, path, ASFILE_WRITE | ASFILE_CREATE, &file);
  ASFileSysReleasePath(nullptr, path);
  if (code != kASErrNone)
    throw HostError(code);
  code = codeOf([&] { ASFileWrite(file, text.data(), static_cast<ASUns32>(text.size())); });
  ASErrorCode closed = codeOf([&] { ASFileClose(file); });
  if (code != kASErrNone || closed != kASErrNone)
    throw HostError(code != kASErrNone ? code : closed);
}

// Gives the document its packet again with 8 KB of padding, so that a save has more to write
// than a full disk's last page can take.
void touchMetadata(PDDoc doc)
{
  ASText packet = PDDocGetXAPMetadata(doc);
  std::string text = packet->utf8;
  text.insert(text.rfind("<?xpacket end"), std::string(8192, ' ') + "\n");
  ASText padded = ASTextFromEncoded(text.c_str(), AVAppGetLanguageEncoding());
  PDDocSetXAPMetadata(doc, padded);
  ASTextDestroy(padded);
  ASTextDestroy(packet);
}

std::set<std::string> namesIn(const std::string& folder)
{
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

mode_t modeOf(const std::string& path)
{
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

// A file's bytes; a FIFO (which reading would block on) only as what it is.
std::string contentOf(const std::string& path)
{
  return S_ISFIFO(modeOf(path)) ? "(a FIFO)" : readFile(path);
}

}  // namespace

class Hostile : public HostTest {
 public:
  std::string path(const std::string& name) const { return folder_ + "/" + name; }

 protected:
  void SetUp() override
  {
    HostTest::SetUp();
    char folder[] = "/tmp/pdfhost-hostile-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
    ::chmod(folder_.c_str(), 0755);  // another user may look in, not write
    const char* shared = std::getenv("PDFHOST_SHARED_DIR");
    savedShared_ = shared ? std::optional<std::string>(shared) : std::nullopt;
    ::setenv("PDFHOST_SHARED_DIR", folder_.c_str(), 1);
  }
  void TearDown() override
  {
    Host::get().documents.closeAll();
    if (mounted_)
      ::umount(folder_.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    savedShared_ ? ::setenv("PDFHOST_SHARED_DIR", savedShared_->c_str(), 1)
                 : ::unsetenv("PDFHOST_SHARED_DIR");
    HostTest::TearDown();
  }

  PDDoc open(const std::string& file)
  {
    OpenFailure failure;
    AVDoc view = Host::get().documents.open(file, &failure);
    EXPECT_NE(view, nullptr) << failure.message;
    return view != nullptr ? view->pdDoc.get() : nullptr;
  }

  // A small file system of its own on the test's folder (root only).
  bool mountSmallDisk()
  {
    mounted_ = ::geteuid() == 0 &&
               ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=256k,mode=0755") == 0;
    return mounted_;
  }

  // Fills the disk to its last byte.
  void fillDisk()
  {
    int fd = ::open(path("filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
  }

  std::string folder_;
  bool mounted_ = false;
  std::optional<std::string> savedShared_;
};

TEST_F(Hostile, TheHostIgnoresSigxfszSoAWriteFailsInstead)
{
  struct sigaction action {};
  ::sigaction(SIGXFSZ, nullptr, &action);
  EXPECT_EQ(action.sa_handler, SIG_IGN);
}

// FULL DISKS

struct FullDiskAct {
  const char* name;
  const char* target;  // the file in the folder that the act would change
  std::function<void(Hostile&, PDDoc)> act;
};

void PrintTo(const FullDiskAct& act, std::ostream* out)
{
  *out << act.name;
}

class FullDisk : public Hostile,
                 public ::testing::WithParamInterface<std::tuple<bool, FullDiskAct>> {};

TEST_P(FullDisk, TheTargetStaysAsItWasAndTheCauseIsTold)
{
  auto [smallDisk, act] = GetParam();
  if (smallDisk && !mountSmallDisk())
    GTEST_SKIP() << "a small tmpfs needs root";
  std::string target = path(act.target);
  writeFile(target, readFile(TVP_SAMPLE_PDF));
  PDDoc doc = open(target);
  ASSERT_NE(doc, nullptr);
  touchMetadata(doc);
  std::string before = readFile(target);
  std::set<std::string> names;
  long long code = -1;
  if (smallDisk) {
    fillDisk();
    names = namesIn(folder_);
    code = codeOf([&] { act.act(*this, doc); });
  } else {
    names = namesIn(folder_);
    code = codeInChild(
        [] {
          // SIGXFSZ stays as the host left it.
          struct rlimit limit {
            512, 512
          };
          ::setrlimit(RLIMIT_FSIZE, &limit);
        },
        [&] { act.act(*this, doc); });
  }
  EXPECT_EQ(code, kASErrDiskFull) << errorText(static_cast<ASErrorCode>(code)) << "\n" << logText();
  EXPECT_EQ(errorText(kASErrDiskFull), "The disk is full.");
  EXPECT_EQ(readFile(target), before) << "byte-identical";
  EXPECT_EQ(namesIn(folder_), names) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Acts, FullDisk,
    ::testing::Combine(
        ::testing::Bool(),
        ::testing::Values(
            FullDiskAct{"FullSave", "ad.pdf",
                        [](Hostile&, PDDoc doc) {
                          PDDocSave(doc, PDSaveFull, nullptr, nullptr, nullptr, nullptr);
                        }},
            FullDiskAct{
                "IncrementalSave", "ad.pdf",
                [](Hostile&, PDDoc doc) { PDDocSave(doc, 0, nullptr, nullptr, nullptr, nullptr); }},
            FullDiskAct{"SheetSave", "pdfDoc.pdf",
                        [](Hostile&, PDDoc doc) { saveWholeTo(doc, "//Users/Shared/pdfDoc.pdf"); }},
            FullDiskAct{"Export", "ad.pdf",
                        [](Hostile& test,
                           PDDoc) { exportTo(test.path("ad.pdf"), std::string(8000, 'x')); }})),
    [](const auto& info) {
      return std::string(std::get<0>(info.param) ? "SmallDisk" : "FileSizeLimit") +
             std::get<1>(info.param).name;
    });

// PLANTED LINKS

TEST_F(Hostile, APlantedLinkIsNeverWrittenThrough)
{
  std::string victim = path("victim");
  writeFile(victim, "the user's own file\n");
  PDDoc doc = PDDocCreate();
  // The sheet's name in the shared folder, and the temporary name an older host used.
  std::string sheet = path("pdfDoc.pdf");
  ASSERT_EQ(::symlink(victim.c_str(), sheet.c_str()), 0);
  std::string ad = path("ad.pdf");
  std::string old = ad + ".saving-" + std::to_string(::getpid());
  ASSERT_EQ(::symlink(victim.c_str(), old.c_str()), 0);

  EXPECT_EQ(codeOf([&] { saveWholeTo(doc, "//Users/Shared/pdfDoc.pdf"); }), kASErrNone);
  EXPECT_TRUE(S_ISREG(modeOf(sheet))) << "the planted link is replaced, not followed";
  EXPECT_EQ(codeOf([&] { saveWholeTo(doc, ad); }), kASErrNone);
  EXPECT_EQ(readFile(victim), "the user's own file\n");
  EXPECT_TRUE(S_ISLNK(modeOf(old)));
  int status = -1;
  std::string check = shell("qpdf --check '" + sheet + "'", &status);
  EXPECT_EQ(status, 0) << check;
  PDDocRelease(doc);
}

// BYTES BEFORE THE HEADER

struct HeaderCase {
  const char* name;
  std::size_t offset;  // bytes before "%PDF-"
  bool streams;        // a cross-reference stream rather than a table
};

void PrintTo(const HeaderCase& header, std::ostream* out)
{
  *out << header.name;
}

class HeaderOffset : public Hostile, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(HeaderOffset, SavesStayInTheFileOwnFrame)
{
  std::string plain = path("plain.pdf");
  writeFile(plain, readFile(TVP_SAMPLE_PDF));
  if (GetParam().streams)
    shell("qpdf --object-streams=generate '" + plain + "' '" + plain + ".s' && mv '" + plain +
          ".s' '" + plain + "'");
  std::string file = path("offset.pdf");
  writeFile(file, std::string(GetParam().offset, '~') + readFile(plain));
  for (int save = 1; save <= 2; ++save) {
    std::string before = readFile(file);
    PDDoc doc = open(file);
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(doc->damaged) << "save " << save;
    touchMetadata(doc);
    EXPECT_EQ(codeOf([&] { PDDocSave(doc, 0, nullptr, nullptr, nullptr, nullptr); }), kASErrNone)
        << logText();
    Host::get().documents.closeAll();
    std::string after = readFile(file);
    EXPECT_EQ(after.compare(0, before.size(), before), 0) << "save " << save << " appended";
    int status = -1;
    std::string check = shell("qpdf --check '" + file + "'", &status);
    EXPECT_EQ(status, 0) << check;
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << "save " << save << ": " << check;
  }
  std::string log = logText();
  std::size_t incremental = 0;
  for (std::size_t at = log.find("document saved incrementally"); at != std::string::npos;
       at = log.find("document saved incrementally", at + 1))
    ++incremental;
  EXPECT_EQ(incremental, 2u) << log;
}

INSTANTIATE_TEST_SUITE_P(Offsets, HeaderOffset,
                         ::testing::Values(HeaderCase{"AtZero", 0, false},
                                           HeaderCase{"At100", 100, false},
                                           HeaderCase{"At100WithStreams", 100, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// FILES THAT ARE NOT REGULAR FILES

TEST_F(Hostile, AFifoOrADeviceIsRefusedUnread)
{
  std::string fifo = path("fifo.pdf");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  for (const std::string& file : {fifo, std::string("/dev/zero")}) {
    OpenFailure failure;
    EXPECT_EQ(Host::get().documents.open(file, &failure), nullptr) << file;
    EXPECT_EQ(failure.message, file + ": is not a regular file, not a PDF file");
    // Import reads through the file calls: refused the same way.
    ASPathName name = pathName(file);
    ASFile handle = nullptr;
    EXPECT_EQ(ASFileSysOpenFile(nullptr, name, ASFILE_READ, &handle), kASErrFileOpen) << file;
    EXPECT_EQ(handle, nullptr);
    ASFileSysReleasePath(nullptr, name);
    // What qpdf reads through checks the file again: one swapped in after the checks above.
    EXPECT_THROW(pdfhost::FileSource source(file), std::runtime_error) << file;
  }
  EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
}

TEST_F(Hostile, ProtectedAndUnreadableFilesAreToldForWhatTheyAre)
{
  std::string locked = path("locked.pdf");
  shell("qpdf --encrypt user owner 256 -- '" + std::string(TVP_SAMPLE_PDF) + "' '" + locked + "'");
  OpenFailure failure;
  EXPECT_EQ(Host::get().documents.open(locked, &failure), nullptr);
  EXPECT_EQ(failure.message, locked + ": is protected by a password and cannot be opened");

  // Unreadable for its owner too. Read permissions do not stop root: the open runs in a child
  // that gives up root first.
  std::string unreadable = path("unreadable.pdf");
  writeFile(unreadable, readFile(TVP_SAMPLE_PDF));
  ::chmod(unreadable.c_str(), 0);
  std::string message;
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  pid_t child = ::fork();
  if (child == 0) {
    struct passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0 &&
        (nobody == nullptr || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0))
      ::_exit(3);
    OpenFailure childFailure;
    Host::get().documents.open(unreadable, &childFailure);
    (void)!::write(channel[1], childFailure.message.data(), childFailure.message.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  char buffer[512];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
    message.append(buffer, static_cast<std::size_t>(n));
  ::close(channel[0]);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(message, unreadable + ": cannot be read (Permission denied)");
}

// Opened in a child whose address space is limited to what it holds now and `megabytes` more (or
// less: some of what it holds is reserved, not used);
// what the open said, "opened", or "ended" when the child did not end normally.
std::string openWithLittleMemory(const std::string& file, long megabytes)
{
  int channel[2];
  if (::pipe(channel) != 0)
    return "no pipe";
  pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    long size = testfiles::addressSpaceInUse();
    struct rlimit limited {};
    ::getrlimit(RLIMIT_AS, &limited);
    limited.rlim_cur = static_cast<rlim_t>(size + (megabytes << 20));
    ::setrlimit(RLIMIT_AS, &limited);
    OpenFailure failure;
    std::string said =
        Host::get().documents.open(file, &failure) != nullptr ? "opened" : failure.message;
    (void)!::write(channel[1], said.data(), said.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string said;
  char buffer[512];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
    said.append(buffer, static_cast<std::size_t>(n));
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : "ended";
}

TEST_F(Hostile, OutOfMemoryAnywhereInAnOpenIsTheHostsMemoryError)
{
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than a limit allows";
#else
  // Many objects and a large packet: memory is taken all along the open.
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R >>",
                                      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>"};
  std::string packet = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>" + std::string(12 << 20, ' ') +
                       "</x:xmpmeta>";
  objects.push_back("<< /Type /Metadata /Subtype /XML /Length " + std::to_string(packet.size()) +
                    " >>\nstream\n" + packet + "\nendstream");
  for (int i = 0; i < 20000; ++i)
    objects.push_back("<< /Filler " + std::to_string(i) + " >>");
  std::string file = path("large.pdf");
  writeFile(file, tickettest::pdfOfObjects(objects));
  std::vector<std::string>().swap(objects);
  std::string().swap(packet);
  ::malloc_trim(0);  // what the child starts with is what it holds
  // From a limit at which the open cannot begin to one at which it ends: out of memory at any
  // point between is the host's memory error, never a crash or a word on the file.
  int outOfMemory = 0;
  std::string said;
  for (long megabytes = -48; megabytes <= 64; ++megabytes) {
    SCOPED_TRACE(megabytes);
    said = openWithLittleMemory(file, megabytes);
    if (said == file + ": Out of memory.")
      ++outOfMemory;
    else
      EXPECT_EQ(said, "opened");
  }
  EXPECT_GT(outOfMemory, 0) << "the sweep reached into the open";
  EXPECT_EQ(said, "opened") << "and past it";
#endif
}

// EXPORT TARGETS

struct ExportTarget {
  const char* name;
  // Makes the target in the folder and returns its path.
  std::function<std::string(Hostile&)> make;
  ASErrorCode code;    // what the export raises
  bool asAnotherUser;  // run by the user nobody
  mode_t mode;         // the target's mode after a written export (0: not checked)
};

void PrintTo(const ExportTarget& target, std::ostream* out)
{
  *out << target.name;
}

class ExportTargets : public Hostile, public ::testing::WithParamInterface<ExportTarget> {};

TEST_P(ExportTargets, AreWrittenOrRefusedAsTheShellWould)
{
  const ExportTarget& target = GetParam();
  if (target.asAnotherUser && ::geteuid() != 0)
    GTEST_SKIP() << "only root can make a file that belongs to another user";
  mode_t mask = ::umask(027);
  std::string file = target.make(*this);
  ::umask(mask);
  std::string before = contentOf(file);
  std::set<std::string> names = namesIn(folder_);
  const std::string text = "<x:xmpmeta/>";
  long long code = codeInChild(
      [&] {
        ::umask(027);
        struct passwd* nobody = ::getpwnam("nobody");
        if (target.asAnotherUser && ::geteuid() == 0 &&
            (nobody == nullptr || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0))
          ::_exit(3);
      },
      [&] { exportTo(file, text); });
  EXPECT_EQ(code, target.code) << logText();
  if (target.code != kASErrNone) {
    EXPECT_EQ(contentOf(file), before) << "byte-identical";
    EXPECT_EQ(namesIn(folder_), names) << "nothing left behind";
    return;
  }
  EXPECT_EQ(readFile(file), text);
  if (target.mode != 0)
    EXPECT_EQ(modeOf(file) & 07777, target.mode);
  std::set<std::string> after = namesIn(folder_);
  after.erase(std::filesystem::path(file).filename().string());
  names.erase(std::filesystem::path(file).filename().string());
  EXPECT_EQ(after, names) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ExportTargets,
    ::testing::Values(ExportTarget{"ReadOnly",
                                   [](Hostile& t) {
                                     writeFile(t.path("t.xml"), "old");
                                     ::chmod(t.path("t.xml").c_str(), 0444);
                                     return t.path("t.xml");
                                   },
                                   kASErrFilePermission, false, 0},
                      ExportTarget{"AnotherUsersFile",
                                   [](Hostile& t) {
                                     ::chmod(t.path("").c_str(),
                                             0777);  // the folder takes anyone's files
                                     writeFile(t.path("t.xml"), "old");
                                     ::chmod(t.path("t.xml").c_str(), 0644);
                                     return t.path("t.xml");
                                   },
                                   kASErrFilePermission, true, 0},
                      ExportTarget{"MissingFolder", [](Hostile& t) { return t.path("no/t.xml"); },
                                   kASErrFolderMissing, false, 0},
                      ExportTarget{"FolderThatIsAFile",
                                   [](Hostile& t) {
                                     writeFile(t.path("f"), "a file");
                                     return t.path("f/t.xml");
                                   },
                                   kASErrFolderIsFile, false, 0},
                      ExportTarget{"Fifo",
                                   [](Hostile& t) {
                                     ::mkfifo(t.path("t.xml").c_str(), 0644);
                                     return t.path("t.xml");
                                   },
                                   kASErrFileOpen, false, 0},
                      ExportTarget{"NewFileUnderUmask", [](Hostile& t) { return t.path("t.xml"); },
                                   kASErrNone, false, 0640},
                      ExportTarget{"ExistingFileKeepsItsMode",
                                   [](Hostile& t) {
                                     writeFile(t.path("t.xml"), std::string(5000, '~'));
                                     ::chmod(t.path("t.xml").c_str(), 0604);
                                     return t.path("t.xml");
                                   },
                                   kASErrNone, false, 0604},
                      ExportTarget{
                          "NameOf250Bytes",
                          [](Hostile& t) { return t.path(std::string(246, 'n') + ".xml"); },
                          kASErrNone, false, 0640}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Hostile, ALinkStaysALinkAndItsFileReceivesTheText)
{
  std::filesystem::create_directory(path("real"));
  writeFile(path("real/t.xml"), "old");
  ::chmod(path("real/t.xml").c_str(), 0640);
  ASSERT_EQ(::symlink("real/t.xml", path("link.xml").c_str()), 0);
  EXPECT_EQ(codeOf([&] { exportTo(path("link.xml"), "new"); }), kASErrNone);
  EXPECT_TRUE(S_ISLNK(modeOf(path("link.xml"))));
  EXPECT_EQ(readFile(path("real/t.xml")), "new");
  EXPECT_EQ(modeOf(path("real/t.xml")) & 07777, 0640);
  EXPECT_EQ(namesIn(path("real")), std::set<std::string>{"t.xml"});

  // In a folder anyone may write, a link another user planted is replaced, never followed.
  if (::geteuid() != 0)
    GTEST_SKIP() << "only root can plant a link that belongs to another user";
  ::chmod(folder_.c_str(), 01777);
  ASSERT_EQ(::symlink("real/t.xml", path("planted.xml").c_str()), 0);
  ASSERT_EQ(::lchown(path("planted.xml").c_str(), 65534, 65534), 0);
  EXPECT_EQ(codeOf([&] { exportTo(path("link.xml"), "ours"); }), kASErrNone);
  EXPECT_EQ(readFile(path("real/t.xml")), "ours") << "our own link is still followed";
  EXPECT_EQ(codeOf([&] { exportTo(path("planted.xml"), "theirs"); }), kASErrNone);
  EXPECT_EQ(readFile(path("real/t.xml")), "ours");
  EXPECT_TRUE(S_ISREG(modeOf(path("planted.xml"))));
}

TEST_F(Hostile, StaleTemporaryFilesOfOurOwnAreCleanedUp)
{
  writeFile(path(".pdfhost-Stale1"), "left by a killed save");
  writeFile(path(".pdfhost-Fresh1"), "being written by another save");
  writeFile(path(".pdfhost-other-name"), "not ours");
  struct timeval old[2] = {{std::time(nullptr) - 7200, 0}, {std::time(nullptr) - 7200, 0}};
  ::utimes(path(".pdfhost-Stale1").c_str(), old);
  ::utimes(path(".pdfhost-other-name").c_str(), old);
  EXPECT_EQ(codeOf([&] { exportTo(path("t.xml"), "new"); }), kASErrNone);
  EXPECT_EQ(namesIn(folder_),
            (std::set<std::string>{".pdfhost-Fresh1", ".pdfhost-other-name", "t.xml"}));
}

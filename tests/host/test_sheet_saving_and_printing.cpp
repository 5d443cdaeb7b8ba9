// New documents saved to the shared folder, opened without a window, printed and closed: the
// folder's mapping and its faults, the headless print job, and the counts of what is alive.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "HostFixture.h"
#include "calls/CallSupport.h"
#include "documents/SharedFolder.h"

using namespace pdfhost;
using namespace pdfhost::calls;

namespace {

// Sets environment variables for a test and restores them after.
class Environment {
 public:
  void set(const char* name, const std::string& value)
  {
    remember(name);
    ::setenv(name, value.c_str(), 1);
  }
  void unset(const char* name)
  {
    remember(name);
    ::unsetenv(name);
  }
  ~Environment()
  {
    for (const auto& [name, value] : saved_)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }

 private:
  void remember(const char* name)
  {
    if (saved_.count(name) == 0) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

std::string temporaryFolder()
{
  char folder[] = "/tmp/pdfhost-shared-XXXXXX";
  return ::mkdtemp(folder) != nullptr ? folder : "";
}

// A new document with one empty page, saved in full to a POSIX path; returns it unreleased.
PDDoc savedDocument(const char* posixPath)
{
  PDDoc doc = PDDocCreate();
  PDPage page = PDDocCreatePage(doc, -1, ASFixedRect{0, 842 * fixedOne, 595 * fixedOne, 0});
  PDPageRelease(page);
  ASPathName path =
      ASFileSysCreatePathName(nullptr, ASAtomFromString("POSIXPath"), posixPath, nullptr);
  try {
    PDDocSave(doc, PDSaveFull, path, ASGetDefaultUnicodeFileSys(), nullptr, nullptr);
  } catch (...) {
    ASFileSysReleasePath(nullptr, path);
    throw;
  }
  ASFileSysReleasePath(nullptr, path);
  return doc;
}

}  // namespace

class SheetSaving : public HostTest {
 protected:
  void SetUp() override
  {
    HostTest::SetUp();
    folder_ = temporaryFolder();
    ASSERT_FALSE(folder_.empty());
    environment_.set("PDFHOST_SHARED_DIR", folder_);
  }
  void TearDown() override
  {
    const LiveObjects& live = Host::get().live;
    EXPECT_EQ(live.documents + live.views + live.pages + live.paths, 0);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    HostTest::TearDown();
  }
  std::string folder_;
  Environment environment_;
};

struct MappingCase {
  const char* posix;
  const char* inShared;  // the path below the shared folder, or null when not mapped
};

class SharedMapping : public SheetSaving, public ::testing::WithParamInterface<MappingCase> {};

TEST_P(SharedMapping, OnlyTheSharedUsersFolderMoves)
{
  bool shared = false;
  std::string mapped = hostPathOfPosixPath(GetParam().posix, &shared);
  EXPECT_EQ(shared, GetParam().inShared != nullptr);
  if (GetParam().inShared != nullptr)
    EXPECT_EQ(mapped, folder_ + GetParam().inShared);
  else
    EXPECT_EQ(mapped.rfind(folder_, 0), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Paths, SharedMapping,
                         ::testing::Values(MappingCase{"//Users/Shared/pdfDoc.pdf", "/pdfDoc.pdf"},
                                           MappingCase{"/Users/Shared", ""},
                                           MappingCase{"/Users/Shared/a/b.pdf", "/a/b.pdf"},
                                           MappingCase{"/Users/SharedStuff/x.pdf", nullptr},
                                           MappingCase{"/tmp/Users/Shared/x.pdf", nullptr}),
                         [](const auto& info) { return testfiles::caseName(info.param.posix); });

TEST_F(SheetSaving, TheDefaultFolderFollowsXdgDataHomeThenHome)
{
  environment_.unset("PDFHOST_SHARED_DIR");
  environment_.set("XDG_DATA_HOME", "/data/of/user");
  EXPECT_EQ(sharedFolder(), "/data/of/user/pdfhost/Shared");
  environment_.unset("XDG_DATA_HOME");
  environment_.set("HOME", "/home/someone");
  EXPECT_EQ(sharedFolder(), "/home/someone/.local/share/pdfhost/Shared");
  environment_.unset("HOME");
  std::string home = ::getpwuid(::geteuid())->pw_dir;
  EXPECT_EQ(sharedFolder(), absolutePath(home + "/.local/share/pdfhost/Shared"))
      << "the account's home, not the root of the file system";
  EXPECT_TRUE(sharedFolderIsDefault());
}

namespace {

// A print dialog during which another process puts its own sheet at a path.
class ReplacedDuringTheDialog : public ScriptedUi {
 public:
  ReplacedDuringTheDialog(std::string answer, std::string path)
      : ScriptedUi({std::move(answer)}), path_(std::move(path))
  {
  }
  PrintResult printDocument(const PrintRequest& request) override
  {
    std::string other = path_ + ".other";
    std::ofstream(other) << "%PDF-1.4 another user's sheet";
    std::rename(other.c_str(), path_.c_str());
    return ScriptedUi::printDocument(request);
  }

 private:
  std::string path_;
};

std::string contentOf(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(SheetSaving, ASavedSheetIsOpenedWithoutAWindowPrintedAndClosed)
{
  PDDoc doc = savedDocument("//Users/Shared/pdfDoc.pdf");
  std::string saved = folder_ + "/pdfDoc.pdf";
  EXPECT_EQ(std::system(("qpdf --check '" + saved + "' >/dev/null").c_str()), 0);
  std::string savedBytes = contentOf(saved);
  std::string printed = folder_ + "/printed.pdf";
  Host::get().ui = std::make_unique<ReplacedDuringTheDialog>("print " + printed, saved);

  AVDocOpenParamsRec params{};
  params.size = sizeof params;
  params.useVisible = true;
  params.visible = false;
  AVDoc view = AVDocOpenFromPDDocWithParams(doc, nullptr, &params);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(AVAppGetActiveDoc(), nullptr) << "a view without a window is never active";
  EXPECT_EQ(AVDocGetPDDoc(view), doc);
  EXPECT_THROW(PDDocRelease(doc), HostError) << "the view owns it now";
  AVDocDoPrint(view);
  EXPECT_TRUE(AVDocClose(view, true));
  EXPECT_THROW(AVDocClose(view, true), HostError) << "closed already";

  EXPECT_EQ(contentOf(printed), savedBytes)
      << "the job is the file this print saved, not what is at its path now";
  std::string log = logText();
  EXPECT_NE(log.find("shared folder: //Users/Shared/pdfDoc.pdf -> " + saved), std::string::npos)
      << log;
  EXPECT_NE(log.find("print job: pdfDoc.pdf -> " + printed), std::string::npos) << log;
}

TEST_F(SheetSaving, ADocumentChangedSinceItsSaveIsPrintedAsItIsNow)
{
  // The print copy goes to the temporary folder; one that a killed print left there an hour
  // ago is swept, and the new one is gone once the job is done.
  std::string temporary = folder_ + "/tmp";
  std::filesystem::create_directory(temporary);
  environment_.set("TMPDIR", temporary);
  std::string stale = temporary + "/.pdfhost-Ab12Cd";
  std::ofstream(stale) << "half a print copy";
  struct timespec twoHoursAgo[2] = {{std::time(nullptr) - 7200, 0}, {std::time(nullptr) - 7200, 0}};
  ::utimensat(AT_FDCWD, stale.c_str(), twoHoursAgo, 0);
  PDDoc doc = savedDocument("//Users/Shared/pdfDoc.pdf");
  PDPage page = PDDocCreatePage(doc, 0, ASFixedRect{0, 100 * fixedOne, 100 * fixedOne, 0});
  PDPageRelease(page);
  std::string printed = folder_ + "/printed.pdf";
  Host::get().ui = std::make_unique<ScriptedUi>(std::deque<std::string>{"print " + printed});
  AVDoc view = AVDocOpenFromPDDocWithParams(doc, nullptr, nullptr);
  AVDocDoPrint(view);
  AVDocClose(view, true);
  std::string info;
  FILE* pipe = ::popen(("pdfinfo '" + printed + "' 2>&1").c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) info.append(buffer, n);
  ::pclose(pipe);
  EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
  EXPECT_TRUE(std::filesystem::is_empty(temporary)) << "the stale copy swept, the new one gone";
}

TEST_F(SheetSaving, AMissingFolderFailsTheSaveNamesTheFolderAndWritesNothing)
{
  const std::string hint =
      ", the shared folder; the environment variable PDFHOST_SHARED_DIR "
      "chooses it.";
  std::ofstream(folder_ + "/a-file") << "not a folder";
  const struct {
    std::string sharedFolder;  // empty: the default one, under XDG_DATA_HOME
    std::string posix;
    ASErrorCode code;
    std::string text;
  } cases[] = {
      {folder_ + "/gone", "//Users/Shared/pdfDoc.pdf", kASErrFolderMissing,
       "The folder to save the file in does not exist. The folder is " + folder_ + "/gone" + hint},
      {folder_ + "/gone", folder_ + "/other/pdfDoc.pdf", kASErrFolderMissing,
       "The folder to save the file in does not exist. The folder is " + folder_ + "/other."},
      {folder_ + "/a-file", "//Users/Shared/pdfDoc.pdf", kASErrFolderIsFile,
       "The folder to save the file in is a file, not a folder. The folder is " + folder_ +
           "/a-file" + hint},
      {"", "//Users/Shared/pdfDoc.pdf", kASErrFolderNotMade,
       "The folder to save the file in could not be made. The folder is " + folder_ +
           "/a-file/pdfhost/Shared" + hint},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.sharedFolder.empty()) {
      environment_.unset("PDFHOST_SHARED_DIR");
      environment_.set("XDG_DATA_HOME", folder_ + "/a-file");
    } else {
      environment_.set("PDFHOST_SHARED_DIR", c.sharedFolder);
    }
    PDDoc doc = PDDocCreate();
    ASPathName path =
        ASFileSysCreatePathName(nullptr, ASAtomFromString("POSIXPath"), c.posix.c_str(), nullptr);
    EXPECT_THROW(PDDocSave(doc, PDSaveFull, path, nullptr, nullptr, nullptr), HostError);
    EXPECT_EQ(Host::get().frames.lastError(), c.code);
    EXPECT_EQ(errorText(c.code, Host::get().frames.detailOf(c.code)), c.text);
    ASFileSysReleasePath(nullptr, path);
    PDDocRelease(doc);
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/gone")) << "a folder the user named is not made";
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/other"));
}

TEST_F(SheetSaving, AnUnwritableSharedFolderFailsTheSaveAndWritesNothing)
{
  // Folder permissions do not stop root: the save runs in a child that gives up root first.
  std::string folder = folder_ + "/read-only";
  ::chmod(folder_.c_str(), 0755);  // the child may look in, not write
  std::filesystem::create_directory(folder);
  ::chmod(folder.c_str(), 0555);
  environment_.set("PDFHOST_SHARED_DIR", folder);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0) {
      struct passwd* nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
        ::_exit(3);
    }
    try {
      PDDoc doc = savedDocument("//Users/Shared/pdfDoc.pdf");
      (void)doc;
      ::_exit(1);
    } catch (HostError& error) {
      ::_exit(error.code() == kASErrFolderPermission ? 0 : 2);
    } catch (...) {
      ::_exit(4);
    }
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "1: saved; 2: another error; 3: could not drop root; 4: not a host error";
  EXPECT_TRUE(std::filesystem::is_empty(folder)) << "no temporary file is left";
}

struct PrintAnswer {
  const char* name;
  std::string answer;  // "%s" stands for the test's folder
  PrintResult::Outcome outcome;
};

class ScriptedPrint : public SheetSaving, public ::testing::WithParamInterface<PrintAnswer> {};

TEST_P(ScriptedPrint, TakesItsAnswerFromTheScript)
{
  std::string source = folder_ + "/source.pdf";
  std::ofstream(source) << "%PDF-1.4 stand-in";
  std::string answer = GetParam().answer;
  std::size_t at = answer.find("%s");
  if (at != std::string::npos) answer.replace(at, 2, folder_);
  ScriptedUi ui({answer});
  int descriptor = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  PrintResult result = ui.printDocument(PrintRequest{"source.pdf", descriptor});
  ::close(descriptor);
  EXPECT_EQ(result.outcome, GetParam().outcome) << result.failure;
  if (result.outcome == PrintResult::kPrinted) EXPECT_EQ(result.destination, folder_ + "/job.pdf");
  if (result.outcome == PrintResult::kFailed)
    EXPECT_EQ(testfiles::countOf(result.failure, folder_ + "/no/job.pdf"), 1) << result.failure;
  std::size_t files = static_cast<std::size_t>(std::distance(
      std::filesystem::directory_iterator(folder_), std::filesystem::directory_iterator()));
  EXPECT_EQ(files, result.outcome == PrintResult::kPrinted ? 2u : 1u) << "nothing half-written";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ScriptedPrint,
    ::testing::Values(PrintAnswer{"Print", "print %s/job.pdf", PrintResult::kPrinted},
                      PrintAnswer{"Cancel", "cancel", PrintResult::kCancelled},
                      PrintAnswer{"OtherAnswer", "yes", PrintResult::kCancelled},
                      PrintAnswer{"FolderMissing", "print %s/no/job.pdf", PrintResult::kFailed}),
    [](const auto& info) { return std::string(info.param.name); });

// Saving the ticket through pdfhost as a user does, on PDFs other programs wrote, carrying a
// ticket that another tool stored under prefixes of its own: the dialog opened on the file however
// it is named, Save, the dialog opened again and Export, all in one run of the host; or Save
// refused with the file left exactly as it was.
#include "../support/TestFiles.h"
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <qpdf/QPDF.hh>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

namespace {

using testfiles::readFile;
using testfiles::shell;
using testfiles::writeFile;

const std::string kTicketUri = "http://ns.tovarin.com/tvp/adticket/1.0/";

// The ticket's fields as elements under `prefix`: every mandatory one and a colour.
std::string ticketFields(const std::string& prefix)
{
  const std::pair<const char*, const char*> fields[] = {
      {"ediorderid", "ORD-1"},  {"jobid", "J-1"},        {"client", "Mediahaus M&#xFC;nchen"},
      {"agency", "Agency"},     {"service", "Service"},  {"advertiser", "Advertiser"},
      {"firstpub", "2027-01-15"}, {"location", "Weekly"}, {"theme", "Winter"},
      {"bwcolour", "YES"},      {"fullcolour", "NO"},    {"contact", "Renee"},
      {"phone", "+49 89 1234"}, {"email", "ads@example.com"}, {"mmwidth", "90"},
      {"remarks", "Deliver by Friday"},
  };
  std::string text;
  for (const auto& [name, value] : fields)
    text += "   <" + prefix + ":" + name + ">" + value + "</" + prefix + ":" + name + ">\n";
  return text;
}

// A complete ticket under the prefix `prefix` declared in single quotes (as exiftool writes
// it), AdsML under "ads" in double quotes, and two other schemas; `deep` elements nested in one
// of them, and `megabytes` of text in another.
std::string ticketPacket(const std::string& prefix, int deep, int megabytes)
{
  std::string nested;
  for (int i = 0; i < deep; ++i)
    nested += "<oth:n>";
  for (int i = 0; i < deep; ++i)
    nested += "</oth:n>";
  return "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
         "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
         " <rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
         "  <rdf:Description rdf:about='' xmlns:" + prefix + "='" + kTicketUri + "'>\n" +
         ticketFields(prefix) +
         "  </rdf:Description>\n"
         "  <rdf:Description rdf:about=\"\" xmlns:ads=\"http://adsml.org/xmlns/\">\n"
         "   <ads:PrintHeightUnit>column</ads:PrintHeightUnit>\n"
         "  </rdf:Description>\n"
         "  <rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'\n"
         "    xmlns:oth='http://example.com/other/1.0/'>\n"
         "   <dc:format>application/pdf</dc:format><oth:keep>kept value</oth:keep>\n" +
         (deep > 0 ? "   <oth:deep>" + nested + "</oth:deep>\n" : "") +
         (megabytes > 0 ? "   <oth:bulk>" + std::string(megabytes << 20, 'b') + "</oth:bulk>\n"
                        : "") +
         "  </rdf:Description>\n"
         " </rdf:RDF>\n"
         "</x:xmpmeta>\n"
         "<?xpacket end='w'?>";
}

// How each producer makes a one-page PDF from the sample ("IN") into "OUT".
struct Producer {
  const char* name;
  const char* command;
};
const Producer kProducers[] = {
    {"hand-written", "cp IN OUT"},
    {"cairo", "pdftocairo -pdf IN OUT"},
    {"ghostscript", "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -o OUT IN"},
    {"qpdf", "qpdf --empty --pages IN -- OUT"},
};

enum class Layout {
  AsMade,
  ObjectStreams,
  Linearized,
  BrokenXref,
  HeaderAt1021,        // 1021 bytes before the header; qpdf counts offsets from it
  AfterInvalidHeader,  // "%PDF-x" on the line before the header
  InfoEntryOff,        // the cross-reference entry of /Info is off; nothing at the open reads it
  // A revision that names keys twice, as these writers do; qpdf keeps a key's last value.
  CatalogKeysTwiceAlike,  // pdfx's PDF/X-4: /OutputIntents inline and by reference, /Lang twice
  InfoTitleTwice,         // pdfTeX: hyperref and \pdfinfo both set /Title
  CatalogLangTwiceApart,  // two different languages: readers read the catalog apart
};
enum class During {
  Nothing,
  Append,
  Remove,
  AnotherHostSaving,   // a second pdfhost saves the file and is held back at its first write
  KilledWhileWriting,  // a first save was killed part of the way through its update
  OutOfMemory,         // the address space is limited to a little more than the dialog needs
  AnotherHostSavingWithoutLocks,  // as AnotherHostSaving, every lock call of both failing ENOLCK
  PowerCut,            // the save's writes recorded, then replayed cut short onto copies
  OpeningFailsAfterTheSave,  // every later opening of the file fails EMFILE; then Save again
};

struct SavingCase {
  const char* what;
  const char* producer;
  Layout layout;
  const char* named;  // the file as pdfhost is given it, from the test's folder (@DIR@: its path)
  mode_t mode;
  int deep;           // elements nested in the packet
  int megabytes;      // of other text in the packet
  During during;      // what another program does while the dialog is open
  const char* alert;  // null: saved incrementally; else the refusal's text
};

const char* const kNoPermission = "You do not have permission to access the file.";
const char* const kChanged =
    "The file was changed or replaced by another program since it was opened.";
const char* const kNotFound = "The file could not be found.";
const char* const kNoMemory = "Out of memory.";
const char* const kMetadata = "The document's metadata could not be read or written.";
const char* const kReadApart =
    "The document's catalog, which a save writes anew, names an entry twice in a way that PDF "
    "readers may read differently, so the file is left as it is. Save a corrected copy of it with "
    "another program and open that. The entry is /Lang.";
const char* const kRepaired =
    "The file had to be repaired to be read, so it is left as it is. Save a repaired copy of it "
    "with another program and open that.";

const SavingCase kCases[] = {
    {"relative path", "cairo", Layout::AsMade, "doc.pdf", 0644, 0, 0, During::Nothing, nullptr},
    {"'..' in a relative path", "ghostscript", Layout::AsMade, "sub/../doc.pdf", 0644, 0, 0,
     During::Nothing, nullptr},
    {"symlink", "qpdf", Layout::AsMade, "link.pdf", 0644, 0, 0, During::Nothing, nullptr},
    {"object streams, '..' and '//' in an absolute path", "cairo", Layout::ObjectStreams,
     "@DIR@//sub/../doc.pdf", 0644, 0, 0, During::Nothing, nullptr},
    {"linearized", "ghostscript", Layout::Linearized, "./doc.pdf", 0644, 0, 0, During::Nothing,
     nullptr},
    {"read-only", "hand-written", Layout::AsMade, "doc.pdf", 0444, 0, 0, During::Nothing,
     kNoPermission},
    {"changed on disk", "cairo", Layout::AsMade, "doc.pdf", 0644, 0, 0, During::Append, kChanged},
    {"deleted", "qpdf", Layout::AsMade, "sub/../doc.pdf", 0644, 0, 0, During::Remove,
     kNotFound},
    {"nested 100,000 deep", "hand-written", Layout::AsMade, "doc.pdf", 0644, 100000, 0,
     During::Nothing, kMetadata},
    {"repaired when read", "hand-written", Layout::BrokenXref, "doc.pdf", 0644, 0, 0,
     During::Nothing, kRepaired},
    {"header at 1021", "ghostscript", Layout::HeaderAt1021, "doc.pdf", 0644, 0, 0,
     During::Nothing, nullptr},
    {"after an invalid header", "cairo", Layout::AfterInvalidHeader, "doc.pdf", 0644, 0, 0,
     During::Nothing, nullptr},
    {"Info entry off", "hand-written", Layout::InfoEntryOff, "doc.pdf", 0644, 0, 0,
     During::Nothing, kRepaired},
    {"two hosts saving at once", "qpdf", Layout::ObjectStreams, "doc.pdf", 0644, 0, 0,
     During::AnotherHostSaving, kChanged},
    {"killed while writing", "cairo", Layout::AsMade, "doc.pdf", 0644, 0, 3,
     During::KilledWhileWriting, nullptr},
    {"out of memory", "hand-written", Layout::AsMade, "doc.pdf", 0644, 0, 30,
     During::OutOfMemory, kNoMemory},
    {"catalog keys named twice alike", "hand-written", Layout::CatalogKeysTwiceAlike, "doc.pdf",
     0644, 0, 0, During::Nothing, nullptr},
    {"/Info's title named twice", "cairo", Layout::InfoTitleTwice, "doc.pdf", 0644, 0, 0,
     During::Nothing, nullptr},
    {"catalog language named twice apart", "qpdf", Layout::CatalogLangTwiceApart, "doc.pdf", 0644,
     0, 0, During::Nothing, kReadApart},
    {"two hosts saving at once without locks", "cairo", Layout::AsMade, "doc.pdf", 0644, 0, 0,
     During::AnotherHostSavingWithoutLocks, kChanged},
    {"power cut", "ghostscript", Layout::AsMade, "doc.pdf", 0644, 0, 0, During::PowerCut, nullptr},
    {"the file cannot be opened after the save", "qpdf", Layout::AsMade, "doc.pdf", 0644, 0, 0,
     During::OpeningFailsAfterTheSave, nullptr},
};

// The file with a revision appended that gives the catalog `catalogMore` besides its entries and,
// when `info` is not empty, a new /Info; the file's other objects stay as they are. `extra`, when
// not empty, is a new object that "@EXTRA@" in `catalogMore` refers to.
std::string withDuplicatedKeys(const std::string& path, std::string catalogMore,
                               const std::string& info, const std::string& extra = "")
{
  QPDF pdf;
  pdf.processFile(path.c_str());
  QPDFObjectHandle root = pdf.getRoot();
  QPDFObjectHandle trailer = pdf.getTrailer();
  int next = trailer.getKey("/Size").getIntValueAsInt();
  std::string bytes = readFile(path);
  std::size_t last = bytes.rfind("startxref");
  std::string previous = std::to_string(std::atoll(bytes.c_str() + last + 9));
  std::vector<std::pair<int, std::string>> objects;
  if (!extra.empty()) {
    objects.push_back({next++, extra});
    catalogMore.replace(catalogMore.find("@EXTRA@"), 7, std::to_string(next - 1) + " 0 R");
  }
  std::string catalog = root.unparseResolved();
  catalog = catalog.substr(0, catalog.rfind(">>")) + catalogMore + " >>";
  objects.push_back({root.getObjectID(), catalog});
  std::string trailerMore = " /Root " + root.unparse();
  if (!info.empty()) {
    objects.push_back({next++, info});
    trailerMore += " /Info " + std::to_string(objects.back().first) + " 0 R";
  } else if (trailer.hasKey("/Info")) {
    trailerMore += " /Info " + trailer.getKey("/Info").unparse();
  }
  if (trailer.hasKey("/ID"))
    trailerMore += " /ID " + trailer.getKey("/ID").unparse();
  std::string xref;
  for (const auto& [number, body] : objects) {
    char row[64];
    std::snprintf(row, sizeof row, "%d 1\n%010zu 00000 n \n", number, bytes.size());
    xref += row;
    bytes += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
  }
  std::size_t at = bytes.size();
  bytes += "xref\n" + xref + "trailer\n<< /Size " + std::to_string(next) + " /Prev " + previous +
           trailerMore + " >>\nstartxref\n" +
           std::to_string(at) + "\n%%EOF\n";
  return bytes;
}

void PrintTo(const SavingCase& c, std::ostream* out)
{
  *out << c.what << " (" << c.producer << ")";
}

const char* const kAppended = "% another program was here\n";

class SavingThroughPdfhost : public ::testing::TestWithParam<SavingCase> {
 protected:
  void SetUp() override
  {
    char folder[] = "/tmp/tvp-saving-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    dir_ = folder;
    ASSERT_EQ(::mkdir((dir_ + "/sub").c_str(), 0755), 0);
  }
  void TearDown() override
  {
    shell("chmod -R u+w " + dir_ + " && rm -rf " + dir_);
  }

  // doc.pdf in the test's folder: made by the producer, the packet stored by exiftool as an
  // update of its own, then laid out as asked.
  void makeDocument(const SavingCase& c)
  {
    std::string made;
    for (const auto& producer : kProducers)
      if (std::string(producer.name) == c.producer)
        made = producer.command;
    ASSERT_FALSE(made.empty()) << c.producer;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"IN", TVP_SAMPLE_PDF},
                                   {"OUT", dir_ + "/made.pdf"}})
      if (made.find(from) != std::string::npos)
        made.replace(made.find(from), from.size(), to);
    int status = -1;
    std::string out = shell(made, &status);
    ASSERT_EQ(status, 0) << made << ": " << out;
    // The ticket loader rewrites a prefix of the document's own only in packets of up to 32,000
    // bytes: a larger one carries the ticket under "tvp".
    bool large = c.deep > 0 || c.megabytes > 0;
    writeFile(dir_ + "/ticket.xmp", ticketPacket(large ? "tvp" : "tkt", c.deep, c.megabytes));
    out = shell("exiftool -q '-XMP<=" + dir_ + "/ticket.xmp' " + dir_ + "/made.pdf -o " + dir_ +
                    "/tagged.pdf",
                &status);
    ASSERT_EQ(status, 0) << out;
    std::string tagged = dir_ + "/tagged.pdf";
    std::string doc = dir_ + "/doc.pdf";
    switch (c.layout) {
      case Layout::AsMade:
        std::rename(tagged.c_str(), doc.c_str());
        break;
      case Layout::ObjectStreams:
        shell("qpdf --object-streams=generate " + tagged + " " + doc);
        ASSERT_NE(shell("qpdf --show-xref " + doc).find("compressed"), std::string::npos);
        break;
      case Layout::Linearized:
        shell("qpdf --linearize " + tagged + " " + doc);
        ASSERT_NE(shell("qpdf --check-linearization " + doc).find("no linearization errors"),
                  std::string::npos);
        break;
      case Layout::BrokenXref: {
        std::string bytes = readFile(tagged);
        std::size_t at = bytes.rfind("startxref\n");
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at + 10, bytes.find('\n', at + 10) - at - 10, "17");
        writeFile(doc, bytes);
        break;
      }
      case Layout::HeaderAt1021:
        writeFile(doc, std::string(1020, '%') + "\n" + readFile(tagged));
        break;
      case Layout::AfterInvalidHeader:
        writeFile(doc, "%PDF-x\n" + readFile(tagged));
        break;
      case Layout::InfoEntryOff: {
        // The row of the cross-reference table that qpdf says holds /Info, one byte further on.
        std::string info = shell("qpdf --show-object=trailer " + tagged);
        std::size_t at = info.find("/Info ");
        ASSERT_NE(at, std::string::npos) << info;
        std::string number = info.substr(at + 6, info.find(' ', at + 6) - at - 6);
        std::string xref = shell("qpdf --show-xref " + tagged);
        at = xref.find("\n" + number + "/0: uncompressed; offset = ");
        ASSERT_NE(at, std::string::npos) << xref;
        long long offset = std::atoll(xref.c_str() + xref.find("= ", at) + 2);
        char row[32];
        std::snprintf(row, sizeof row, "%010lld 00000 n", offset);
        std::string bytes = readFile(tagged);
        at = bytes.rfind(row);
        ASSERT_NE(at, std::string::npos) << row;
        std::snprintf(row, sizeof row, "%010lld", offset + 1);
        bytes.replace(at, 10, row);
        writeFile(doc, bytes);
        break;
      }
      case Layout::CatalogKeysTwiceAlike: {
        const std::string intent = "<< /Type /OutputIntent /S /GTS_PDFX /OutputConditionIdentifier "
                                   "(FOGRA39) /Info (Coated FOGRA39) >>";
        writeFile(doc, withDuplicatedKeys(tagged, " /OutputIntents [" + intent + "] /Lang (en-GB) "
                                                  "/OutputIntents @EXTRA@ /Lang (en-GB)",
                                          "", "[" + intent + "]"));
        break;
      }
      case Layout::InfoTitleTwice:
        writeFile(doc, withDuplicatedKeys(tagged, "", "<< /Title (From hyperref) /Author (Renee) "
                                                      "/Title (From pdfinfo) >>"));
        break;
      case Layout::CatalogLangTwiceApart:
        writeFile(doc, withDuplicatedKeys(tagged, " /Lang (en-GB) /Lang (de-DE)", ""));
        break;
    }
    bool twice = c.layout == Layout::CatalogKeysTwiceAlike || c.layout == Layout::InfoTitleTwice ||
                 c.layout == Layout::CatalogLangTwiceApart;
    if (twice) {
      std::string check = shell("qpdf --check " + doc + " 2>&1");
      ASSERT_NE(check.find("duplicated key"), std::string::npos) << check;
      ASSERT_EQ(check.find("reconstruct"), std::string::npos) << check;
    }
    if (c.layout != Layout::BrokenXref && c.layout != Layout::InfoEntryOff && !twice)
      ASSERT_EQ(shell("qpdf --check " + doc + " | grep -c WARNING"), "0\n") << "read as it is";
    ASSERT_EQ(::symlink("doc.pdf", (dir_ + "/link.pdf").c_str()), 0);
    ASSERT_EQ(::chmod(doc.c_str(), c.mode), 0);
  }

  // The command that runs pdfhost (or `program` in its place) on the file with the given answers,
  // one dialog per step; its log is `who`.log in the test's folder.
  std::string hostCommand(const std::string& named, const std::string& answers,
                          const std::vector<std::string>& steps, const std::string& who = "",
                          const std::string& program = TVP_PDFHOST)
  {
    writeFile(dir_ + "/" + who + "answers", answers);
    std::string command = std::string(TVP_RUN_DIALOG) + " " + dir_ + " " + program + " " +
                          TVP_PLUGIN_DIR + " " + dir_ + "/" + who + "answers " + dir_ + "/" + who +
                          "log " + named;
    for (const auto& step : steps)
      command += " '" + step + "'";
    return command;
  }

  // pdfhost run as hostCommand says; its standard error.
  std::string runHost(const std::string& named, const std::string& answers,
                      const std::vector<std::string>& steps, int* status)
  {
    return shell(hostCommand(named, answers, steps), status);
  }

  // A program that runs pdfhost under strace with `injection` on its pwrite64 calls (the save's
  // writes, and nobody else's), tracing them to the file "trace" and keeping strace's process id
  // in "strace.pid".
  std::string traced(const std::string& injection, const std::string& who = "",
                     const std::string& more = "")
  {
    std::string program = dir_ + "/" + who + "traced-pdfhost";
    writeFile(program, "#!/bin/sh\necho $$ > " + dir_ + "/" + who + "strace.pid\nexec strace -o " +
                           dir_ + "/" + who + "trace -e trace=pwrite64 " +
                           (injection.empty() ? "" : "-e inject=pwrite64:" + injection + " ") +
                           more + " " + TVP_PDFHOST + " \"$@\"\n");
    ::chmod(program.c_str(), 0755);
    return program;
  }

  // Replays the writes, truncations and flushes a save made (its trace, with whole buffers) onto
  // copies of `original`, cut short as a power cut under ext4's default ordering leaves them:
  // what was flushed is there; of the rest, pages reach the disk in ascending order and the size
  // follows the last one. Each copy must read, in qpdf without a warning, as the original or
  // as the saved file.
  void expectEveryCutReads(const std::string& original, const std::string& saved,
                           const std::string& trace)
  {
    std::string durable = original;
    std::string pending = original;  // what the page cache holds
    std::set<long long> dirty;
    int copies = 0;
    auto cutsOf = [&] {
      std::string disk = durable;
      for (long long page : dirty) {
        long long from = page * 4096;
        long long to = std::min<long long>(from + 4096, pending.size());
        if (static_cast<long long>(disk.size()) < to) disk.resize(to, '\0');
        disk.replace(from, to - from, pending, from, to - from);
        std::string copy = dir_ + "/cut.pdf";
        writeFile(copy, disk);
        std::string check = shell("qpdf --check " + copy + " 2>&1");
        EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos)
            << "cut after page " << page << ": " << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        std::string meta = shell("pdfinfo -meta " + copy);
        EXPECT_TRUE(meta == shell("pdfinfo -meta " + dir_ + "/before.pdf") ||
                    meta == shell("pdfinfo -meta " + dir_ + "/doc.pdf"))
            << "cut after page " << page;
        ++copies;
      }
      durable = pending;
      dirty.clear();
    };
    writeFile(dir_ + "/before.pdf", original);
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
      char* end = nullptr;
      if (line.rfind("pwrite64(", 0) == 0) {
        std::size_t open = line.find('"');
        std::size_t close = line.find('"', open + 1);
        std::string bytes;
        for (std::size_t i = open + 1; i + 3 < close + 1; i += 4)
          bytes += static_cast<char>(std::strtol(line.substr(i + 2, 2).c_str(), nullptr, 16));
        long long at = std::strtoll(line.c_str() + line.rfind(", ") + 2, &end, 10);
        if (static_cast<long long>(pending.size()) < at + static_cast<long long>(bytes.size()))
          pending.resize(at + bytes.size(), '\0');
        pending.replace(at, bytes.size(), bytes);
        for (long long page = at / 4096; page * 4096 < at + static_cast<long long>(bytes.size());
             ++page)
          dirty.insert(page);
      } else if (line.rfind("ftruncate(", 0) == 0) {
        pending.resize(std::strtoll(line.c_str() + line.find(", ") + 2, &end, 10));
      } else if (line.rfind("fsync(", 0) == 0 || line.rfind("fdatasync(", 0) == 0) {
        cutsOf();
      }
    }
    EXPECT_TRUE(durable == saved) << "the replay ends in the saved file";
    EXPECT_GT(copies, 2);
  }

  std::string dir_;
};

}  // namespace

TEST_P(SavingThroughPdfhost, OwnFileIsUpdatedInPlaceOrLeftExactlyAsItWas)
{
  const SavingCase& c = GetParam();
  SCOPED_TRACE(std::string(c.what) + " (" + c.producer + ")");
#if defined(__SANITIZE_ADDRESS__)
  if (c.during == During::OutOfMemory)
    GTEST_SKIP() << "the address sanitizer reserves more address space than a limit allows";
#endif
  {
    makeDocument(c);
    if (HasFatalFailure())
      return;
    std::string doc = dir_ + "/doc.pdf";
    std::string original = readFile(doc);
    std::string checkBefore = shell("qpdf --check " + doc + " 2>&1");
    std::string named = c.named;
    if (named.rfind("@DIR@", 0) == 0)
      named.replace(0, 5, dir_);

    int status = -1;
    std::string err;
    if (c.during == During::KilledWhileWriting) {
      // Killed at its third write: the update's pending tail and its first megabyte are written.
      shell(hostCommand(named, "", {"press alt+s"}, "killed", traced("signal=SIGKILL:when=3")));
      ASSERT_NE(readFile(dir_ + "/trace").find("killed by SIGKILL"), std::string::npos);
      std::string check = shell("qpdf --check " + doc);
      EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos) << check;
      EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
      EXPECT_EQ(shell("pdfinfo -meta " + doc).find("GWG-v1_AD"), std::string::npos)
          << "the original ticket";
    }
    if (c.alert == nullptr && c.during == During::PowerCut) {
      err = shell(hostCommand(named, "save " + dir_ + "/export.xml\nyes\n",
                              {"press alt+s", "press alt+e; press alt+c"}, "",
                              traced("", "recorded", "-xx -s 100000000 -e trace=pwrite64,"
                                                     "ftruncate,fsync,fdatasync")),
                  &status);
    } else if (c.alert == nullptr && c.during == During::OpeningFailsAfterTheSave) {
      // The file is opened by its absolute path to be read, then to be written; any opening of
      // it after that (to read it back) fails as with too many open files: the save happened.
      err = shell(hostCommand(named, "save " + dir_ + "/export.xml\nyes\n",
                              {"press alt+s", "press alt+e; press alt+c"}, "",
                              traced("", "emfile", "-P " + dir_ + "/doc.pdf -e trace=openat "
                                                   "-e inject=openat:error=EMFILE:when=3+")),
                  &status);
    } else if (c.alert == nullptr) {
      err = runHost(named, "save " + dir_ + "/export.xml\nyes\n",
                    {"press alt+s", "press alt+e; press alt+c"}, &status);
    } else {
      std::string during = c.during == During::Append   ? "echo \"% another program was here\" >> doc.pdf; "
                           : c.during == During::Remove ? "rm doc.pdf; "
                                                        : "";
      const bool noLocks = c.during == During::AnotherHostSavingWithoutLocks;
      // Only the document's own lock calls fail: the toolkits' fcntl calls go on as usual.
      const std::string lockless =
          noLocks ? "-P " + dir_ + "/doc.pdf -e trace=pwrite64,fcntl -e inject=fcntl:error=ENOLCK"
                  : "";
      if (c.during == During::AnotherHostSaving || noLocks) {
        // The other host saves first and stops at a write, holding the file; without locks, at
        // its first, which fails EINTR and is made again when it goes on: nothing is written yet.
        shell("(" + hostCommand(named, "", {"press alt+s"}, "first",
                                traced(noLocks ? "error=EINTR:signal=SIGSTOP:when=1" : "signal=SIGSTOP:when=2",
                                       "", lockless)) +
              "; echo $? > " + dir_ + "/first.status) >/dev/null 2>&1 &");
        during = "for i in $(seq 600); do grep -q \"stopped by SIGSTOP\" trace && break; sleep 0.1; "
                 "done; ";
      }
      std::string after;
      if (c.during == During::OutOfMemory) {
        // pdfhost (the child of the process run-dialog.sh calls $host) gets a little more
        // address space than the open dialog takes, and enough again once the save has failed.
        std::string limit = dir_ + "/limit";
        writeFile(limit, "#!/bin/sh\np=$(tr -d \" \" < /proc/$1/task/$1/children)\n"
                         "[ \"$2\" = off ] && exec prlimit --pid $p --as=unlimited:\n"
                         "size=$(awk '/^VmSize/ {print $2}' /proc/$p/status)\n"
                         "exec prlimit --pid $p --as=$((size * 1024 + $2 * 1048576)):\n");
        ::chmod(limit.c_str(), 0755);
        during = limit + " $host 48; ";
        after = "for i in $(seq 600); do grep -q \"^alert: \" log && break; sleep 0.1; done; " +
                limit + " $host off; ";
      }
      if (noLocks)
        err = shell(hostCommand(named, "ok\nyes\n", {during + "press alt+s; press alt+c"}, "",
                                traced("", "second", lockless)),
                    &status);
      else
        err = runHost(named, "ok\nyes\n", {during + "press alt+s; " + after + "press alt+c"},
                      &status);
    }
    std::string log = readFile(dir_ + "/log");
    EXPECT_EQ(status, 0) << log;
    EXPECT_EQ(err, "") << "nothing of the toolkits' own reaches the user";
    EXPECT_NE(log.find("quit\n"), std::string::npos) << "the host lived on: " << log;
    EXPECT_EQ(testfiles::countOf(log, "question: "), 1) << "only the quit question: " << log;

    struct stat info {};
    if (c.during == During::AnotherHostSaving ||
        c.during == During::AnotherHostSavingWithoutLocks) {
      shell("p=$(cat " + dir_ + "/strace.pid); kill -CONT $(cat /proc/$p/task/$p/children); "
            "for i in $(seq 600); do [ -s " + dir_ + "/first.status ] && break; sleep 0.1; done");
      std::string first = readFile(dir_ + "/firstlog");
      EXPECT_EQ(readFile(dir_ + "/first.status"), "0\n") << first;
      EXPECT_NE(first.find("document saved incrementally: "), std::string::npos) << first;
      EXPECT_NE(log.find(std::string("alert: ") + c.alert), std::string::npos) << log;
      EXPECT_EQ(log.find("document saved"), std::string::npos) << log;
      std::string saved = readFile(doc);
      EXPECT_EQ(saved.compare(0, original.size(), original), 0) << "the original is a prefix";
      EXPECT_EQ(testfiles::countOf(saved.substr(original.size()), "%%EOF"), 1) << "one update";
      std::string check = shell("qpdf --check " + doc);
      EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos) << check;
      EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
      EXPECT_NE(shell("pdfinfo -meta " + doc).find("GWG-v1_AD"), std::string::npos);
      if (c.during == During::AnotherHostSavingWithoutLocks) {
        EXPECT_NE(readFile(dir_ + "/trace").find("ENOLCK"), std::string::npos) << "no locks";
        EXPECT_NE(::stat((dir_ + "/.doc.pdf.pdfhost-saving").c_str(), &info), 0)
            << "the lock file is gone";
      }
      return;
    }
    if (c.alert != nullptr) {
      EXPECT_NE(log.find(std::string("alert: ") + c.alert), std::string::npos) << log;
      EXPECT_EQ(log.find("document saved"), std::string::npos) << log;
      if (c.during == During::Remove) {
        EXPECT_NE(::stat(doc.c_str(), &info), 0) << "not made anew";
      } else {
        std::string expected = original + (c.during == During::Append ? kAppended : "");
        EXPECT_TRUE(readFile(doc) == expected) << "the file is byte-identical";
        ASSERT_EQ(::stat(doc.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode);
      }
      return;
    }
    if (c.during == During::KilledWhileWriting)
      EXPECT_NE(log.find("an unfinished save was cut off first: "), std::string::npos) << log;

    EXPECT_NE(log.find("document saved incrementally: "), std::string::npos) << log;
    std::string saved = readFile(doc);
    ASSERT_GT(saved.size(), original.size());
    EXPECT_EQ(saved.compare(0, original.size(), original), 0) << "the original is a prefix";
    ASSERT_EQ(::lstat((dir_ + "/link.pdf").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";
    // qpdf finds nothing it did not find before: each warning after the save was there before.
    std::string check = shell("qpdf --check " + doc + " 2>&1");
    EXPECT_EQ(check.find("ERROR"), std::string::npos) << check;
    EXPECT_EQ(testfiles::newWarnings(checkBefore, check), "");
    if (c.layout == Layout::CatalogKeysTwiceAlike)
      EXPECT_EQ(check.find("WARNING"), std::string::npos) << "the catalog written once " << check;
    if (c.layout == Layout::InfoTitleTwice)
      EXPECT_NE(check.find("duplicated key /Title"), std::string::npos) << "/Info left as it is";

    std::string packet = shell("pdfinfo -meta " + doc);
    EXPECT_NE(packet.find("xmlns:tvp=\"" + kTicketUri + "\""), std::string::npos) << packet;
    EXPECT_EQ(packet.find("tkt:"), std::string::npos) << packet;
    EXPECT_NE(packet.find("<ads:PrintHeightUnit>column</ads:PrintHeightUnit>"),
              std::string::npos)
        << "a property the save does not set survives as the document wrote it";
    EXPECT_NE(packet.find("<dc:format>application/pdf</dc:format>"), std::string::npos);
    EXPECT_NE(packet.find("kept value</"), std::string::npos);
    // exiftool reads only files whose header is their first byte.
    if (c.layout != Layout::HeaderAt1021 && c.layout != Layout::AfterInvalidHeader)
      // (exiftool names the ticket's group after the prefix the document declared it with.)
      EXPECT_EQ(shell("exiftool -s -s -s -XMP:client -XMP:jobid " + doc),
                "Mediahaus M\xC3\xBCnchen\nJ-1\n");

    if (c.during == During::PowerCut)
      expectEveryCutReads(original, saved, readFile(dir_ + "/recordedtrace"));

    std::string exported = readFile(dir_ + "/export.xml");
    EXPECT_EQ(testfiles::countOf(exported, "\r\n   tvp:"), 24) << exported;
    EXPECT_NE(exported.find("tvp:client=\"Mediahaus M\xC3\xBCnchen\""), std::string::npos)
        << "the dialog opened again with every field";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SavingThroughPdfhost, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SavingCase>& info) {
                           std::string name;
                           for (const char* c = info.param.what; *c != '\0'; ++c)
                             if (std::isalnum(static_cast<unsigned char>(*c)))
                               name += *c;
                           return name;
                         });

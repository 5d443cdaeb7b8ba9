// The ticket as an XML file: exported as a compact XMP packet, imported back, and every way an
// import or an export can go wrong.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <map>

#include "../dialog/DialogHarness.h"
#include "TicketFiles.h"

using namespace dialogtest;
using namespace tickettest;

namespace {

const char* const kTvpUri = "http://ns.tovarin.com/tvp/adticket/1.0/";
const char* const kWrongFile = "Wrong input file";
const char* const kQuit = "Are you sure you want to quit?";

// Field identifiers in the order the export writes them.
const std::vector<std::pair<std::string, int>> kExportOrder = {
    {"ediorderid", 10052}, {"jobid", 10053},    {"client", 10054},     {"agency", 10055},
    {"service", 10056},    {"advertiser", 10057}, {"firstpub", 10058}, {"location", 10059},
    {"theme", 10060},      {"contact", 10062},  {"phone", 10063},      {"email", 10064},
    {"bleed", 10069},      {"brand", 10070},    {"fax", 10071},        {"destination", 10072},
    {"remarks", 10073},    {"bwcolour", 0},     {"fullcolour", 0},     {"spotcolour", 10061},
    {"fixedsize", 10065},  {"mmwidth", 10066},  {"cwidth", 10067},     {"height", 10068},
};

std::string shown(int id)
{
  return std::string(text(id)->GetValue().ToUTF8().data());
}

std::vector<std::string> crlfLines(const std::string& bytes)
{
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  lines.push_back(bytes.substr(start));
  return lines;
}

class ImportExport : public DialogTest {
 protected:
  void SetUp() override
  {
    DialogTest::SetUp();
    folder_ = "/tmp/tvp-xml-" + std::to_string(::getpid());
    ::mkdir(folder_.c_str(), 0755);
  }
  void TearDown() override
  {
    if (!std::getenv("KEEP_TVP_FILES")) shell("rm -rf " + folder_);
    DialogTest::TearDown();
  }

  // A valid ticket: "Spot" with a spot colour, "Width/height".
  void fillTicket()
  {
    for (const auto& [name, id] : kExportOrder)
      if (id != 0)
        setText(id, wxString::FromUTF8(name == "email" ? "ads@example.com" : "v-" + name));
    setText(10061, "Pantone 300 C");
    setText(10069, "NO");
    setText(10073, wxString::FromUTF8("Tom & Jerry \xE2\x82\xAC <3"));
    radioBox(ID_TVP_JOB_PAGE)->SetSelection(2);
    radioBox(ID_TVP_EXTRA_PAGE)->SetSelection(1);
  }

  // What the dialog shows after importing `file`, in a run that then closes.
  struct Imported {
    std::map<int, std::string> texts;  // by control identifier
    int colour = -1;
    int size = -1;
  };
  Imported importFile(const std::string& file)
  {
    Imported imported;
    answer({"open " + file, "yes"});
    seen.clear();
    runCommand([&](TVPTabDialog&) {
      click(ID_TVP_IMPORT);
      for (const auto& [name, id] : kExportOrder)
        if (id != 0)
          imported.texts[id] = shown(id);
      imported.colour = radioBox(ID_TVP_JOB_PAGE)->GetSelection();
      imported.size = radioBox(ID_TVP_EXTRA_PAGE)->GetSelection();
      click(ID_TVP_CLOSE);
    });
    return imported;
  }

  std::string path(const std::string& name) const { return folder_ + "/" + name; }
  std::vector<std::string> filesInFolder() const
  {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder_.c_str());
    while (dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.' || std::string(entry->d_name).size() > 2)
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
          names.push_back(entry->d_name);
    ::closedir(dir);
    return names;
  }

  std::string folder_;
};

}  // namespace

TEST_F(ImportExport, TheExportedFileIsTheCompactPacketLineForLine)
{
  std::string file = path("ticket.xml");
  answer({"save " + file, "yes"});
  runCommand([&](TVPTabDialog&) {
    fillTicket();
    setText(10065, "leftover fixed size");
    click(ID_TVP_EXPORT);
    EXPECT_EQ(shown(10065), "") << "Width/height clears the fixed size in the dialog";
    click(ID_TVP_CLOSE);
  });
  EXPECT_TRUE(seen.notes.empty());
  std::string bytes = readFile(file);
  std::vector<std::string> lines = crlfLines(bytes);
  ASSERT_EQ(lines.size(), 53u) << bytes;
  EXPECT_EQ(lines[0], "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>");
  EXPECT_EQ(lines[1].rfind("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\" x:xmptk=\"", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">");
  EXPECT_EQ(lines[3], "  <rdf:Description rdf:about=\"\"");
  EXPECT_EQ(lines[4], "    xmlns:tvp=\"" + std::string(kTvpUri) + "\"");
  std::map<std::string, std::string> values;
  for (std::size_t i = 0; i < kExportOrder.size(); ++i) {
    const std::string& line = lines[5 + i];
    std::string head = "   tvp:" + kExportOrder[i].first + "=\"";
    ASSERT_EQ(line.rfind(head, 0), 0u) << "line " << 6 + i << ": " << line;
    std::string rest = line.substr(head.size());
    if (i + 1 == kExportOrder.size()) {
      ASSERT_EQ(rest.substr(rest.size() - 3), "\"/>") << "the last attribute closes the element";
      rest = rest.substr(0, rest.size() - 3);
    } else {
      ASSERT_EQ(rest.back(), '"') << line;
      rest.pop_back();
    }
    values[kExportOrder[i].first] = rest;
  }
  EXPECT_EQ(values["bwcolour"], "NO");
  EXPECT_EQ(values["fullcolour"], "NO");
  EXPECT_EQ(values["spotcolour"], "Pantone 300 C");
  EXPECT_EQ(values["fixedsize"], "");
  EXPECT_EQ(values["remarks"], "Tom &amp; Jerry \xE2\x82\xAC &lt;3");
  EXPECT_EQ(lines[29], " </rdf:RDF>");
  EXPECT_EQ(lines[30], "</x:xmpmeta>");
  for (int i = 31; i < 51; ++i)
    EXPECT_EQ(lines[i], std::string(100, ' ')) << "padding line " << i + 1;
  EXPECT_EQ(lines[51], std::string(6, ' '));
  EXPECT_EQ(lines[52], "<?xpacket end=\"w\"?>") << "the trailer has no line end";

  std::string tags = shell("exiftool -X -XMP:all " + file);
  int found = 0;
  for (std::size_t at = 0; (at = tags.find("<XMP-tvp:", at)) != std::string::npos; ++at)
    ++found;
  EXPECT_EQ(found, 24) << tags;
}

TEST_F(ImportExport, ExportThenImportGivesBackEveryFieldAndChoice)
{
  std::string file = path("round trip.xml");
  std::map<int, std::string> exported;
  answer({"save " + file, "yes"});
  runCommand([&](TVPTabDialog&) {
    fillTicket();
    click(ID_TVP_EXPORT);
    for (const auto& [name, id] : kExportOrder)
      if (id != 0)
        exported[id] = shown(id);
    click(ID_TVP_CLOSE);
  });
  // A second export in the same run: the toolkit and namespace are not set up again.
  std::string second = path("second.xml");
  answer({"save " + second, "yes"});
  runCommand([&](TVPTabDialog&) {
    fillTicket();
    setText(10052, "other order");
    click(ID_TVP_EXPORT);
    click(ID_TVP_CLOSE);
  });
  std::string first = readFile(file);
  std::string next = readFile(second);
  first.replace(first.find("v-ediorderid"), 12, "other order");
  EXPECT_EQ(first, next) << "the files differ only in their values";

  Imported imported = importFile(file);
  EXPECT_TRUE(seen.notes.empty()) << seen.notes.front();
  EXPECT_EQ(seen.questions, std::vector<std::string>{kQuit}) << "a whole ticket asks nothing";
  EXPECT_EQ(imported.texts, exported);
  EXPECT_EQ(imported.colour, 2);
  EXPECT_EQ(imported.size, 1);
}

struct BadImport {
  std::string name;
  std::function<std::string(const std::string& folder)> make;  // returns the answer
  std::vector<std::string> notes;
};

TEST_F(ImportExport, AnImportThatCannotBeReadChangesNoControl)
{
  std::string packet = elementPacket(kTvpUri, "tvp", {{"ediorderid", "O-9"}, {"jobid", "J-9"}});
  auto exactly = [&](std::size_t size) {
    std::string text = packet;
    text.insert(text.find("</rdf:Description>"), std::string(size - packet.size(), ' '));
    return text;
  };
  const BadImport cases[] = {
      {"cancelled", [](const std::string&) { return std::string("cancel"); }, {kWrongFile}},
      {"empty file",
       [](const std::string& f) {
         writeFile(f + "/empty.xml", "");
         return "open " + f + "/empty.xml";
       },
       {"Error parsing XML data"}},
      {"NUL byte",
       [&](const std::string& f) {
         writeFile(f + "/nul.xml", packet.substr(0, 40) + std::string(1, '\0') + packet.substr(40));
         return "open " + f + "/nul.xml";
       },
       {kWrongFile}},
      {"32,000 bytes",
       [&](const std::string& f) {
         writeFile(f + "/long.xml", exactly(32000));
         return "open " + f + "/long.xml";
       },
       {kWrongFile}},
      {"a folder",
       [](const std::string& f) { return "open " + f; },
       {"The file could not be opened.", kWrongFile}},
      {"missing",
       [](const std::string& f) { return "open " + f + "/gone.xml"; },
       {"The file could not be found.", kWrongFile}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string choice = c.make(folder_);
    std::deque<std::string> answers{choice};
    for (std::size_t i = 0; i < c.notes.size(); ++i)
      answers.push_back("ok");
    answers.push_back("yes");
    answer(answers);
    seen.clear();
    std::string order;
    runCommand([&](TVPTabDialog&) {
      setText(10052, "kept");
      click(ID_TVP_IMPORT);
      order = shown(10052);
      click(ID_TVP_CLOSE);
    });
    EXPECT_EQ(seen.notes, c.notes);
    EXPECT_EQ(order, "kept");
  }

  // Exactly 31,999 bytes fit the buffer with its NUL and load.
  writeFile(path("fits.xml"), exactly(31999));
  answer({"open " + path("fits.xml"), "yes", "yes"});
  seen.clear();
  std::string order;
  runCommand([&](TVPTabDialog&) {
    click(ID_TVP_IMPORT);
    order = shown(10052);
    click(ID_TVP_CLOSE);
  });
  EXPECT_TRUE(seen.notes.empty());
  EXPECT_EQ(order, "O-9");
  EXPECT_EQ(pdfhost::Host::get().openFiles.count(), 0u);
}

TEST_F(ImportExport, FilesOtherToolsWroteImportByTheTvpSchemaOnly)
{
  std::vector<Property> ticket;
  for (const auto& [name, id] : kExportOrder)
    ticket.push_back({name, name == "bwcolour" ? "YES" : name == "fullcolour" ? "NO" : "x-" + name});
  writeFile(path("other-prefix.xml"), elementPacket(kTvpUri, "adticket", ticket));
  writeFile(path("adsml.xml"),
            elementPacket("http://adsml.org/xmlns/", "adsml-at", {{"PrimaryMaterialsID", "A"}}));
  answer({"open " + path("other-prefix.xml"), "open " + path("adsml.xml"), "no", "yes"});
  std::string afterFirst, afterSecond;
  runCommand([&](TVPTabDialog&) {
    click(ID_TVP_IMPORT);
    afterFirst = shown(10052);
    click(ID_TVP_IMPORT);
    afterSecond = shown(10052);
    click(ID_TVP_CLOSE);
  });
  EXPECT_EQ(afterFirst, "x-ediorderid");
  EXPECT_EQ(afterSecond, "x-ediorderid") << "answered no: nothing changed";
  EXPECT_EQ(seen.questions,
            (std::vector<std::string>{
                "No Tovarin+ metadata found in file. \nDo you want to continue?", kQuit}));
}

TEST_F(ImportExport, AnExportThatCannotBeWrittenLeavesNoFileClaimingToBeComplete)
{
  // An existing longer file is replaced whole: no old tail survives.
  std::string file = path("old.xml");
  writeFile(file, std::string(20000, '~'));
  answer({"save " + file, "yes"});
  runCommand([&](TVPTabDialog&) {
    fillTicket();
    click(ID_TVP_EXPORT);
    click(ID_TVP_CLOSE);
  });
  std::string written = readFile(file);
  EXPECT_EQ(written.find('~'), std::string::npos);
  EXPECT_EQ(written.substr(written.size() - 19), "<?xpacket end=\"w\"?>");

  // A folder that does not exist: the host's text, the dialog stays open, no file.
  answer({"save " + folder_ + "/no/such/folder/t.xml", "ok", "yes"});
  seen.clear();
  bool open = false;
  runCommand([&](TVPTabDialog& dialog) {
    fillTicket();
    click(ID_TVP_EXPORT);
    open = dialog.IsModal();
    click(ID_TVP_CLOSE);
  });
  EXPECT_TRUE(open);
  EXPECT_EQ(seen.notes, std::vector<std::string>{"The folder to save the file in does not exist."});

  // A full disk part of the way through: nothing is left behind, not even the partial file.
  std::vector<std::string> before = filesInFolder();
  std::string full = path("full.xml");
  answer({"save " + full, "ok", "yes"});
  seen.clear();
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  runCommand([&](TVPTabDialog&) {
    fillTicket();
    struct rlimit limited = saved;
    limited.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    click(ID_TVP_EXPORT);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    click(ID_TVP_CLOSE);
  });
  EXPECT_EQ(seen.notes, std::vector<std::string>{"The disk is full."});
  EXPECT_EQ(filesInFolder(), before) << "no file and no temporary file left";
  EXPECT_EQ(pdfhost::Host::get().openFiles.count(), 0u);
}

TEST_F(ImportExport, CancellingTheSaveDialogWritesNothingAndKeepsTheClearing)
{
  answer({"cancel", "yes"});
  std::string spot;
  runCommand([&](TVPTabDialog&) {
    fillTicket();
    radioBox(ID_TVP_JOB_PAGE)->SetSelection(0);
    click(ID_TVP_EXPORT);
    spot = shown(10061);
    click(ID_TVP_CLOSE);
  });
  EXPECT_TRUE(seen.notes.empty());
  EXPECT_EQ(spot, "") << "B/W cleared the spot colour before the dialog was cancelled";
  EXPECT_TRUE(filesInFolder().empty());
}

TEST_F(ImportExport, TheSampleTicketImportsIntoTheSampleAdWhole)
{
  const std::string ticket = TVP_SAMPLE_TICKET;
  // The fields as exiftool reads them from the file ("Jobid: JOB-4711").
  std::map<std::string, std::string> inFile;
  std::istringstream tags(shell("exiftool -s -s -XMP-tvp:all '" + ticket + "'"));
  for (std::string line; std::getline(tags, line);) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    inFile[name] = line.size() > colon + 2 ? line.substr(colon + 2) : "";
  }
  ASSERT_EQ(inFile.size(), 24u) << "every field is in the sample";

  std::string ad = path("sample-ad.pdf");
  writeFile(ad, readFile(TVP_SAMPLE_PDF));
  openDocument(ad);
  Imported imported = importFile(ticket);
  EXPECT_TRUE(seen.notes.empty()) << seen.notes.front();
  EXPECT_EQ(seen.questions, std::vector<std::string>{kQuit}) << "a whole ticket asks nothing";
  for (const auto& [name, id] : kExportOrder)
    if (id != 0)
      EXPECT_EQ(imported.texts[id], inFile[name]) << name;
  EXPECT_EQ(imported.colour,
            inFile["bwcolour"] == "YES" ? 0 : inFile["fullcolour"] == "YES" ? 1 : 2);
  EXPECT_EQ(imported.size, inFile["fixedsize"].empty() ? 1 : 0);
  EXPECT_FALSE(imported.texts[10053].empty()) << "the job identifier";
}

// The ticket in the document: saved under three schemas by the dialog's Save, read back by other
// tools and by the dialog when it opens again, and loaded from packets other programs wrote.
#include <sys/stat.h>

#include <map>

#include "../dialog/DialogHarness.h"
#include "TicketFiles.h"

using namespace dialogtest;
using namespace tickettest;

namespace {

const int kColourPage = ID_TVP_JOB_PAGE;
const int kSizePage = ID_TVP_EXTRA_PAGE;

// Field identifiers by tvp property name.
const std::map<std::string, int> kFieldIds = {
    {"ediorderid", 10052}, {"jobid", 10053},   {"client", 10054},      {"agency", 10055},
    {"service", 10056},    {"advertiser", 10057}, {"firstpub", 10058}, {"location", 10059},
    {"theme", 10060},      {"spotcolour", 10061}, {"contact", 10062},  {"phone", 10063},
    {"email", 10064},      {"fixedsize", 10065}, {"mmwidth", 10066},   {"cwidth", 10067},
    {"height", 10068},     {"bleed", 10069},     {"brand", 10070},     {"fax", 10071},
    {"destination", 10072}, {"remarks", 10073},
};

// A full ticket with non-ASCII values, a spot colour and both widths and a height.
const std::map<std::string, std::string> kTicket = {
    {"ediorderid", "ORD-2026-118"},
    {"jobid", "J-77"},
    {"client", "Mediahaus M\xC3\xBCnchen"},
    {"agency", "Stra\xC3\x9F" "e & Partner"},
    {"service", "Repro \xE2\x82\xAC Service"},
    {"advertiser", "\xE6\x97\xA5\xE6\x9C\xAC Foods"},
    {"firstpub", "2027-01-15"},
    {"location", "Caf\xC3\xA9 Weekly"},
    {"theme", "Winter <sale>"},
    {"spotcolour", "Pantone 185 C"},
    {"contact", "Ren\xC3\xA9\x65 Dupont"},
    {"phone", "+49 89 1234"},
    {"email", "ads@example.com"},
    {"mmwidth", "90"},
    {"cwidth", "3"},
    {"height", "120"},
    {"bleed", "yes"},
    {"brand", "Br\xC3\xA4u"},
    {"fax", "+49 89 1235"},
    {"destination", "Print \"and\" web"},
    {"remarks", "Deliver by Friday"},
};

std::string value(int id)
{
  wxTextCtrl* control = text(id);
  return control != nullptr ? std::string(control->GetValue().ToUTF8().data()) : "<none>";
}

class TicketInDocument : public DialogTest {
 protected:
  void SetUp() override
  {
    DialogTest::SetUp();
    path_ = "/tmp/tvp-ticket-" + std::to_string(::getpid()) + ".pdf";
    writeFile(path_, readFile(TVP_SAMPLE_PDF));
  }
  void TearDown() override
  {
    ::chmod(path_.c_str(), 0644);
    std::remove(path_.c_str());
    DialogTest::TearDown();
  }

  void fillTicket(int colour, int size)
  {
    for (const auto& [name, text] : kTicket)
      setText(kFieldIds.at(name), wxString::FromUTF8(text));
    setText(kFieldIds.at("fixedsize"), "1/2 page");
    radioBox(kColourPage)->SetSelection(colour);
    radioBox(kSizePage)->SetSelection(size);
  }

  // Runs the dialog, fills it, clicks Save; returns whether the save ended the dialog.
  bool saveTicket(int colour, int size)
  {
    bool ended = false;
    runCommand([&](TVPTabDialog& dialog) {
      fillTicket(colour, size);
      click(ID_TVP_SAVE);
      ended = !dialog.IsModal();
      if (!ended)
        closeDialog();
    });
    return ended;
  }

  std::string exif(const std::string& path)
  {
    return shell("exiftool -X -XMP:all " + path);
  }

  std::string path_;
};

}  // namespace

TEST_F(TicketInDocument, ASavedTicketIsReadByOtherToolsAndOnlyAppendedToTheFile)
{
  std::string original = readFile(path_);
  openDocument(path_);
  ASSERT_TRUE(saveTicket(2, 1));
  EXPECT_TRUE(seen.notes.empty()) << seen.notes.front();

  std::string saved = readFile(path_);
  ASSERT_GT(saved.size(), original.size());
  EXPECT_EQ(saved.compare(0, original.size(), original), 0) << "the original bytes are a prefix";
  EXPECT_NE(shell("qpdf --check " + path_).find("No syntax or stream encoding errors"),
            std::string::npos);

  std::string packet = shell("pdfinfo -meta " + path_);
  int tvpProperties = 0;
  for (int row = 1; tvpValidatorTags[row][0] != '\0'; ++row) {
    std::string name = std::string("tvp:") + tvpValidatorTags[row];
    EXPECT_TRUE(packet.find("<" + name + ">") != std::string::npos ||
                packet.find("<" + name + "/>") != std::string::npos ||
                packet.find(name + "=") != std::string::npos)
        << name << " missing from\n" << packet;
    ++tvpProperties;
  }
  EXPECT_EQ(tvpProperties, 24);
  EXPECT_NE(packet.find("Summer Sale ad"), std::string::npos) << "dc:title kept";
  EXPECT_NE(packet.find("hand-written sample"), std::string::npos) << "xmp:CreatorTool kept";

  std::string tags = exif(path_);
  for (const std::string expected :
       {"<XMP-adsml-at:Profile>GWG-v1_AD</XMP-adsml-at:Profile>",
        "<XMP-gwg-at:Destination>Print &quot;and&quot; web</XMP-gwg-at:Destination>",
        "<XMP-tvp:Bleed>YES</XMP-tvp:Bleed>", "<XMP-adsml-at:Bleed>True</XMP-adsml-at:Bleed>",
        "<XMP-adsml-at:Color>Spot</XMP-adsml-at:Color>",
        "<XMP-adsml-at:ColorDescription>Pantone 185 C</XMP-adsml-at:ColorDescription>",
        "<XMP-adsml-at:PrintWidthUnit>column</XMP-adsml-at:PrintWidthUnit>",
        "<XMP-adsml-at:PrintWidthValue>3</XMP-adsml-at:PrintWidthValue>",
        "<XMP-adsml-at:PrintHeightUnit>mm</XMP-adsml-at:PrintHeightUnit>",
        "<XMP-tvp:Fixedsize></XMP-tvp:Fixedsize>", "<XMP-tvp:Mmwidth>90</XMP-tvp:Mmwidth>",
        "<XMP-tvp:Client>Mediahaus M\xC3\xBCnchen</XMP-tvp:Client>",
        "<XMP-tvp:Advertiser>\xE6\x97\xA5\xE6\x9C\xAC Foods</XMP-tvp:Advertiser>"})
    EXPECT_NE(tags.find(expected), std::string::npos) << expected << " not in\n" << tags;
  EXPECT_EQ(tags.find("XMP-gwg-at:Destination>Print") == std::string::npos, false);
  EXPECT_EQ(tags.find("<XMP-adsml-at:Destination"), std::string::npos) << "no AdsML destination";
}

TEST_F(TicketInDocument, ReopeningTheDialogShowsEveryFieldAsSaved)
{
  openDocument(path_);
  ASSERT_TRUE(saveTicket(2, 1));
  std::map<std::string, std::string> shown;
  int colour = -1, size = -1;
  answer({});
  runCommand([&](TVPTabDialog&) {
    for (const auto& [name, id] : kFieldIds)
      shown[name] = value(id);
    colour = radioBox(kColourPage)->GetSelection();
    size = radioBox(kSizePage)->GetSelection();
    closeDialog();
  });
  EXPECT_EQ(seen.questions, std::vector<std::string>{"Are you sure you want to quit?"})
      << "a complete ticket loads without a question";
  EXPECT_EQ(colour, 2);
  EXPECT_EQ(size, 1);
  for (const auto& [name, saved] : kTicket) {
    std::string expected = name == "bleed" ? "YES" : saved;
    EXPECT_EQ(shown[name], expected) << name;
  }
  EXPECT_EQ(shown["fixedsize"], "") << "Width/height empties the fixed size";
}

TEST_F(TicketInDocument, PlainColourAndFixedSizeClearWhatTheyDoNotUse)
{
  openDocument(path_);
  std::map<std::string, std::string> left;
  runCommand([&](TVPTabDialog& dialog) {
    fillTicket(0, 0);
    click(ID_TVP_SAVE);
    ASSERT_FALSE(dialog.IsModal());
    for (const char* name : {"spotcolour", "mmwidth", "cwidth", "height", "fixedsize"})
      left[name] = value(kFieldIds.at(name));
  });
  EXPECT_EQ(left["spotcolour"], "");
  EXPECT_EQ(left["mmwidth"], "");
  EXPECT_EQ(left["cwidth"], "");
  EXPECT_EQ(left["height"], "");
  EXPECT_EQ(left["fixedsize"], "1/2 page");
  std::string tags = exif(path_);
  for (const std::string expected :
       {"<XMP-tvp:Bwcolour>YES</XMP-tvp:Bwcolour>", "<XMP-tvp:Fullcolour>NO</XMP-tvp:Fullcolour>",
        "<XMP-tvp:Spotcolour></XMP-tvp:Spotcolour>", "<XMP-adsml-at:Color>BW</XMP-adsml-at:Color>",
        "<XMP-adsml-at:ColorDescription></XMP-adsml-at:ColorDescription>",
        "<XMP-adsml-at:PrintFixedArea>1/2 page</XMP-adsml-at:PrintFixedArea>",
        "<XMP-tvp:Mmwidth></XMP-tvp:Mmwidth>"})
    EXPECT_NE(tags.find(expected), std::string::npos) << expected << " not in\n" << tags;
  for (const std::string absent : {"PrintWidthUnit", "PrintWidthValue", "PrintHeightUnit"})
    EXPECT_EQ(tags.find(absent), std::string::npos) << absent;
}

struct RefusedSave {
  const char* name;
  std::function<void(const std::string&)> spoil;  // after opening, before Save
  const char* alert;
};

TEST_F(TicketInDocument, ASaveThatCannotWriteShowsTheHostTextAndChangesNothing)
{
  const RefusedSave cases[] = {
      {"read-only", [](const std::string& p) { ::chmod(p.c_str(), 0444); },
       "You do not have permission to access the file."},
      {"deleted", [](const std::string& p) { std::remove(p.c_str()); },
       "The file could not be found."},
      {"replaced", [](const std::string& p) { writeFile(p, readFile(TVP_SAMPLE_PDF) + "\n"); },
       "The file was changed or replaced by another program since it was opened."},
  };
  for (const auto& c : cases) {
    writeFile(path_, readFile(TVP_SAMPLE_PDF));
    openDocument(path_);
    c.spoil(path_);
    std::string before = readFile(path_);
    bool stayedOpen = false;
    seen.clear();
    runCommand([&](TVPTabDialog& dialog) {
      fillTicket(1, 1);
      click(ID_TVP_SAVE);
      stayedOpen = dialog.IsModal();
      if (stayedOpen)
        closeDialog();
    });
    EXPECT_TRUE(stayedOpen) << c.name;
    EXPECT_EQ(seen.notes, std::vector<std::string>{c.alert}) << c.name;
    EXPECT_EQ(readFile(path_), before) << c.name << ": the file is byte-identical";
    ::chmod(path_.c_str(), 0644);
    pdfhost::Host::get().documents.closeAll();
  }
}

TEST_F(TicketInDocument, AnEncryptedDocumentIsNotChanged)
{
  std::string locked = path_ + ".locked.pdf";
  shell("qpdf --encrypt '' owner 256 -- " + path_ + " " + locked);
  std::string before = readFile(locked);
  openDocument(locked);
  bool stayedOpen = false;
  runCommand([&](TVPTabDialog& dialog) {
    fillTicket(0, 0);
    click(ID_TVP_SAVE);
    stayedOpen = dialog.IsModal();
    if (stayedOpen)
      closeDialog();
  });
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(seen.notes, std::vector<std::string>{"The document is encrypted and cannot be changed."});
  EXPECT_EQ(readFile(locked), before);
  std::remove(locked.c_str());
}

// ---------------------------------------------------------------------------------------------
// Loading packets that other programs wrote

namespace {

const char* const kTvpUri = "http://ns.tovarin.com/tvp/adticket/1.0/";
const char* const kAdsUri = "http://adsml.org/xmlns/";
const char* const kGwgUri = "http://www.gwg.org/jt/xmlns/";

std::vector<Property> fifteenTvpFields()
{
  return {{"ediorderid", "O-1"}, {"jobid", "J-1"},       {"client", "Client"},
          {"agency", "Agency"},  {"service", "Service"}, {"advertiser", "Adv &amp; Co"},
          {"firstpub", "2027"},  {"location", "Paper"},  {"theme", "Theme"},
          {"bwcolour", "YES"},   {"fullcolour", "NO"},   {"contact", "Ann"},
          {"phone", "123"},      {"email", "a@b.c"}};
}

struct Loading {
  std::string name;
  std::string packet;
  std::deque<std::string> answers;
  std::vector<std::string> notes;
  std::vector<std::string> questions;
  std::map<int, std::string> fields;  // identifier -> text shown
  int colour;                   // -1: not checked
  int size;                     // -1: not checked
};

const char* const kParseError = "Error parsing XML data";
const char* const kIncomplete =
    "Found Tovarin+ metadata in file is incomplete. \nDo you want to continue?";

}  // namespace

TEST_F(TicketInDocument, PacketsOtherProgramsWroteOpenWithTheirFieldsAndQuestions)
{
  std::vector<Property> incomplete = {{"ediorderid", "O-2"}, {"jobid", "J-2"}};
  const Loading cases[] = {
      {"element form under another prefix in single quotes",
       elementPacket(kTvpUri, "ticket", fifteenTvpFields()), {}, {}, {},
       {{10052, "O-1"}, {10057, "Adv & Co"}, {10064, "a@b.c"}, {10061, ""}}, 0, 1},
      {"the same declared in double quotes is not recognised",
       elementPacket(kTvpUri, "ticket", fifteenTvpFields(), '"'), {}, {}, {},
       {{10052, ""}}, -1, 1},
      {"incomplete, answered no", elementPacket(kTvpUri, "tvp", incomplete), {"no"}, {},
       {kIncomplete}, {{10052, ""}, {10053, ""}}, -1, -1},
      {"incomplete, answered yes", elementPacket(kTvpUri, "tvp", incomplete), {"yes"}, {},
       {kIncomplete}, {{10052, "O-2"}, {10053, "J-2"}}, -1, 1},
      {"AdsML only",
       elementPacket(kAdsUri, "adsml-at",
                     {{"PrimaryMaterialsID", "A-1"}, {"Color", "Spot"},
                      {"ColorDescription", "HKS 13"}, {"Bleed", "True"},
                      {"PrintFixedArea", "1/1"}}),
       {"yes"}, {}, {kIncomplete},
       {{10052, "A-1"}, {10061, "HKS 13"}, {10069, "YES"}, {10065, "1/1"}}, 2, 0},
      {"GWG only", elementPacket(kGwgUri, "gwg-at", {{"Destination", "Web"}}), {}, {}, {},
       {{10072, "Web"}}, -1, 1},
      {"no ticket at all", elementPacket("http://example.com/other/", "x", {}), {}, {}, {},
       {{10052, ""}, {10072, ""}}, -1, 1},
      {"empty packet", "", {}, {kParseError}, {}, {}, -1, -1},
      {"no rdf:RDF anywhere", "<x:xmpmeta>nothing</x:xmpmeta>", {},
       {kParseError, kParseError, kParseError}, {}, {}, -1, -1},
  };
  for (const auto& c : cases) {
    std::string file = path_ + ".load.pdf";
    writeFile(file, minimalPdf(c.packet));
    SCOPED_TRACE(c.name);
    pdfhost::Host::get().documents.closeAll();
    openDocument(file);
    seen.clear();
    // Each note takes an answer too; in these cases the notes come before any question.
    std::deque<std::string> answers(c.notes.size(), "ok");
    answers.insert(answers.end(), c.answers.begin(), c.answers.end());
    answers.push_back("yes");  // the Close question
    answer(answers);
    std::map<int, std::string> shown;
    int colour = -1, size = -1;
    runCommand([&](TVPTabDialog&) {
      for (const auto& [id, expected] : c.fields)
        shown[id] = value(id);
      colour = radioBox(kColourPage)->GetSelection();
      size = radioBox(kSizePage)->GetSelection();
      click(ID_TVP_CLOSE);
    });
    EXPECT_EQ(seen.notes, c.notes) << c.name;
    std::vector<std::string> questions = c.questions;
    questions.push_back("Are you sure you want to quit?");
    EXPECT_EQ(seen.questions, questions) << c.name;
    for (const auto& [id, expected] : c.fields)
      EXPECT_EQ(shown[id], expected) << c.name << ": field " << id;
    if (c.colour >= 0)
      EXPECT_EQ(colour, c.colour) << c.name;
    if (c.size >= 0)
      EXPECT_EQ(size, c.size) << c.name;
    std::remove(file.c_str());
  }
}

TEST_F(TicketInDocument, ADocumentWithoutMetadataOpensWithTheFieldsAsCreated)
{
  std::string file = path_ + ".bare.pdf";
  writeFile(file, minimalPdf(std::nullopt));
  openDocument(file);
  answer({"yes"});
  int size = -1;
  runCommand([&](TVPTabDialog&) {
    size = radioBox(kSizePage)->GetSelection();
    click(ID_TVP_CLOSE);
  });
  EXPECT_TRUE(seen.notes.empty());
  EXPECT_EQ(size, 0) << "as created";
  // Saving gives it a metadata stream of its own.
  pdfhost::Host::get().documents.closeAll();
  openDocument(file);
  std::string before = readFile(file);
  ASSERT_TRUE(saveTicket(1, 0));
  EXPECT_EQ(readFile(file).compare(0, before.size(), before), 0);
  EXPECT_NE(exif(file).find("<XMP-tvp:Fullcolour>YES</XMP-tvp:Fullcolour>"), std::string::npos);
  std::remove(file.c_str());
}

// ---------------------------------------------------------------------------------------------
// The prefix rewriting, through the tvp pass as the import runs it

struct Rewrite {
  std::string name;
  std::string text;
  std::deque<std::string> answers;
  std::vector<std::string> notes;
  std::vector<std::string> questions;
  std::string orderId;  // what field 1 shows afterwards
  std::string remarks;
};

TEST_F(TicketInDocument, TheDocumentsPrefixIsRewrittenFromItsDeclarationOn)
{
  auto fields = fifteenTvpFields();
  fields.push_back({"remarks", "see t:notes and the t: prefix"});
  std::string shortPrefix = elementPacket(kTvpUri, "t", fields);
  std::string longName = elementPacket(kTvpUri, "abcdefghijklmno", fields);
  std::string overflow = shortPrefix;
  overflow.insert(overflow.find("</rdf:Description>"),
                  "<t:pad>" + std::string(31990 - shortPrefix.size() - 20, 'x') + "</t:pad>");
  std::string tooLong = overflow;
  // Every "t:" grows by two bytes when rewritten: a text near the buffer's size cannot be copied.
  for (int i = 0; i < 40; ++i)
    tooLong.insert(tooLong.find("<t:pad>"), "<t:a/>");
  const Rewrite cases[] = {
      {"short prefix, plain replacement inside values", shortPrefix, {}, {}, {}, "O-1",
       "see tvp:notes and the tvp: prefix"},
      {"a prefix of 15 characters is not taken", longName, {"no"}, {},
       {"No Tovarin+ metadata found in file. \nDo you want to continue?"}, "unchanged", ""},
      {"a copy that would not fit is refused", tooLong.substr(0, 31999), {"ok"},
       {"Error parsing XML data"}, {}, "unchanged", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    seen.clear();
    std::deque<std::string> answers = c.answers;
    answers.push_back("yes");
    answer(answers);
    std::string orderId, remarks;
    runCommand([&](TVPTabDialog& dialog) {
      setText(10052, "unchanged");
      std::vector<char> text(c.text.begin(), c.text.end());
      text.push_back('\0');
      dialog.GetTVPMetadataFromBuffer(text.data(), true, true, true);
      orderId = value(10052);
      remarks = value(10073);
      click(ID_TVP_CLOSE);
    });
    EXPECT_EQ(seen.notes, c.notes);
    std::vector<std::string> questions = c.questions;
    questions.push_back("Are you sure you want to quit?");
    EXPECT_EQ(seen.questions, questions);
    EXPECT_EQ(orderId, c.orderId);
    if (!c.remarks.empty())
      EXPECT_EQ(remarks, c.remarks);
  }
}

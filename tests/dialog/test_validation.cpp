// Validation of the ticket before it is saved, exported or printed: the order of the checks,
// their messages, the length bound, blanks, the at sign and the bleed rewrite.
#include "DialogHarness.h"

using namespace dialogtest;

namespace {

struct FieldMessage {
  int id;
  const char* message;
};

// The mandatory texts in the order they are checked.
const FieldMessage kMandatory[] = {
    {10052, "The mandatory 'Order ID' has no value or its value is too long"},
    {10053, "The mandatory 'Job ID' has no value or its value is too long"},
    {10054, "The mandatory 'Media Agency' has no value or its value is too long"},
    {10055, "The mandatory 'Creative Agency' has no value or its value is too long"},
    {10056, "The mandatory 'Service office' has no value or its value is too long"},
    {10057, "The mandatory 'Advertiser' has no value or its value is too long"},
    {10058, "The mandatory 'First Publication Date' has no value or its value is too long"},
    {10059, "The mandatory 'Title/publication' has no value or its value is too long"},
    {10060, "The mandatory 'Theme' has no value or its value is too long"},
    {10062, "The mandatory 'Contact' has no value or its value is too long"},
    {10063, "The mandatory 'Phone' has no value or its value is too long"},
    {10064, "The mandatory 'Email' has no or an invalid value or its value is too long"},
};

// The optional texts in the order they are checked.
const FieldMessage kOptional[] = {
    {10070, "The value for the optional 'Brand' is too long"},
    {10071, "The value for the optional 'Fax' is too long"},
    {10072, "The value for the optional 'Destination' is too long"},
    {10073, "The value for the optional 'Remarks' is too long"},
};

const char kPantone[] = "A pantone colour should be entered if the colour sheme is spotcolour";
const char kBleed[] = "Only 'YES' or 'NO' are allowed for 'Bleed'";

const int kEmail = 10064;
const int kSpot = ID_TVP_SPOTCOLOUR;
const int kBleedText = ID_TVP_BLEED;

// A ticket that passes: every mandatory text filled, "B/W", everything else empty.
void fillValid()
{
  for (const auto& field : kMandatory)
    setText(field.id, field.id == kEmail ? "ads@example.com" : "value");
  for (int id : {kSpot, kBleedText, 10065, 10066, 10067, 10068, 10070, 10071, 10072, 10073})
    setText(id, "");
  radioBox(ID_TVP_JOB_PAGE)->SetSelection(0);
}

// One case: edits on top of a valid ticket, the colour chosen, the one message expected (none
// when it passes) and, where given, what the bleed text reads afterwards.
struct Case {
  std::string name;
  std::vector<std::pair<int, wxString>> edits;
  int colour = 0;
  std::string message;
  const char* bleedAfter = nullptr;
};

std::vector<Case> cases()
{
  std::vector<Case> all;
  for (const auto& field : kMandatory) {
    std::string id = std::to_string(field.id);
    // The e-mail needs its at sign to reach the length test.
    wxString at = field.id == kEmail ? "@" : "";
    all.push_back({id + " empty", {{field.id, ""}}, 0, field.message});
    all.push_back({id + " spaces only", {{field.id, "   "}}, 0, field.message});
    all.push_back(
        {id + " 1025", {{field.id, at + repeated('x', 1025 - at.length())}}, 0, field.message});
    all.push_back({id + " 1024", {{field.id, at + repeated('x', 1024 - at.length())}}, 0, ""});
  }
  all.push_back({"a tab is content", {{10052, "\t"}}, 0, ""});
  all.push_back({"a blank between characters", {{10053, " x "}}, 0, ""});
  all.push_back(
      {"1024 characters of two bytes", {{10054, repeated(wxUniChar(0xFC), 1024)}}, 0, ""});
  all.push_back({"1025 characters of two bytes",
                 {{10054, repeated(wxUniChar(0xFC), 1025)}},
                 0,
                 kMandatory[2].message});
  all.push_back({"e-mail of an at sign alone", {{kEmail, "@"}}, 0, ""});
  all.push_back(
      {"e-mail without an at sign", {{kEmail, "ads.example.com"}}, 0, kMandatory[11].message});
  all.push_back({"only the first failure is shown",
                 {{10052, ""}, {kEmail, "none"}},
                 0,
                 kMandatory[0].message});

  all.push_back({"spot with its colour", {{kSpot, "Pantone 300 C"}}, 2, ""});
  all.push_back({"spot without a colour", {{kSpot, ""}}, 2, kPantone});
  all.push_back({"spot of spaces", {{kSpot, "  "}}, 2, kPantone});
  all.push_back({"spot colour of 1025", {{kSpot, repeated('p', 1025)}}, 2, kPantone});
  all.push_back({"B/W ignores a long spot text", {{kSpot, repeated('p', 2000)}}, 0, ""});
  all.push_back({"Full ignores an empty spot text", {{kSpot, ""}}, 1, ""});

  const std::pair<const char*, const char*> acceptedBleeds[] = {
      {"YES", "YES"}, {"yes", "YES"}, {"Yes", "YES"}, {"NO", "NO"}, {"no", "NO"}, {"No", "NO"}};
  for (const auto& [given, shown] : acceptedBleeds)
    all.push_back({std::string("bleed ") + given, {{kBleedText, given}}, 0, "", shown});
  for (const char* refused : {" YES", "YES ", "Y", "YES.", "yEs", "nO", "No!", "ja"})
    all.push_back(
        {std::string("bleed '") + refused + "'", {{kBleedText, refused}}, 0, kBleed, refused});
  all.push_back({"bleed empty", {{kBleedText, ""}}, 0, "", ""});
  all.push_back({"bleed of spaces", {{kBleedText, "   "}}, 0, "", "   "});
  wxString longBleed = repeated('y', 1025);
  all.push_back({"bleed over the limit is not examined", {{kBleedText, longBleed}}, 0, ""});
  all.push_back({"bleed rewritten before a later failure",
                 {{kBleedText, "yes"}, {10070, repeated('b', 1025)}},
                 0,
                 kOptional[0].message,
                 "YES"});

  for (const auto& field : kOptional) {
    std::string id = std::to_string(field.id);
    all.push_back({id + " 1025", {{field.id, repeated('o', 1025)}}, 0, field.message});
    all.push_back({id + " 1024", {{field.id, repeated('o', 1024)}}, 0, ""});
  }
  all.push_back({"size fields are not examined",
                 {{10065, repeated('s', 5000)},
                  {10066, repeated('s', 5000)},
                  {10067, repeated('s', 5000)},
                  {10068, repeated('s', 5000)}},
                 0,
                 ""});
  return all;
}

}  // namespace

TEST_F(DialogTest, EachCheckShowsItsOwnMessageOnly)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    for (const Case& check : cases()) {
      SCOPED_TRACE(check.name);
      fillValid();
      for (const auto& [id, value] : check.edits) setText(id, value);
      radioBox(ID_TVP_JOB_PAGE)->SetSelection(check.colour);
      seen.clear();
      if (check.message.empty()) {
        EXPECT_TRUE(dialog.CheckValidData());
        EXPECT_TRUE(seen.notes.empty()) << seen.notes.front();
      } else {
        // Save, export and print all validate first, and stop there.
        for (int button : {ID_TVP_SAVE, ID_TVP_EXPORT, ID_TVP_PRINT}) click(button);
        EXPECT_EQ(seen.notes, std::vector<std::string>(3, check.message));
        EXPECT_TRUE(dialog.IsModal());
      }
      if (check.bleedAfter != nullptr) EXPECT_EQ(text(kBleedText)->GetValue(), check.bleedAfter);
    }
    closeDialog();
  });
}

TEST_F(DialogTest, ChecksRunInTheirFixedOrder)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    // Every field wrong at once; each Save shows the next message, and mending that field
    // lets the next check speak.
    for (const auto& field : kMandatory) setText(field.id, field.id == kEmail ? "no at sign" : "");
    radioBox(ID_TVP_JOB_PAGE)->SetSelection(2);
    setText(kSpot, "");
    setText(kBleedText, "maybe");
    for (const auto& field : kOptional) setText(field.id, repeated('o', 1025));

    std::vector<std::pair<std::string, std::function<void()>>> steps;
    for (const auto& field : kMandatory) {
      int id = field.id;
      steps.push_back({field.message, [id] { setText(id, id == kEmail ? "a@b" : "v"); }});
    }
    steps.push_back({kPantone, [] { setText(kSpot, "Pantone 300 C"); }});
    steps.push_back({kBleed, [] { setText(kBleedText, "no"); }});
    for (const auto& field : kOptional) {
      int id = field.id;
      steps.push_back({field.message, [id] { setText(id, ""); }});
    }

    std::vector<std::string> shown;
    for (const auto& [message, mend] : steps) {
      seen.clear();
      click(ID_TVP_SAVE);
      ASSERT_EQ(seen.notes.size(), 1u) << "expected: " << message;
      shown.push_back(seen.notes.front());
      mend();
    }
    std::vector<std::string> expected;
    for (const auto& step : steps) expected.push_back(step.first);
    EXPECT_EQ(shown, expected);

    seen.clear();
    EXPECT_TRUE(dialog.CheckValidData());
    EXPECT_TRUE(seen.notes.empty());
    EXPECT_EQ(text(kBleedText)->GetValue(), "NO");
    closeDialog();
  });
}

TEST_F(DialogTest, FieldTestsTreatAMissingControlAsFailing)
{
  openDocument(TVP_SAMPLE_PDF);
  runCommand([&](TVPTabDialog& dialog) {
    EXPECT_FALSE(dialog.IsTVPPropFilled(nullptr));
    EXPECT_FALSE(dialog.IsEmailPropFilled(nullptr));
    EXPECT_FALSE(dialog.CheckTVPPropLen(nullptr));
    EXPECT_TRUE(dialog.CheckTVPPropLen(text(ID_TVP_BRAND)));
    closeDialog();
  });
}

// The drawing primitives called directly, each on a page of its own, read back with qpdf:
// wrapping, words wider than the column, heights, separators, rectangles, marks and widths.
#include <wx/string.h>

#include "AddText.h"
#include "PrintHarness.h"
#include "calls/CallSupport.h"

using namespace printtest;
using pdfhost::Host;
using sheettest::Sheet;

namespace {

class Primitives : public PrintTest {
 protected:
  void SetUp() override
  {
    PrintTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(makeFonts());
  }
  void TearDown() override
  {
    PDERelease(regular_);
    PDERelease(bold_);
    PrintTest::TearDown();
  }

  // Draws on the one page of a new document, saves it and reads it back.
  Sheet draw(std::function<void(PDDoc, PDPage)> drawing)
  {
    ASFixedRect box = {0, FloatToASFixed(3371.8), FloatToASFixed(595.35), 0};
    PDDoc doc = PDDocCreate();
    PDPage page = PDDocCreatePage(doc, -1, box);
    drawing(doc, page);
    PDPageRelease(page);
    std::string path = work_ + "/drawn.pdf";
    ASPathName name =
        ASFileSysCreatePathName(nullptr, ASAtomFromString("POSIXPath"), path.c_str(), nullptr);
    PDDocSave(doc, PDSaveFull, name, ASGetDefaultUnicodeFileSys(), nullptr, nullptr);
    ASFileSysReleasePath(nullptr, name);
    PDDocRelease(doc);
    return sheettest::readSheet(path);
  }

  // A row of byte strings at (70, 3000); returns the height after it.
  ASInt32 row(PDPage page, const char* label, const char* value, ASUns16 separator = 0,
              ASInt32 left = 70)
  {
    ASInt32 height = 3000;
    AddTableTextElement(label, value, page, bold_, regular_, &height, &left, separator);
    return height;
  }

  PDEFont regular_ = nullptr;
  PDEFont bold_ = nullptr;

 private:
  void makeFonts()
  {
    for (auto [font, name] : {std::pair{&regular_, "Helvetica"}, {&bold_, "Helvetica-Bold"}}) {
      PDEFontAttrs attributes{};
      attributes.name = ASAtomFromString(name);
      attributes.type = ASAtomFromString("Type1");
      *font = PDEFontCreate(&attributes, sizeof attributes, 0, 255, nullptr, nullptr, ASAtomNull,
                            nullptr, 0, 0, 0);
      ASSERT_NE(*font, nullptr);
    }
  }
};

// The texts of the value runs of a row: every text but the label.
std::vector<sheettest::SheetText> valueRuns(const Sheet& sheet, const std::string& label)
{
  std::vector<sheettest::SheetText> runs;
  for (const auto& text : sheet.texts)
    if (text.text != label) runs.push_back(text);
  return runs;
}

double helveticaWidth(const std::string& text)
{
  // Helvetica's advance widths (thousandths of an em) of the characters used below.
  static const std::map<char, int> widths = {{'W', 944}, {' ', 278}, {'a', 556}, {'b', 556},
                                             {'i', 222}, {'x', 500}, {'l', 222}, {'t', 278}};
  double width = 0;
  for (char c : text) width += widths.at(c) * 12 / 1000.0;
  return width;
}

}  // namespace

TEST_F(Primitives, AWordWiderThanTheColumnIsCutWhereItReachesTheRightLimit)
{
  std::string word(60, 'W');  // 680 points at 12 points: wider than any column
  ASInt32 height = 0;
  Sheet sheet = draw([&](PDDoc, PDPage page) { height = row(page, "", (word + " tail").c_str()); });
  auto runs = valueRuns(sheet, "");
  std::string joined;
  std::set<double> lines;
  for (const auto& run : runs) {
    joined += run.text;
    lines.insert(run.y);
    EXPECT_EQ(run.font, "Helvetica");
    EXPECT_LE(run.x + helveticaWidth(run.text), 525.0 + 1e-3) << run.text;
  }
  EXPECT_EQ(joined, word + " tail") << "nothing lost, nothing doubled";
  // 455 points of column hold 40 W's (377.6 points) a line: 40, then 20 and the tail.
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].text, std::string(40, 'W'));
  EXPECT_EQ(runs[0].x, 70);
  EXPECT_EQ(runs[1].x, 70) << "the rest starts the next line under the value's start";
  EXPECT_EQ(runs[1].y, 2984);
  EXPECT_EQ(runs[2].text, "tail");
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EQ(height, 3000 - 16 - 22);
}

TEST_F(Primitives, ALabelThatReachesTheLimitPutsEachWordWholeOnALineOfItsOwn)
{
  std::string label(50, 'W');  // the value's start lies beyond x 525
  ASInt32 height = 0;
  Sheet sheet = draw([&](PDDoc, PDPage page) { height = row(page, label.c_str(), "a b c"); });
  auto runs = valueRuns(sheet, label);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].text, "a ");
  EXPECT_EQ(runs[2].text, "c");
  EXPECT_EQ(runs[2].y, 3000 - 32);
  EXPECT_EQ(height, 3000 - 2 * 16 - 22);
}

struct RowCase {
  const char* name;
  const char* label;
  std::string value;
  ASUns16 separator;
  ASInt32 heightAfter;
  std::vector<std::string> runs;  // the value's runs in order
  double separatorY;              // 0: none
};

class Rows : public Primitives, public ::testing::WithParamInterface<RowCase> {};

TEST_P(Rows, DrawTheirRunsAndLowerTheHeight)
{
  const RowCase& c = GetParam();
  ASInt32 height = 0;
  Sheet sheet =
      draw([&](PDDoc, PDPage page) { height = row(page, c.label, c.value.c_str(), c.separator); });
  EXPECT_EQ(height, c.heightAfter);
  std::vector<std::string> runs;
  for (const auto& run : valueRuns(sheet, c.label)) runs.push_back(run.text);
  EXPECT_EQ(runs, c.runs);
  std::vector<double> separators;
  for (const auto& path : sheet.paths) separators.push_back(path.segments.at(0).operands.at(1));
  EXPECT_EQ(separators,
            c.separatorY != 0 ? std::vector<double>{c.separatorY} : std::vector<double>{});
}

INSTANTIATE_TEST_SUITE_P(
    Values, Rows,
    ::testing::Values(RowCase{"EmptyValue", "Size:", "", 0, 2978, {""}, 0},
                      RowCase{"ShortValueWithSeparator", "Fax:", "ab", 1, 2978, {"ab"}, 2992},
                      // Nine words of "xxxxxxx " (45.336 points each) fit a line after "Label:"
                      // (from x 115.34 to 525): 25 words need two line breaks.
                      RowCase{"TwoLineBreaksWithSeparator", "Label:",
                              [] {
                                std::string v;
                                for (int i = 0; i < 25; ++i) v += "xxxxxxx ";
                                return v;
                              }(),
                              1, 3000 - 54, std::vector<std::string>(25, "xxxxxxx "), 3000 - 40},
                      RowCase{"DoubleSpaceGivesARunOfOneSpace",
                              "Label:",
                              std::string(44, 'x') + "  " + std::string(40, 'x'),
                              0,
                              3000 - 16 - 22,
                              {std::string(44, 'x') + " ", " ", std::string(40, 'x')},
                              0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Primitives, WithoutALabelTheValueStartsAtTheLeftEdge)
{
  Sheet sheet = draw([&](PDDoc, PDPage page) { row(page, "", "b/w", 0, 160); });
  ASSERT_EQ(sheet.texts.size(), 1u);
  EXPECT_EQ(sheet.texts[0].x, 160);
  EXPECT_EQ(sheet.texts[0].font, "Helvetica");
}

TEST_F(Primitives, TitlesAndHeadings)
{
  ASInt32 titleHeight = 3311;
  ASInt32 headingHeight = 3236;
  Sheet sheet = draw([&](PDDoc, PDPage page) {
    AddTitle("one", page, regular_, &titleHeight);
    AddTitle("two", page, regular_, &titleHeight);
    AddTableTitle("HEADING", page, bold_, &headingHeight);
  });
  EXPECT_EQ(titleHeight, 3311) << "a title leaves the height to its caller";
  EXPECT_EQ(headingHeight, 3214);
  ASSERT_EQ(sheet.texts.size(), 3u);
  EXPECT_EQ(sheet.texts[0].text, "one") << "two elements, in drawing order";
  EXPECT_EQ(sheet.texts[1].text, "two");
  EXPECT_EQ(sheet.texts[1].y, 3311);
  EXPECT_EQ(sheet.texts[1].size, 20);
  EXPECT_EQ(sheet.texts[2].x, 70);
  EXPECT_EQ(sheet.texts[2].size, 12);
  EXPECT_EQ(sheet.operators.find("BT\n") != std::string::npos, true);
}

TEST_F(Primitives, AToolkitStringValueIsPrintedInWindows1252)
{
  wxString value = wxString::FromUTF8("Zoë ☺");
  Sheet sheet = draw([&](PDDoc, PDPage page) {
    ASInt32 height = 3000;
    ASInt32 left = 70;
    AddTableElement("Name:", &value, page, bold_, regular_, &height, &left, 0);
  });
  EXPECT_EQ(sheet.find("Zo\xEB ?").size(), 1u);
  EXPECT_EQ(TVPWinAnsiBytes(wxString::FromUTF8("€ Š ž Ÿ")), "\x80 \x8A \x9E \x9F");
}

struct RectCase {
  const char* name;
  ASUns16 stroke, fill, solid;
  const char* paint;
  std::vector<double> fillColour;
  double opacity;
};

class Rectangles : public Primitives, public ::testing::WithParamInterface<RectCase> {};

TEST_P(Rectangles, ArePaintedAsTheirFlagsSay)
{
  const RectCase& c = GetParam();
  Sheet sheet = draw([&](PDDoc doc, PDPage page) {
    AddRect(150, 2994, -10, 10, 1, c.stroke, c.fill, c.solid, page, doc);
  });
  ASSERT_EQ(sheet.paths.size(), 1u);
  const auto& path = sheet.paths[0];
  EXPECT_EQ(path.segments[0].op, "re");
  EXPECT_EQ(path.segments[0].operands, (std::vector<double>{150, 2994, -10, 10}))
      << "a square whose right edge is at x 150";
  EXPECT_EQ(path.paint, c.paint);
  EXPECT_EQ(path.fill, c.fillColour);
  EXPECT_EQ(path.stroke, (std::vector<double>{0, 0, 0}));
  EXPECT_DOUBLE_EQ(path.fillOpacity, c.opacity);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, Rectangles,
    ::testing::Values(RectCase{"Invisible", 0, 0, 0, "n", {1, 1, 1}, 1},
                      RectCase{"Outline", 1, 0, 1, "S", {1, 1, 1}, 1},
                      RectCase{"SolidBlack", 1, 1, 1, "B", {0, 0, 0}, 1},
                      RectCase{"TranslucentGrey", 1, 1, 0, "B", {0.75, 0.75, 0.75}, 0.4},
                      RectCase{"FillWithoutStroke", 0, 1, 1, "f", {0, 0, 0}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Primitives, TheRadioMarkIsTenPointsWideAroundItsCentre)
{
  Sheet sheet = draw([&](PDDoc, PDPage page) { AddCircle(75, 2842, 1, 1, 0, page); });
  ASSERT_EQ(sheet.paths.size(), 1u);
  const auto& s = sheet.paths[0].segments;
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0].operands, (std::vector<double>{70, 2842}));
  EXPECT_EQ(s[1].operands, (std::vector<double>{70, 2849, 80, 2849, 80, 2842}));
  EXPECT_EQ(s[2].operands, (std::vector<double>{80, 2835, 70, 2835, 70, 2842}));
  EXPECT_EQ(s[3].op, "h");
  EXPECT_EQ(sheet.paths[0].paint, "S");
}

struct WidthCase {
  ASInt32 width;
  double drawn;
};

class LineWidths : public Primitives, public ::testing::WithParamInterface<WidthCase> {};

TEST_P(LineWidths, SaturateBeyond32767Points)
{
  Sheet sheet =
      draw([&](PDDoc, PDPage page) { AddLine(60, 100, 535, 100, GetParam().width, page); });
  ASSERT_EQ(sheet.paths.size(), 1u);
  EXPECT_NEAR(sheet.paths[0].lineWidth, GetParam().drawn, 1e-4);
  EXPECT_EQ(sheet.paths[0].paint, "S");
}

INSTANTIATE_TEST_SUITE_P(Widths, LineWidths,
                         ::testing::Values(WidthCase{1, 1}, WidthCase{32767, 32767},
                                           WidthCase{-32767, -32767}, WidthCase{32768, 32767.99998},
                                           WidthCase{-40000, -32768}),
                         [](const auto& info) {
                           return "Width" + testfiles::caseName(std::to_string(info.param.width));
                         });

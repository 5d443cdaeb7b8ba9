// The printed ticket sheet read back with qpdf: baselines, fonts, the box, bands, frames, marks
// and squares, word wrapping, and the headless print job.
#include "PrintHarness.h"

using namespace printtest;
using sheettest::Sheet;

namespace {

struct Baseline {
  const char* text;
  double y;
  double x;
};

// The ticket of the edge cases with "Fixed size" chosen.
const Baseline kFixedSizeBaselines[] = {
    {"TOVARIN+: STANDARD AD TICKET", 3311, 60},
    {"                      for magazines and newspapers", 3286, 60},
    {"JOB INFO (mandatory)", 3236, 70},
    {"Order ID:", 3214, 70},
    {"Job ID:", 3192, 70},
    {"Client ID:", 3170, 70},
    {"     Media Agency:", 3148, 70},
    {"     Creative Agency:", 3126, 70},
    {"     Service Office:", 3104, 70},
    {"     Advertiser:", 3082, 70},
    {"First publication:", 3060, 70},
    {"Title / Publication:", 3038, 70},
    {"Theme:", 3016, 70},
    {"Colour:", 2994, 70},
    {"b/w", 2994, 160},
    {"full colour", 2994, 220},
    {"spotcolour", 2994, 310},
    {"Contact (name):", 2972, 70},
    {"Telephone:", 2950, 70},
    {"E-mail:", 2928, 70},
    {"EXTRA INFO (not mandatory)", 2881, 70},
    {"Size:", 2859, 70},
    {"     Fixed size", 2837, 70},
    {"     Fixed size:", 2815, 70},
    {"     Width/Height", 2793, 70},
    {"     Width in mm:", 2771, 70},
    {"     Width in colums:", 2749, 70},
    {"     Height in mm:", 2727, 70},
    {"Bleed:", 2705, 70},
    {"Brand:", 2683, 70},
    {"Fax:", 2661, 70},
    {"Destination:", 2639, 70},
    {"Remarks:", 2617, 70},
};

// The sheet's box: 595.35 wide, from `bottom` to the page's top at 3371.8, as the host's 16.16
// fixed-point numbers hold them.
void expectBox(const Sheet& printed, double bottom)
{
  ASSERT_EQ(printed.mediaBox.size(), 4u);
  const double fixedStep = 1.0 / 65536;
  EXPECT_EQ(printed.mediaBox[0], 0);
  EXPECT_NEAR(printed.mediaBox[1], bottom, 8 * fixedStep);
  EXPECT_NEAR(printed.mediaBox[2], 595.35, 8 * fixedStep);
  EXPECT_NEAR(printed.mediaBox[3], 3371.8, 8 * fixedStep);
}

}  // namespace

TEST_F(PrintTest, EveryLineStandsOnItsBaseline)
{
  printTicket();
  Sheet printed = sheet();
  for (const auto& line : kFixedSizeBaselines) {
    SCOPED_TRACE(line.text);
    auto found = printed.find(line.text);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->y, line.y);
    EXPECT_EQ(found[0]->x, line.x);
  }
  expectBox(printed, 2528.85);
}

TEST_F(PrintTest, TheSheetPassesQpdfCheckAndRendersWithPoppler)
{
  printTicket([] { radioBox(ID_TVP_JOB_PAGE)->SetSelection(2); });
  int status = -1;
  std::string check = shell("qpdf --check '" + savedSheet() + "'", &status);
  EXPECT_EQ(status, 0) << check;
  EXPECT_NE(check.find("No syntax or stream encoding errors found"), std::string::npos) << check;

  // Kept in the build folder for a person to look at.
  std::string kept = std::string(TVP_BUILD_DIR) + "/ticket-sheet";
  std::filesystem::copy_file(savedSheet(), kept + ".pdf",
                             std::filesystem::copy_options::overwrite_existing);
  std::string render = shell("pdftoppm -png -r 100 -singlefile '" + kept + ".pdf' '" + kept + "'",
                               &status);
  ASSERT_EQ(status, 0) << render;
  std::string info = shell("pdfinfo '" + kept + ".pdf'", &status);
  EXPECT_NE(info.find("595.35 x 842.95 pts"), std::string::npos) << info;
  // The translucent bands need transparency, which came with PDF 1.4.
  std::string version = pdfVersionOf(kept + ".pdf");
  EXPECT_GE(std::stod(version.empty() ? "0" : version), 1.4) << info;
}

TEST_F(PrintTest, WidthHeightChosenHasOneRowFewer)
{
  printTicket(nullptr, 1);
  Sheet printed = sheet();
  EXPECT_TRUE(printed.find("     Fixed size:").empty()) << "the fixed size is not printed";
  EXPECT_TRUE(printed.find("1/2 page").empty());
  ASSERT_EQ(printed.find("Remarks:").size(), 1u);
  EXPECT_EQ(printed.find("Remarks:")[0]->y, 2639);
  for (const char* value : {"210", "4", "297"})
    EXPECT_EQ(printed.find(value).size(), 1u) << value;
  expectBox(printed, 2528.85);
}

namespace {

// The radio marks: paths of two curves whose move-to lies 5 points left of the centre.
std::vector<const sheettest::SheetPath*> marks(const Sheet& printed)
{
  std::vector<const sheettest::SheetPath*> found;
  for (const auto& path : printed.paths)
    if (path.segments.size() == 4 && path.segments[1].op == "c")
      found.push_back(&path);
  return found;
}

// Rectangles drawn with re: x, y, width, height.
std::vector<const sheettest::SheetPath*> rectangles(const Sheet& printed)
{
  std::vector<const sheettest::SheetPath*> found;
  for (const auto& path : printed.paths)
    if (path.segments.size() == 1 && path.segments[0].op == "re")
      found.push_back(&path);
  return found;
}

}  // namespace

struct MarkCase {
  int sizeChoice;
  double filledY;
  double emptyY;
};

class RadioMarks : public PrintTest, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(RadioMarks, TheChosenSizeHasTheFilledMark)
{
  printTicket(nullptr, GetParam().sizeChoice);
  Sheet printed = sheet();
  auto found = marks(printed);
  ASSERT_EQ(found.size(), 2u);
  for (const auto* mark : found) {
    const auto& start = mark->segments[0].operands;
    ASSERT_EQ(start.size(), 2u);
    EXPECT_EQ(start[0], 70) << "centred at x 75";
    const auto& upper = mark->segments[1].operands;
    EXPECT_EQ(upper[1], start[1] + 7);
    EXPECT_EQ(upper[4], 80);
    bool filled = mark->paint == "B";
    EXPECT_EQ(start[1], filled ? GetParam().filledY : GetParam().emptyY) << mark->paint;
    EXPECT_TRUE(filled || mark->paint == "S") << mark->paint;
    EXPECT_EQ(mark->stroke, std::vector<double>({0, 0, 0}));
  }
  EXPECT_NE(found[0]->paint, found[1]->paint) << "one filled, one empty";
}

INSTANTIATE_TEST_SUITE_P(SizeChoices, RadioMarks,
                         ::testing::Values(MarkCase{0, 2842, 2798}, MarkCase{1, 2820, 2842}),
                         [](const auto& info) {
                           return info.param.sizeChoice == 0 ? "FixedSize" : "WidthAndHeight";
                         });

TEST_F(PrintTest, BandsAreTranslucentGreyAndFramesFollowTheContent)
{
  printTicket();
  std::vector<std::vector<double>> bands;
  std::vector<std::vector<double>> frames;
  Sheet printed = sheet();
  for (const auto* rect : rectangles(printed)) {
    const auto& r = rect->segments[0].operands;
    if (r[0] != 60)
      continue;  // the colour row's squares
    if (rect->paint == "B") {
      EXPECT_EQ(rect->fill, std::vector<double>({0.75, 0.75, 0.75}));
      EXPECT_DOUBLE_EQ(rect->fillOpacity, 0.4);
      EXPECT_EQ(rect->lineWidth, 2);
      bands.push_back(r);
    } else {
      EXPECT_EQ(rect->paint, "S");
      EXPECT_EQ(rect->lineWidth, 1);
      frames.push_back(r);
    }
  }
  // Band and frame from the section top; the frame ends 15 points above the height.
  EXPECT_EQ(bands, (std::vector<std::vector<double>>{{60, 3251, 475, -20}, {60, 2896, 475, -20}}));
  EXPECT_EQ(frames, (std::vector<std::vector<double>>{{60, 3251, 475, 2921 - 3251},
                                                      {60, 2896, 475, 2610 - 2896}}));
}

struct ColourCase {
  int selection;
  double filledSquareX;  // the right edge of the filled square
  const char* spotText;
};

class ColourRow : public PrintTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ColourRow, TheChosenSchemeHasTheFilledSquare)
{
  printTicket([] { radioBox(ID_TVP_JOB_PAGE)->SetSelection(GetParam().selection); });
  Sheet printed = sheet();
  int squares = 0;
  for (const auto* rect : rectangles(printed)) {
    const auto& r = rect->segments[0].operands;
    if (r[0] == 60)
      continue;
    ++squares;
    EXPECT_EQ(r[1], 2994);
    EXPECT_EQ(r[2], -10);
    EXPECT_EQ(r[3], 10);
    bool filled = rect->paint == "B";
    EXPECT_EQ(filled, r[0] == GetParam().filledSquareX) << r[0];
    if (filled)
      EXPECT_EQ(rect->fill, std::vector<double>({0, 0, 0})) << "opaque black";
  }
  EXPECT_EQ(squares, 3);
  auto spot = printed.find(GetParam().spotText);
  ASSERT_EQ(spot.size(), 1u);
  EXPECT_EQ(spot[0]->x, 310);
  EXPECT_EQ(spot[0]->font, "Helvetica");
  bool named = !printed.find("Pantone 286").empty();
  EXPECT_EQ(named, GetParam().selection == 2) << "the spot name only for the spot scheme";
}

INSTANTIATE_TEST_SUITE_P(Schemes, ColourRow,
                         ::testing::Values(ColourCase{0, 150, "spotcolour"},
                                           ColourCase{1, 210, "spotcolour"},
                                           ColourCase{2, 300, "spotcolour:"}),
                         [](const auto& info) {
                           int scheme = info.param.selection;
                           return scheme == 0 ? "BlackAndWhite" : scheme == 1 ? "Full" : "Spot";
                         });

TEST_F(PrintTest, LabelsAreBoldValuesRegularAndSeparatorsLieUnderTheirRows)
{
  printTicket();
  Sheet printed = sheet();
  auto label = printed.find("Order ID:");
  auto value = printed.find("000");
  ASSERT_EQ(label.size(), 1u);
  ASSERT_EQ(value.size(), 1u);
  EXPECT_EQ(label[0]->font, "Helvetica-Bold");
  EXPECT_EQ(label[0]->size, 12);
  EXPECT_EQ(value[0]->font, "Helvetica");
  EXPECT_EQ(value[0]->y, 3214);
  // After the label's advance (Helvetica-Bold "Order ID:" is 4.334 em) and 10 points.
  EXPECT_NEAR(value[0]->x, 70 + 4.334 * 12 + 10, 1e-4);
  auto title = printed.find("TOVARIN+: STANDARD AD TICKET");
  ASSERT_EQ(title.size(), 1u);
  EXPECT_EQ(title[0]->font, "Helvetica");
  EXPECT_EQ(title[0]->size, 20);
  EXPECT_EQ(printed.find("JOB INFO (mandatory)")[0]->font, "Helvetica-Bold");
  EXPECT_EQ(printed.find("YES").size(), 1u) << "the bleed as validation rewrote it";

  // Separators: 8 points below the rows that have one.
  std::vector<double> separators;
  for (const auto& path : printed.paths)
    if (path.segments.size() == 2 && path.segments[0].op == "m" && path.segments[1].op == "l") {
      EXPECT_EQ(path.segments[0].operands[0], 60);
      EXPECT_EQ(path.segments[1].operands[0], 535);
      separators.push_back(path.segments[0].operands[1]);
    }
  EXPECT_EQ(separators, (std::vector<double>{3206, 3184, 3074, 3052, 3030, 3008, 2986, 2964,
                                             2942, 2697, 2675, 2653, 2631}));
}

TEST_F(PrintTest, ALongRemarkWrapsUnderItsFirstWordAndMovesTheBox)
{
  wxString remark;
  for (int i = 0; i < 60; ++i)
    remark += "remark" + std::to_string(i) + " ";
  printTicket([&] { setText(ID_TVP_REMARKS, remark); });
  Sheet printed = sheet();
  auto first = printed.find("remark0 ");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0]->y, 2617);
  double h0 = first[0]->x;
  std::set<double> lines;
  std::string joined;
  for (const auto& text : printed.texts)
    if (text.text.rfind("remark", 0) == 0) {
      lines.insert(text.y);
      joined += text.text;
      if (text.x == h0)
        continue;
      EXPECT_GT(text.x, h0);
    }
  EXPECT_EQ(joined, remark.ToStdString()) << "every word once, in order";
  int breaks = static_cast<int>(lines.size()) - 1;
  ASSERT_GE(breaks, 5) << "long enough to push the sheet past one A4 height";
  EXPECT_EQ(*lines.begin(), 2617 - 16 * breaks) << "lines 16 points apart";
  double endHeight = 2617 - 16 * breaks - 22;
  expectBox(printed, endHeight - 60);

  // poppler sees every word inside the column.
  int status = -1;
  std::string boxes = shell("pdftotext -bbox '" + savedSheet() + "' -", &status);
  ASSERT_EQ(status, 0) << boxes;
  std::istringstream words(boxes);
  std::string line;
  int checked = 0;
  while (std::getline(words, line)) {
    if (line.find(">remark") == std::string::npos)
      continue;
    double xMax = std::stod(line.substr(line.find("xMax=\"") + 6));
    EXPECT_LE(xMax, 525.0) << line;
    ++checked;
  }
  EXPECT_EQ(checked, 60);
}

TEST_F(PrintTest, PopplerFindsTheWordsWhereTheContentPutsThem)
{
  printTicket();
  int status = -1;
  std::string boxes = shell("pdftotext -bbox '" + savedSheet() + "' -", &status);
  ASSERT_EQ(status, 0) << boxes;
  // pdftotext measures y from the top of the box, 3371.8 on the page.
  struct Word {
    const char* word;
    double x;
    double baseline;
    double size;
  };
  for (const Word& w : {Word{"Order", 70, 3214, 12}, Word{"E-mail:", 70, 2928, 12},
                        Word{"Remarks:", 70, 2617, 12}, Word{"TOVARIN+:", 60, 3311, 20}}) {
    SCOPED_TRACE(w.word);
    std::size_t at = boxes.find(std::string(">") + w.word + "<");
    ASSERT_NE(at, std::string::npos);
    std::size_t start = boxes.rfind("<word", at);
    std::string entry = boxes.substr(start, at - start);
    double xMin = std::stod(entry.substr(entry.find("xMin=\"") + 6));
    double yMax = std::stod(entry.substr(entry.find("yMax=\"") + 6));
    EXPECT_NEAR(xMin, w.x, 0.5);
    // The word's box ends a little below its baseline (the font's descent, under a quarter of
    // its size).
    EXPECT_NEAR(3371.8 - yMax, w.baseline, w.size / 4);
  }
}

TEST_F(PrintTest, TheHeadlessPrintJobIsTheSavedSheet)
{
  printTicket();
  std::string saved = readFile(savedSheet());
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(readFile(printedSheet()), saved);
  std::string log = logText();
  EXPECT_NE(log.find("print job: pdfDoc.pdf -> " + printedSheet()), std::string::npos) << log;
  EXPECT_NE(log.find("view opened: pdfDoc.pdf (without a window)"), std::string::npos) << log;
  EXPECT_NE(log.find("view closed: pdfDoc.pdf"), std::string::npos) << log;
  EXPECT_EQ(seen.notes, std::vector<std::string>()) << "no alert";
  EXPECT_TRUE(std::filesystem::exists(savedSheet())) << "the sheet stays after printing";
}

TEST_F(PrintTest, ASecondPrintReplacesTheFirstSheet)
{
  printTicket([] { setText(ID_TVP_EDIORDERID, "first"); });
  printTicket([] { setText(ID_TVP_EDIORDERID, "second"); });
  Sheet printed = sheet();
  EXPECT_TRUE(printed.find("first").empty());
  EXPECT_EQ(printed.find("second").size(), 1u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shared_),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file left beside the sheet";
}

TEST_F(PrintTest, CancellingThePrintDialogStillLeavesTheSavedSheet)
{
  printTicket(nullptr, 0, {"cancel"});
  EXPECT_TRUE(std::filesystem::exists(savedSheet()));
  EXPECT_FALSE(std::filesystem::exists(printedSheet()));
  EXPECT_NE(logText().find("print job: pdfDoc.pdf cancelled"), std::string::npos) << logText();
}

TEST_F(PrintTest, AFailedValidationMakesNothing)
{
  printTicket([] { setText(ID_TVP_EMAIL, "no at sign"); });
  EXPECT_EQ(seen.notes,
            std::vector<std::string>(
                {"The mandatory 'Email' has no or an invalid value or its value is too long"}));
  EXPECT_FALSE(std::filesystem::exists(savedSheet()));
  EXPECT_EQ(logText().find("print job"), std::string::npos);
}

TEST_F(PrintTest, CharactersOutsideAsciiPrintInWindows1252)
{
  printTicket([] {
    setText(ID_TVP_CONTACT, wxString::FromUTF8("Jürgen Müller – €5"));
    setText(ID_TVP_THEME, wxString::FromUTF8("日本"));
  });
  Sheet printed = sheet();
  EXPECT_EQ(printed.find("J\xFCrgen M\xFCller \x96 \x80" "5").size(), 1u);
  EXPECT_EQ(printed.find("??").size(), 1u) << "characters outside it print as '?'";
  int status = -1;
  std::string text = shell("pdftotext '" + savedSheet() + "' -", &status);
  EXPECT_NE(text.find("Jürgen Müller – €5"), std::string::npos) << text;
}

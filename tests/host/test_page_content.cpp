// The host's page-content model: texts with runs and their advance widths from the AFM metrics,
// paths, graphic states, a page's content acquired, set and released, the content stream and
// resources qpdf reads back, and every object counted until it is released.
#include <cmath>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include "HostFixture.h"
#include "calls/CallSupport.h"
#include "content/ContentWriter.h"

using namespace pdfhost;
using namespace pdfhost::calls;

namespace {

ASFixed fx(double value)
{
  return FloatToASFixed(value);
}

PDEFont standardFont(const char* name)
{
  PDEFontAttrs attributes{};
  attributes.name = ASAtomFromString(name);
  attributes.type = ASAtomFromString("Type1");
  return PDEFontCreate(&attributes, sizeof attributes, 0, 255, nullptr, nullptr, ASAtomNull,
                       nullptr, 0, 0, 0);
}

PDEGraphicState grayState(PDEColorSpace gray)
{
  PDEGraphicState state{};
  state.fillColorSpec.space = gray;
  state.strokeColorSpec.space = gray;
  state.lineWidth = fixedOne;
  state.miterLimit = 10 * fixedOne;
  state.flatness = fixedOne;
  return state;
}

// A text with the given runs at 12 points; the caller releases it.
PDEText textOf(PDEFont font, const std::vector<std::string>& runs, PDEColorSpace gray)
{
  PDEGraphicState state = grayState(gray);
  ASFixedMatrix matrix = {12 * fixedOne, 0, 0, 12 * fixedOne, 70 * fixedOne, 3000 * fixedOne};
  PDEText text = PDETextCreate();
  for (std::size_t i = 0; i < runs.size(); ++i)
    PDETextAdd(text, kPDETextRun, static_cast<ASInt32>(i),
               reinterpret_cast<const ASUns8*>(runs[i].data()),
               static_cast<ASInt32>(runs[i].size()), font, &state, sizeof state, nullptr, 0,
               &matrix, nullptr);
  return text;
}

double advanceOf(PDEText text, ASInt32 run)
{
  ASFixedPoint advance{};
  PDETextGetAdvanceWidth(text, kPDETextRun | kPDETextPageSpace, run, &advance);
  return advance.h / 65536.0;
}

std::string pageOperators(const std::string& path)
{
  QPDF pdf;
  pdf.processFile(path.c_str());
  auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
  std::string out;
  struct Collect : QPDFObjectHandle::ParserCallbacks {
    std::string* out;
    void handleObject(QPDFObjectHandle object) override
    {
      *out += object.unparse() + (object.isOperator() ? "\n" : " ");
    }
    void handleEOF() override {}
  } collect;
  collect.out = &out;
  pages.at(0).parseContents(&collect);
  return out;
}

}  // namespace

class PageContent : public HostTest {
 protected:
  void TearDown() override
  {
    const LiveObjects& live = Host::get().live;
    EXPECT_EQ(live.elements + live.fonts + live.colorSpaces + live.extGStates + live.contents +
                  live.pages + live.documents,
              0)
        << "every object the test made was released";
    HostTest::TearDown();
  }

  // Saves a document in full to a temporary file and returns its path.
  std::string save(PDDoc doc)
  {
    path_ = "/tmp/pdfhost-content-" + std::to_string(::getpid()) + ".pdf";
    ASPathName name =
        ASFileSysCreatePathName(nullptr, ASAtomFromString("POSIXPath"), path_.c_str(), nullptr);
    PDDocSave(doc, PDSaveFull, name, ASGetDefaultUnicodeFileSys(), nullptr, nullptr);
    ASFileSysReleasePath(nullptr, name);
    return path_;
  }
  ~PageContent() override
  {
    if (!path_.empty()) std::remove(path_.c_str());
  }

  std::string path_;
};

struct AdvanceCase {
  const char* font;
  const char* text;
  int thousandths;  // the sum of the Adobe standard widths of its characters
};

class Advances : public PageContent, public ::testing::WithParamInterface<AdvanceCase> {};

TEST_P(Advances, ComeFromTheStandardMetrics)
{
  PDEFont font = standardFont(GetParam().font);
  PDEColorSpace gray = PDEColorSpaceCreateFromName(ASAtomFromString("DeviceGray"));
  PDEText text = textOf(font, {GetParam().text}, gray);
  EXPECT_NEAR(advanceOf(text, 0), GetParam().thousandths * 12 / 1000.0, 1.0 / 65536);
  ASFixedPoint unscaled{};
  PDETextGetAdvanceWidth(text, kPDETextRun, 0, &unscaled);
  EXPECT_NEAR(unscaled.h / 65536.0, GetParam().thousandths / 1000.0, 1.0 / 65536)
      << "in text space without the page-space flag";
  PDERelease(text);
  PDERelease(gray);
  PDERelease(font);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, Advances,
    ::testing::Values(AdvanceCase{"Helvetica-Bold",
                                  "Order ID:", 778 + 389 + 611 + 556 + 389 + 278 + 278 + 722 + 333},
                      // a d s @ e x a m p l e . c o m
                      AdvanceCase{"Helvetica", "ads@example.com",
                                  556 + 556 + 500 + 1015 + 556 + 500 + 556 + 833 + 556 + 222 + 556 +
                                      278 + 500 + 556 + 833},
                      // WinAnsiEncoding: 0xFC is udieresis, 0x80 the Euro.
                      AdvanceCase{"Helvetica", "M\xFC\x80", 833 + 556 + 556},
                      AdvanceCase{"Courier", "any text", 8 * 600}),
    [](const auto& info) {
      return testfiles::caseName(std::string(info.param.font) + " " + info.param.text);
    });

TEST_F(PageContent, RunsAreAddedAtTheirIndexAndRemovedAgain)
{
  PDEFont font = standardFont("Helvetica");
  PDEColorSpace gray = PDEColorSpaceCreateFromName(ASAtomFromString("DeviceGray"));
  PDEText text = textOf(font, {"one ", "three"}, gray);
  PDEGraphicState state = grayState(gray);
  ASFixedMatrix matrix = {12 * fixedOne, 0, 0, 12 * fixedOne, 100 * fixedOne, 3000 * fixedOne};
  PDETextAdd(text, kPDETextRun, 1, reinterpret_cast<const ASUns8*>("two "), 4, font, &state,
             sizeof state, nullptr, 0, &matrix, nullptr);
  PDETextRemove(text, kPDETextRun, 2, 1);
  EXPECT_THROW(PDETextRemove(text, kPDETextRun, 2, 1), HostError) << "no run 2 any more";
  EXPECT_THROW(PDETextGetAdvanceWidth(text, kPDETextRun, 5, nullptr), HostError);

  PDDoc doc = PDDocCreate();
  PDPage page = PDDocCreatePage(doc, -1, ASFixedRect{0, 842 * fixedOne, 595 * fixedOne, 0});
  PDEContent content = PDPageAcquirePDEContent(page, nullptr);
  EXPECT_EQ(PDPageAcquirePDEContent(page, nullptr), content) << "the same while acquired";
  PDEContentAddElem(content, kPDEAfterLast, text);
  PDPageSetPDEContent(page, nullptr);
  EXPECT_EQ(PDPageReleasePDEContent(page, nullptr), 1);
  EXPECT_EQ(PDPageReleasePDEContent(page, nullptr), 0);
  EXPECT_THROW(PDPageReleasePDEContent(page, nullptr), HostError) << "not acquired";
  PDERelease(text);
  PDERelease(gray);
  PDERelease(font);
  PDPageRelease(page);
  std::string operators = pageOperators(save(doc));
  PDDocRelease(doc);
  EXPECT_NE(operators.find("(one ) Tj"), std::string::npos) << operators;
  EXPECT_NE(operators.find("100 3000 Tm\n(two ) Tj"), std::string::npos) << operators;
  EXPECT_EQ(operators.find("three"), std::string::npos) << operators;
}

TEST_F(PageContent, TheStreamNamesItsFontsAndTranslucencyInThePageResources)
{
  PDDoc doc = PDDocCreate();
  PDPage page = PDDocCreatePage(doc, -1, ASFixedRect{0, 842 * fixedOne, 595 * fixedOne, 0});
  PDEFont font = standardFont("Helvetica-Bold");
  PDEColorSpace rgb = PDEColorSpaceCreateFromName(ASAtomFromString("DeviceRGB"));
  PDEExtGState translucent = PDEExtGStateCreateNew(PDDocGetCosDoc(doc));
  PDEExtGStateSetOpacityFill(translucent, fx(0.4));
  PDEPath path = PDEPathCreate();
  PDEPathSetPaintOp(path, kPDEStroke | kPDEFill);
  PDEGraphicState state{};
  state.fillColorSpec.space = rgb;
  for (int i = 0; i < 3; ++i) state.fillColorSpec.value.color[i] = fx(0.75);
  state.strokeColorSpec.space = rgb;
  state.lineWidth = 2 * fixedOne;
  state.extGState = translucent;
  state.wasSetFlags = kPDEExtGStateWasSet;
  PDEElementSetGState(path, &state, sizeof state);
  ASInt32 data[] = {kPDERect, 60 * fixedOne, 700 * fixedOne, 475 * fixedOne, -20 * fixedOne};
  PDEPathSetData(path, data, sizeof data);
  PDEColorSpace gray = PDEColorSpaceCreateFromName(ASAtomFromString("DeviceGray"));
  PDEText text = textOf(font, {"HEADING"}, gray);

  PDEContent content = PDPageAcquirePDEContent(page, nullptr);
  PDEContentAddElem(content, kPDEAfterLast, path);
  PDEContentAddElem(content, kPDEBeforeFirst, text);
  PDPageSetPDEContentCanRaise(page, nullptr);
  PDPageReleasePDEContent(page, nullptr);
  // The path holds its own references to what its graphic state names.
  for (PDEObject object :
       std::initializer_list<PDEObject>{path, text, rgb, gray, translucent, font})
    PDERelease(object);
  PDPageRelease(page);
  std::string path_ = save(doc);
  PDDocRelease(doc);

  EXPECT_EQ(pageOperators(path_),
            "q\nBT\n0 g\n0 G\n1 w\n10 M\n1 i\n0 J\n0 j\n/F1 1 Tf\n0 Tc\n0 Tw\n100 Tz\n0 Ts\n"
            "0 Tr\n12 0 0 12 70 3000 Tm\n(HEADING) Tj\nET\nQ\n"
            "q\n/GS1 gs\n0.75 0.75 0.75 rg\n0 0 0 RG\n2 w\n0 M\n0 i\n0 J\n0 j\n"
            "60 700 475 -20 re\nB\nQ\n");
  QPDF pdf;
  pdf.processFile(path_.c_str());
  QPDFObjectHandle firstPage = pdf.getAllPages().at(0);
  QPDFObjectHandle resources = firstPage.getKey("/Resources");
  EXPECT_EQ(
      resources.getKey("/Font").getKey("/F1").unparseResolved(),
      "<< /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding /Subtype /Type1 /Type /Font >>");
  EXPECT_EQ(resources.getKey("/ExtGState").getKey("/GS1").unparseResolved(),
            "<< /Type /ExtGState /ca 0.4 >>");
  int status = std::system(("qpdf --check '" + path_ + "' >/dev/null 2>&1").c_str());
  EXPECT_EQ(status, 0) << "qpdf --check";
}

TEST_F(PageContent, BadInputIsRefusedAndChangesNothing)
{
  PDEPath path = PDEPathCreate();
  ASInt32 unknownCode[] = {9, 0, 0};
  ASInt32 truncated[] = {kPDECurveTo, 1, 2, 3};
  EXPECT_THROW(PDEPathSetData(path, unknownCode, sizeof unknownCode), HostError);
  EXPECT_THROW(PDEPathSetData(path, truncated, sizeof truncated), HostError);
  EXPECT_THROW(PDEPathSetData(path, truncated, 3), HostError) << "not whole words";
  EXPECT_THROW(PDEPathSetPaintOp(path, 8), HostError);
  EXPECT_THROW(PDEPathAddSegment(path, 7, 0, 0, 0, 0, 0, 0), HostError);
  EXPECT_THROW(PDEColorSpaceCreateFromName(ASAtomFromString("Lab")), HostError);
  PDEFontAttrs attributes{};
  attributes.name = ASAtomFromString("Comic Sans");
  attributes.type = ASAtomFromString("Type1");
  EXPECT_THROW(PDEFontCreate(&attributes, sizeof attributes, 0, 255, nullptr, nullptr, ASAtomNull,
                             nullptr, 0, 0, 0),
               HostError);
  EXPECT_EQ(Host::get().frames.lastError(), kASErrFontNotFound);
  EXPECT_THROW(PDERelease(reinterpret_cast<PDEObject>(&attributes)), HostError)
      << "not an object of the host's";
  EXPECT_EQ(Host::get().live.elements, 1);
  PDERelease(path);
  EXPECT_THROW(PDERelease(path), HostError) << "released twice";
  EXPECT_NE(logText().find("PDEPathSetData refused: unknown segment code 9"), std::string::npos);
}

TEST_F(PageContent, APageOutlivesItsDocumentOnlyAsAnOrphan)
{
  PDDoc doc = PDDocCreate();
  PDPage page = PDDocCreatePage(doc, -1, ASFixedRect{0, 842 * fixedOne, 595 * fixedOne, 0});
  EXPECT_THROW(PDDocCreatePage(doc, 5, ASFixedRect{}), HostError) << "no page 5";
  EXPECT_EQ(Host::get().live.documents, 1);
  EXPECT_EQ(Host::get().live.pages, 1);
  PDDocRelease(doc);
  EXPECT_EQ(Host::get().live.documents, 0);
  EXPECT_THROW(PDPageSetMediaBox(page, ASFixedRect{}), HostError);
  EXPECT_THROW(PDPageAcquirePDEContent(page, nullptr), HostError);
  EXPECT_THROW(PDDocRelease(doc), HostError) << "released already";
  PDPageRelease(page);
  EXPECT_EQ(Host::get().live.pages, 0);
}

struct FixedCase {
  double value;
  ASFixed fixed;
  const char* written;
};

class FixedNumbers : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedNumbers, RoundToNearestSaturateAndWriteShortest)
{
  EXPECT_EQ(FloatToASFixed(GetParam().value), GetParam().fixed);
  EXPECT_EQ(content::formatFixed(GetParam().fixed), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FixedNumbers,
    ::testing::Values(FixedCase{0.4, 26214, "0.4"}, FixedCase{0.75, 49152, "0.75"},
                      FixedCase{-5.0, -5 * 65536, "-5"},
                      // The single-precision constants are what the plug-in converts.
                      FixedCase{static_cast<double>(3371.8f), 220974288, "3371.80005"},
                      FixedCase{static_cast<double>(3371.8f - 842.95f), 165730720, "2528.8501"},
                      FixedCase{40000.0, 0x7FFFFFFF, "32767.99998"},
                      FixedCase{-40000.0, static_cast<ASFixed>(0x80000000u), "-32768"}),
    [](const auto& info) { return "Writes" + testfiles::caseName(info.param.written); });

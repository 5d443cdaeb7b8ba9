// Literal extraction of unique elements, element contents and attributes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "literal_model.h"
#include "scanner_test_support.h"

namespace {

using Extractor = TextResult (*)(const char* text, const char* name);

struct ExtractCase {
  const char* behaviour;
  Extractor extract;
  const char* text;
  const char* name;
  int rc;
  const char* expected;  // read only on kScanOK
};

class ExtractionTest : public testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractionTest, Extracts) {
  const ExtractCase& c = GetParam();
  const TextResult result = c.extract(c.text, c.name);
  EXPECT_EQ(result.rc, c.rc);
  EXPECT_EQ(result.isNull, c.rc != kScanOK);
  if (c.rc == kScanOK) EXPECT_EQ(result.text, c.expected);
}

constexpr Extractor E = Element, D = ElementData, A = Attribute;
constexpr int kOK = kScanOK;

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractionTest,
    testing::Values(
        // The whole element.
        ExtractCase{"Plain", E, "<r><a>1</a></r>", "a", kOK, "<a>1</a>"},
        ExtractCase{"EmptyTag", E, "<r><a/></r>", "a", kOK, "<a/>"},
        ExtractCase{"WithAttributes", E, "<r><a x='1'></a></r>", "a", kOK, "<a x='1'></a>"},
        ExtractCase{"SelfClosed", E, "<r><a x='1'/></r>", "a", kOK, "<a x='1'/>"},
        ExtractCase{"LoneStartTag", E, "<r><a x='1'>1</r>", "a", kOK, "<a x='1'>"},
        ExtractCase{"QuotedGreaterThan", E, "<r><a x='>'>1</a></r>", "a", kOK, "<a x='>'>1</a>"},
        ExtractCase{"EndTagBeforeStartIgnored", E, "</a><r><a>1</a></r>", "a", kOK, "<a>1</a>"},
        ExtractCase{"TwoForms", E, "<r><a>1</a><a/></r>", "a", kScanElementNotUnique, ""},
        ExtractCase{"Twice", E, "<r><a>1</a><a>2</a></r>", "a", kScanElementNotUnique, ""},
        ExtractCase{"AttributeFormTwice", E, "<a x='1'/><a y='2'/>", "a", kScanElementNotUnique,
                    ""},
        ExtractCase{"Absent", E, "<r><b/></r>", "a", kScanElementNotFound, ""},
        ExtractCase{"LongerName", E, "<r><ab>1</ab><a:b/></r>", "a", kScanElementNotFound, ""},
        ExtractCase{"EmptyText", E, "", "a", kScanElementNotFound, ""},
        ExtractCase{"NoEndTag", E, "<r><a>1</r>", "a", kScanElementMalformed, ""},
        ExtractCase{"SecondEndTag", E, "<r><a>1</a></a></r>", "a", kScanElementMalformed, ""},
        ExtractCase{"EndTagWithSpace", E, "<a>1</a >", "a", kScanElementMalformed, ""},
        ExtractCase{"EndTagBehindEmptyTag", E, "<r><a/></a></r>", "a", kScanElementMalformed, ""},
        ExtractCase{"EndTagBehindSelfClosed", E, "<r><a x='1'/>2</a></r>", "a",
                    kScanElementMalformed, ""},
        ExtractCase{"StartTagNeverEnds", E, "<r><a x='1", "a", kScanElementMalformed, ""},
        ExtractCase{"StartTagEndsInItsEndTag", E, "<r><a x='</a>'>1</a></r>", "a",
                    kScanElementMalformed, ""},
        // A quote in the name, or a '>' in it, carries the start tag past the end tag.
        ExtractCase{"EndTagInsideAQuotedStartTag", E, "<b' x</b'>'>w", "b'", kOK, "<b' x</b'>"},
        ExtractCase{"EndTagInsideTheName", E, "<a>b </a>b>", "a>b", kOK, "<a>b </a>b>"},
        // The element's own text.
        ExtractCase{"TextJoined", D, "<r><a>x<b/>y<c d='1'/>z</a></r>", "a", kOK, "xyz"},
        ExtractCase{"NestedGoes", D, "<r><a>x<b>1</b>y</a></r>", "a", kOK, "xy"},
        ExtractCase{"TwoDeep", D, "<r><a>1<b>2<c>3</c>4</b>5</a></r>", "a", kOK, "15"},
        ExtractCase{"SiblingsOfOneName", D, "<r><a>1<b>2</b>3<b>4</b>5</a></r>", "a", kOK, "135"},
        ExtractCase{"ContentBehindAttributes", D, "<r><a lang='en'>hi</a></r>", "a", kOK, "hi"},
        ExtractCase{"SelfClosedIsEmpty", D, "<r><a lang='en'/></r>", "a", kOK, ""},
        ExtractCase{"EmptyTagIsEmpty", D, "<r><a/></r>", "a", kOK, ""},
        ExtractCase{"LoneStartTagIsEmpty", D, "<r><a x='1'>text</r>", "a", kOK, ""},
        ExtractCase{"OrphanEndTagStays", D, "<r><a>x</b>y</a></r>", "a", kOK, "x</b>y"},
        ExtractCase{"NoEntityDecoding", D, "<r><a>a&amp;b &#x9;</a></r>", "a", kOK,
                    "a&amp;b &#x9;"},
        ExtractCase{"NamelessTagWithAttributes", D, "<r><a>x< y='1'>z</a></r>", "a", kOK, "xz"},
        ExtractCase{"NestedNoEndTag", D, "<r><a>x<b>1</a></r>", "a", kScanNestedElementError, ""},
        ExtractCase{"NestedEmptyTagThenEndTag", D, "<r><a>1<b/>2</b>3</a></r>", "a",
                    kScanNestedElementError, ""},
        ExtractCase{"NestedWithTwoEndTags", D, "<r><a>1<b x='1'>2</b>3</b>4</a></r>", "a",
                    kScanNestedElementError, ""},
        ExtractCase{"NestedNameToTheEnd", D, "<r><a>x<b</a></r>", "a", kScanNestedElementError, ""},
        ExtractCase{"LessThanLast", D, "<r><a>x<</a></r>", "a", kScanNestedElementError, ""},
        ExtractCase{"NamelessPlainTag", D, "<r><a>x<>z</a></r>", "a", kScanNestedElementError, ""},
        ExtractCase{"ContentOfNegativeLength", D, "<b' x</b'>'>w", "b'", kScanElementMalformed,
                    ""},
        ExtractCase{"NameContentOfNegativeLength", D, "<a>b </a>b>", "a>b", kScanElementMalformed,
                    ""},
        ExtractCase{"NestedEndTagInsideItsStartTag", D, "<r><a>v<b' x</b'>'>w</a></r>", "a", kOK,
                    "v'>w"},
        ExtractCase{"OuterFailurePassedOn", D, "<r><a>1</a><a/></r>", "a", kScanElementNotUnique,
                    ""},
        // Attributes of the first tag.
        ExtractCase{"SecondAttribute", A, "<d a='1' b='2'>", "b", kOK, "2"},
        ExtractCase{"EmptyValue", A, "<d b=''>", "b", kOK, ""},
        ExtractCase{"ApostropheInDoubleQuotes", A, "<d b=\"it's\">", "b", kOK, "it's"},
        ExtractCase{"DoubleQuotesInApostrophes", A, "<d b='\"hi\"'>", "b", kOK, "\"hi\""},
        ExtractCase{"NoEntityDecodingInValue", A, "<d b='a&amp;b'>", "b", kOK, "a&amp;b"},
        ExtractCase{"FirstTagOnly", A, "<d b='1'/><e b='2'/>", "b", kOK, "1"},
        ExtractCase{"UnclosedTag", A, "<d b='x' c='y'", "b", kOK, "x"},
        ExtractCase{"InsideQuotedValue", A, "<d a='x b=3'>", "b", kScanAttributeNotFound, ""},
        ExtractCase{"OfALaterTag", A, "<d a='1'><e b='2'>", "b", kScanAttributeNotFound, ""},
        ExtractCase{"QuotedLessThanEndsTag", A, "<d a='<' b='1'>", "b", kScanAttributeNotFound, ""},
        ExtractCase{"LongerNames", A, "<d xb='1' b2='2'>", "b", kScanAttributeNotFound, ""},
        ExtractCase{"AttributeInEmptyText", A, "", "b", kScanAttributeNotFound, ""},
        ExtractCase{"AttributeTwice", A, "<d b='1' b='2'>", "b", kScanAttributeNotUnique, ""},
        ExtractCase{"TwiceBeatsNoQuote", A, "<d b=2 b='1'>", "b", kScanAttributeNotUnique, ""},
        ExtractCase{"Unquoted", A, "<d b=1>", "b", kScanAttributeMalformed, ""},
        ExtractCase{"LessThanInValue", A, "<d b='a<c'>", "b", kScanAttributeMalformed, ""},
        ExtractCase{"NoClosingQuote", A, "<d b='1>", "b", kScanAttributeMalformed, ""}),
    [](const testing::TestParamInfo<ExtractCase>& info) { return info.param.behaviour; });

TEST(Extraction, LeavesAnOutputInUseUntouched) {
  char text[] = "<a b='1'/>";
  char existing[] = "caller's";
  char* out = existing;
  EXPECT_EQ(ExtractUniqueElement(text, "a", &out), kScanElementMalformed);
  EXPECT_EQ(ExtractUniqueElementData(text, "a", &out), kScanElementMalformed);
  EXPECT_EQ(ExtractUniqueAttribute(text, "b", &out, 0), kScanAttributeMalformed);
  EXPECT_EQ(out, existing);
}

TEST(Extraction, AttributeFlagOneOnlyReportsWhetherTheAttributeOccurs) {
  char present[] = "'1' b='2'>";
  char absent[] = "'1'> b='2'";
  char* out = nullptr;
  EXPECT_EQ(ExtractUniqueAttribute(present, "b", &out, 1), kScanAttributeNotUnique);
  EXPECT_EQ(ExtractUniqueAttribute(absent, "b", &out, 1), kScanAttributeNotFound);
  EXPECT_EQ(out, nullptr);
}

TEST(Extraction, InputsAreNeverModified) {
  std::string text = "<r><a x='1' b='2'>t<c/>u</a></r>";
  const std::string before = text;
  EXPECT_EQ(Element(text.c_str(), "a").rc, kScanOK);
  EXPECT_EQ(ElementData(text.c_str(), "a").text, "tu");
  char* out = nullptr;
  EXPECT_EQ(ExtractUniqueAttribute(text.data() + 3, "b", &out, 0), kScanOK);
  tvpFree(reinterpret_cast<void**>(&out));
  EXPECT_EQ(text, before);
}

// Random texts from tag-like pieces, so that nested elements, stray brackets, quotes, empty
// names and orphan end tags meet in every combination.
std::string RandomText(std::mt19937& random) {
  static const char* const kPieces[] = {
      "<a>",       "</a>", "<a/>", "<a ", "<b>", "</b>",  "<b/>",        "<b ", "<c>",  "</c>",
      "<c x='1'>", "<",    ">",    "/",   "/>",  "'",     "\"",          "x",   "y",    " ",
      "=",         "< ",   "<>",   "</>", "b<",  "</ b>", "<b y=\"<\">", "</c", "<b'>", "</b'>",
      "<b' ",      "'>",   " b='", " b=\"1\"", " x=''"};
  std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> count(0, 14);
  std::string text = "<r>";
  for (int i = count(random); i > 0; --i) text += kPieces[piece(random)];
  return text + "</r>";
}

TEST(Extraction, AgreesWithTheLiteralStepsOnRandomTexts) {
  std::mt19937 random(20240517);
  int extracted = 0;
  int withNested = 0;
  int attributes = 0;
  for (int i = 0; i < 40000; ++i) {
    const std::string text = RandomText(random);
    for (const char* name : {"r", "a", "b", "c", "b'"}) {
      const LiteralResult element = LiteralElement(text, name);
      const TextResult actualElement = Element(text.c_str(), name);
      ASSERT_EQ(actualElement.rc, element.rc) << text << " for " << name;
      ASSERT_EQ(actualElement.text, element.text) << text << " for " << name;

      const LiteralResult expected = LiteralElementData(text, name);
      const TextResult actual = ElementData(text.c_str(), name);
      ASSERT_EQ(actual.rc, expected.rc) << text << " for " << name;
      ASSERT_EQ(actual.text, expected.text) << text << " for " << name;
      if (actual.rc == kScanOK) {
        ++extracted;
        withNested += std::count(element.text.begin(), element.text.end(), '<') > 2;
      }
    }
    // Attributes of the tag at each '<'.
    for (size_t lt = text.find('<'); lt != std::string::npos; lt = text.find('<', lt + 1)) {
      for (const char* name : {"b", "x"}) {
        const LiteralResult expected = LiteralAttribute(text.substr(lt), name);
        const TextResult actual = Attribute(text.c_str() + lt, name);
        ASSERT_EQ(actual.rc, expected.rc) << text.substr(lt) << " for " << name;
        ASSERT_EQ(actual.text, expected.text) << text.substr(lt) << " for " << name;
        attributes += actual.rc == kScanOK;
      }
    }
  }
  // The comparison is only worth something if many texts got through, nested elements included.
  EXPECT_GT(extracted, 5000);
  EXPECT_GT(withNested, 1000);
  EXPECT_GT(attributes, 5000);
}

}  // namespace

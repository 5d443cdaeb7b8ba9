// Whitespace normalisation.
#include <gtest/gtest.h>

#include <random>

#include "literal_model.h"
#include "scanner_test_support.h"

namespace {

struct TrimCase {
  const char* behaviour;
  const char* text;
  const char* expected;
};

class TrimXmlWsTest : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimXmlWsTest, Normalises) {
  const TextResult result = Trim(GetParam().text);
  EXPECT_EQ(result.rc, kScanOK);
  EXPECT_EQ(result.text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimXmlWsTest,
    testing::Values(
        TrimCase{"EmptyTextStaysEmpty", "", ""},
        TrimCase{"LeadingWhitespaceBeforeATagGoes", "  <a>", "<a>"},
        TrimCase{"OnlyWhitespaceBecomesOneSpace", "   \t\n ", " "},
        TrimCase{"ElementTextIsCollapsedAndTrimmed", "<a>  x   y  </a>", "<a>x y</a>"},
        TrimCase{"SpacesAroundSeparatorsInATagGo", "<x:a  b = 'v  w' />", "<x:a b='v  w'/>"},
        TrimCase{"SpaceBeforeTheClosingBracketStays", "< / a : b = '1' >", "</a:b='1' >"},
        TrimCase{"StartTagWithTrailingSpaceIsUnchanged", "<a >", "<a >"},
        TrimCase{"EndTagWithTrailingSpaceIsUnchanged", "</a >", "</a >"},
        TrimCase{"QuotedTabCrLfBecomeThreeSpaces", "<a b='x\t\r\ny'>", "<a b='x   y'>"},
        TrimCase{"ApostropheInTextKeepsSpacesUntilTheNextTag", "<a>it's   ok </a>",
                 "<a>it's   ok</a>"},
        TrimCase{"LessThanEndsQuotesAndDropsTheSpaceBeforeIt", "<a b='x <c>", "<a b='x<c>"},
        TrimCase{"TextWithoutTagsKeepsOneTrailingSpace", "a   b  ", "a b "},
        TrimCase{"SeparatorsInElementTextDoNotAllowASpace", "<a>x : y = z / w</a>",
                 "<a>x :y =z /w</a>"},
        TrimCase{"SeparatorOutsideAnyTag", "a :  b", "a :b"},
        TrimCase{"GreaterThanOutsideATagChangesNothing", ">  x", "> x"},
        TrimCase{"FormFeedAndVerticalTabAreOrdinaryBytes", "<a>\f \v</a>", "<a>\f \v</a>"},
        TrimCase{"HighBytesAreOrdinary", "\xC3\xA9  \t\xC3\xA9", "\xC3\xA9 \xC3\xA9"},
        TrimCase{"WrappedStartTagBecomesOneLine",
                 "<rdf:Description\r\n   tvp:a=\"1\"\r\n   tvp:b=\"2\"/>",
                 "<rdf:Description tvp:a=\"1\" tvp:b=\"2\"/>"},
        TrimCase{"TheOtherQuoteInsideQuotesIsPlain", "<a b=\"it's  \" c='x \"y'>",
                 "<a b=\"it's  \" c='x \"y'>"},
        TrimCase{"UnclosedQuoteKeepsAllWhitespaceToTheEnd", "<a>'  x\n\ny", "<a>'  x  y"},
        TrimCase{"GreaterThanInQuotesDoesNotCloseTheTag", "<a b='>' / >", "<a b='>'/>"},
        TrimCase{"WhitespaceBetweenTagsGoes", "<a>\r\n  <b/>\r\n</a>", "<a><b/></a>"}),
    [](const testing::TestParamInfo<TrimCase>& info) { return info.param.behaviour; });

TEST(TrimXmlWs, RefusesAnOutputInUseWithoutAllocating) {
  char existing[] = "caller's";
  char* out = existing;
  AllocationFaults counting(0);
  EXPECT_EQ(TrimXmlWs("<a> x </a>", &out), kScanTrimOutputInUse);
  EXPECT_EQ(out, existing);
  EXPECT_EQ(AllocationFaults::calls(), 0);
  EXPECT_EQ(TrimXmlWs("<a/>", nullptr), kScanTrimOutputInUse);
}

TEST(TrimXmlWs, TreatsANullTextAsEmpty) {
  const TextResult result = Trim(nullptr);
  EXPECT_EQ(result.rc, kScanOK);
  EXPECT_EQ(result.text, "");
}

TEST(TrimXmlWs, ShortMemoryGivesNoOutputAndAFailedShrinkStillSucceeds) {
  const char* text = "<a>  spaced   out  </a>";
  const long allocations = ForEachAllocationFailure([&](long failAt) {
    const TextResult result = Trim(text);
    if (failAt == 1) {
      EXPECT_EQ(result.rc, kScanNoMemory);
      EXPECT_TRUE(result.isNull);
    } else {
      EXPECT_EQ(result.rc, kScanOK);  // the shrink may fail: the larger buffer serves
      EXPECT_EQ(result.text, "<a>spaced out</a>");
    }
  });
  EXPECT_EQ(allocations, 2);
}

TEST(TrimXmlWs, AgreesWithTheByteAtATimeStateMachineOnRandomTexts) {
  static const char kBytes[] = "\t\n\r  \"'/:=<>ab\f\x80";
  std::mt19937 random(7);
  std::uniform_int_distribution<size_t> pick(0, sizeof(kBytes) - 2);
  std::uniform_int_distribution<size_t> length(0, 40);
  for (int i = 0; i < 100000; ++i) {
    std::string text(length(random), ' ');
    for (char& c : text) c = kBytes[pick(random)];
    const TextResult result = Trim(text.c_str());
    ASSERT_EQ(result.rc, kScanOK);
    ASSERT_EQ(result.text, LiteralTrim(text)) << testing::PrintToString(text);
  }
}

}  // namespace

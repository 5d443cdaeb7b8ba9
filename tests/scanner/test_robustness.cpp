// Short memory on every allocation, and large or hostile inputs.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "literal_model.h"
#include "scanner_test_support.h"
#include "ticket_packets.h"

namespace {

struct SchemaValidator {
  const char* schema;
  Validator validate;
  int itemCount;
};

const SchemaValidator kValidators[] = {{"tvp", tvpValidate, kTvpItemCount},
                                       {"ads", adsMLValidate, kAdsItemCount},
                                       {"gwg", gwgValidate, kGwgItemCount}};

// What a validator may hand back: only these codes, a list exactly on success, and each index
// of the schema at most once.
void ExpectWellFormedResult(const ScanResult& result, const SchemaValidator& validator) {
  EXPECT_TRUE(IsValidatorResultCode(result.rc)) << result.rc;
  EXPECT_EQ(result.listIsNull, result.rc != kScanOK);
  std::set<int> seen;
  for (const auto& [index, value] : result.nodes) {
    EXPECT_TRUE(index >= 1 && index <= validator.itemCount) << index;
    EXPECT_TRUE(seen.insert(index).second) << "index " << index << " twice";
  }
}

// --- Short memory -----------------------------------------------------------------------------

struct TextCall {
  const char* behaviour;
  TextResult (*extract)(const char* text, const char* name);
  std::string text;
  std::string name;
};

class TextFunctionUnderShortMemory : public testing::TestWithParam<TextCall> {};

TEST_P(TextFunctionUnderShortMemory, FailsCleanlyOrGivesTheSameResult) {
  const TextCall& c = GetParam();
  const TextResult expected = c.extract(c.text.c_str(), c.name.c_str());
  ASSERT_EQ(expected.rc, kScanOK);
  int failures = 0;
  ForEachAllocationFailure([&](long failAt) {
    const TextResult result = c.extract(c.text.c_str(), c.name.c_str());
    if (result.rc == kScanOK) {
      EXPECT_EQ(result.text, expected.text) << "allocation " << failAt;  // a shrink failed
    } else {
      ++failures;
      EXPECT_EQ(result.rc, kScanNoMemory) << "allocation " << failAt;
      EXPECT_TRUE(result.isNull);
    }
  });
  EXPECT_GT(failures, 0);
}

TextResult TrimOnly(const char* text, const char*) { return Trim(text); }
const std::string kLongName(200, 'n');  // too long for the patterns' inline buffer

INSTANTIATE_TEST_SUITE_P(
    Calls, TextFunctionUnderShortMemory,
    testing::Values(
        TextCall{"Trim", TrimOnly, " <a>  x </a> ", ""},
        TextCall{"Element", Element, "<r><a x='1'>v</a></r>", "a"},
        TextCall{"ElementLongName", Element, "<" + kLongName + ">v</" + kLongName + ">", kLongName},
        TextCall{"ElementData", ElementData, "<r><a>v</a></r>", "a"},
        TextCall{"ElementDataNested", ElementData, "<r><a>1<b>2</b>3<c/>4</a></r>", "a"},
        TextCall{"Attribute", Attribute, "<d a='1' b='2'>", "b"},
        TextCall{"AttributeLongName", Attribute, "<d " + kLongName + "='v'>", kLongName}),
    [](const testing::TestParamInfo<TextCall>& info) { return info.param.behaviour; });

struct ValidatorShortMemory {
  const char* behaviour;
  Validator validate;
  std::string text;
  int minNoMemory;    // at least this many failures reported as kScanNoMemory
  int minItemsError;  // at least this many as kScanItemsError (attribute pass); 0: none at all
};

class ValidatorUnderShortMemory : public testing::TestWithParam<ValidatorShortMemory> {};

// Each allocation fails in turn: the validator reports it (or, for a failed shrink, gives the
// same list), never a list that silently lacks a tag.
TEST_P(ValidatorUnderShortMemory, ReportsEveryFailure) {
  const ValidatorShortMemory& c = GetParam();
  const ScanResult expected = Scan(c.validate, c.text.c_str());
  ASSERT_EQ(expected.rc, kScanOK);
  int noMemory = 0;
  int itemsError = 0;
  ForEachAllocationFailure([&](long failAt) {
    const ScanResult result = Scan(c.validate, c.text.c_str());
    if (AllocationFaults::calls() < failAt) return;
    EXPECT_EQ(result.listIsNull, result.rc != kScanOK);
    if (result.rc == kScanOK) EXPECT_EQ(result.nodes, expected.nodes) << "allocation " << failAt;
    noMemory += result.rc == kScanNoMemory;
    itemsError += result.rc == kScanItemsError;
    EXPECT_TRUE(result.rc == kScanOK || result.rc == kScanNoMemory || result.rc == kScanItemsError)
        << result.rc;
  });
  EXPECT_GE(noMemory, c.minNoMemory);
  if (c.minItemsError == 0) EXPECT_EQ(itemsError, 0);
  EXPECT_GE(itemsError, c.minItemsError);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValidatorUnderShortMemory,
    testing::Values(
        // Head, normalised text, root copy, then per field its content and its node.
        ValidatorShortMemory{"ElementPass", tvpValidate, ElementPacket(SampleTicketValues(), 4000),
                             3 + 24 * 2, 0},
        ValidatorShortMemory{"NestedRemoval", tvpValidate,
                             "<rdf:RDF><tvp:remarks>a<b>1</b>c<d/></tvp:remarks></rdf:RDF>", 6, 0},
        // A failed copy or insertion of an attribute's value is an items error.
        ValidatorShortMemory{"AttributePass", tvpValidate,
                             CompactExportPacket(SampleTicketValues()), 3, 24 * 2},
        ValidatorShortMemory{"AdsML", adsMLValidate,
                             "<rdf:RDF><adsml-at:Remarks>r</adsml-at:Remarks></rdf:RDF>", 5, 0},
        ValidatorShortMemory{"Gwg", gwgValidate, "<rdf:RDF><d gwg-at:Destination='D'/></rdf:RDF>",
                             3, 2}),
    [](const testing::TestParamInfo<ValidatorShortMemory>& info) { return info.param.behaviour; });

// --- Large and hostile inputs ---------------------------------------------------------------

constexpr size_t kMegabyte = 1 << 20;

std::string Repeat(const std::string& piece, size_t size) {
  std::string text;
  text.reserve(size + piece.size());
  while (text.size() < size) text += piece;
  return text;
}

std::string Times(const std::string& piece, size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

constexpr size_t kSiblings = kMegabyte / 9;

std::string RandomBytes(size_t size, unsigned seed, const std::string& alphabet) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::string text(size, ' ');
  for (char& c : text) c = alphabet[pick(random)];
  return text;
}

std::string AllNonNulBytes() {
  std::string bytes;
  for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
  return bytes;
}

struct HostileText {
  const char* behaviour;
  std::string (*make)();
};

class HostileTextTest : public testing::TestWithParam<HostileText> {};

TEST_P(HostileTextTest, EveryValidatorAndTheTrimCopeWithIt) {
  const std::string text = GetParam().make();
  const TextResult trimmed = Trim(text.c_str());
  EXPECT_EQ(trimmed.rc, kScanOK);
  EXPECT_LE(trimmed.text.size(), text.size());
  for (const SchemaValidator& validator : kValidators) {
    ExpectWellFormedResult(Scan(validator.validate, text.c_str()), validator);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Megabyte, HostileTextTest,
    testing::Values(
        HostileText{"BinaryBytes", [] { return RandomBytes(kMegabyte, 1, AllNonNulBytes()); }},
        HostileText{"TagLikeBytes",
                    [] { return RandomBytes(kMegabyte, 2, "<>/='\" \n\tardfRDF:tvp"); }},
        HostileText{"NoTagAtAll", [] { return Repeat("plain text, no tag. ", kMegabyte); }},
        HostileText{"UnbalancedQuotes",
                    [] { return "<rdf:RDF a='" + Repeat("x \" y ", kMegabyte) + "</rdf:RDF>"; }},
        HostileText{"StrayBrackets", [] { return Repeat("<<>><<</>", kMegabyte); }},
        HostileText{"RootFullOfStrayBrackets",
                    [] { return "<rdf:RDF>" + Repeat("<<>><>< > /", kMegabyte) + "</rdf:RDF>"; }},
        HostileText{
            "ManyTagsWithAttributes",
            [] { return "<rdf:RDF>" + Repeat("<d a='1' b=\"2\"/>", kMegabyte) + "</rdf:RDF>"; }},
        HostileText{"ManyUnclosedStartTags",
                    [] { return "<rdf:RDF>" + Repeat("<tvp:x a='", kMegabyte) + "</rdf:RDF>"; }}),
    [](const testing::TestParamInfo<HostileText>& info) { return info.param.behaviour; });

std::string InRemarks(const std::string& content) {
  return "<rdf:RDF><tvp:remarks>" + content + "</tvp:remarks></rdf:RDF>";
}

struct LargeRemarks {
  const char* behaviour;
  std::string (*content)();
  int rc;
  std::string (*expected)();  // the remarks value; null when the remarks are left out
};

class LargeRemarksTest : public testing::TestWithParam<LargeRemarks> {};

TEST_P(LargeRemarksTest, NestedElementsAreRemovedInLinearTime) {
  const ScanResult result = Scan(tvpValidate, InRemarks(GetParam().content()).c_str());
  EXPECT_EQ(result.rc, GetParam().rc);
  if (GetParam().expected != nullptr) {
    ASSERT_EQ(result.nodes.size(), 1u);
    EXPECT_EQ(result.nodes[0].first, 24);
    EXPECT_EQ(result.nodes[0].second, GetParam().expected());
  } else {
    EXPECT_TRUE(result.nodes.empty());
  }
}

std::string DistinctlyNamedNesting() {
  std::string open, close;
  for (int i = 0; i < 40000; ++i) open += "<e" + std::to_string(i) + ">";
  for (int i = 40000; i-- > 0;) close += "</e" + std::to_string(i) + ">";
  return "before" + open + "inner" + close + "after";
}

INSTANTIATE_TEST_SUITE_P(
    Megabyte, LargeRemarksTest,
    testing::Values(
        LargeRemarks{"ManyEmptyElementsBeforeLongText",
                     [] { return Repeat("<b/>", kMegabyte / 2) + std::string(kMegabyte / 2, 'x'); },
                     kScanOK, [] { return std::string(kMegabyte / 2, 'x'); }},
        LargeRemarks{"ManySiblingsOfOneName", [] { return Times("<b>x</b>y", kSiblings); }, kScanOK,
                     [] { return std::string(kSiblings, 'y'); }},
        LargeRemarks{"DeepNestingOfDistinctNames", DistinctlyNamedNesting, kScanOK,
                     [] { return std::string("beforeafter"); }},
        LargeRemarks{"DeepNestingOfOneName",
                     [] { return Repeat("<b>", kMegabyte / 2) + Repeat("</b>", kMegabyte / 2); },
                     kScanOK, nullptr},
        LargeRemarks{"ManyOrphanEndTags", [] { return "<b/>" + Repeat("</c>", kMegabyte); },
                     kScanOK, [] { return Repeat("</c>", kMegabyte); }}),
    [](const testing::TestParamInfo<LargeRemarks>& info) { return info.param.behaviour; });

}  // namespace

// Schema scans: the three validators and their item scans.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "literal_model.h"
#include "scanner_test_support.h"
#include "ticket_packets.h"

namespace {

constexpr Validator T = tvpValidate, S = adsMLValidate, G = gwgValidate;

// Wraps the inner text in an rdf:RDF element.
std::string Root(const char* inner) { return std::string("<rdf:RDF>") + inner + "</rdf:RDF>"; }

struct FoundCase {
  const char* behaviour;
  Validator validate;
  std::string text;
  Nodes expected;
};

class ValidatorFindsTest : public testing::TestWithParam<FoundCase> {};

TEST_P(ValidatorFindsTest, ListsTheTagsInDiscoveryOrder) {
  const ScanResult result = Scan(GetParam().validate, GetParam().text.c_str());
  EXPECT_EQ(result.rc, kScanOK);
  EXPECT_FALSE(result.listIsNull);
  EXPECT_EQ(result.nodes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValidatorFindsTest,
    testing::Values(
        FoundCase{"EmptyRootGivesAHeadAlone", T, "<rdf:RDF/>", {}},
        FoundCase{"ElementTextCollapsedAndTrimmed",
                  T,
                  Root("\n <tvp:remarks>  val 1   x  </tvp:remarks>\n"),
                  {{24, "val 1 x"}}},
        FoundCase{"ElementsInTableOrderThenAttributes",
                  T,
                  Root("<rdf:Description tvp:remarks='r' tvp:jobid='j'/>"
                       "<tvp:email>e</tvp:email><tvp:ediorderid>o</tvp:ediorderid>"),
                  {{1, "o"}, {15, "e"}, {2, "j"}, {24, "r"}}},
        FoundCase{"AttributesByTagThenTableOrder",
                  T,
                  "<rdf:RDF tvp:phone='p'><a tvp:fax='f'/><b tvp:client='c' tvp:bleed='NO'/>"
                  "</rdf:RDF>",
                  {{14, "p"}, {22, "f"}, {3, "c"}, {20, "NO"}}},
        FoundCase{"ElementAnywhereInsideTheRoot",
                  T,
                  Root("<tvp:remarks>a<tvp:jobid>j</tvp:jobid></tvp:remarks>"),
                  {{2, "j"}, {24, "a"}}},
        FoundCase{"AttributesInsideSchemaElementsNotRead",
                  T,
                  Root("<tvp:remarks>a<d tvp:jobid='q'/></tvp:remarks>"),
                  {{24, "a"}}},
        FoundCase{
            "UnextractableNestingLeavesTheTagOut", T, Root("<tvp:remarks>a<b>c</tvp:remarks>"), {}},
        FoundCase{"LoneStartTagGivesAnEmptyValue", T, Root("<tvp:jobid a='1'>x"), {{2, ""}}},
        FoundCase{"NestedElementEndingInsideItsStartTag",
                  T,
                  Root("<tvp:jobid>v<b' x</b'>'>w</tvp:jobid>"),
                  {{2, "v'>w"}}},
        FoundCase{"OtherPrefixesNotMatched", T, Root("<x:jobid>1</x:jobid><d x:email='e'/>"), {}},
        FoundCase{"AttributeGluedToAQuoteUnseen", T, Root("<d a='1'tvp:jobid='2'/>"), {}},
        FoundCase{"GwgElement", G, Root("<gwg-at:Destination>D</gwg-at:Destination>"), {{1, "D"}}},
        FoundCase{"GwgAttribute", G, Root("<rdf:Description gwg-at:Destination='D'/>"), {{1, "D"}}},
        FoundCase{"AdsMLElementsAndAttributes",
                  S,
                  Root("<rdf:Description adsml-at:Bleed='YES' adsml-at:Color='4c'>"
                       "<adsml-at:Remarks>r</adsml-at:Remarks></rdf:Description>"),
                  {{21, "r"}, {10, "4c"}, {18, "YES"}}},
        FoundCase{"OtherSchemasIgnored",
                  S,
                  "<rdf:RDF tvp:jobid='j'><gwg-at:Destination>D</gwg-at:Destination></rdf:RDF>",
                  {}}),
    [](const testing::TestParamInfo<FoundCase>& info) { return info.param.behaviour; });

struct FailCase {
  const char* behaviour;
  Validator validate;
  std::string text;
  int rc;
};

class ValidatorFailsTest : public testing::TestWithParam<FailCase> {};

TEST_P(ValidatorFailsTest, ReportsTheFirstFailureWithoutAList) {
  const ScanResult result = Scan(GetParam().validate, GetParam().text.c_str());
  EXPECT_EQ(result.rc, GetParam().rc);
  EXPECT_TRUE(result.listIsNull);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValidatorFailsTest,
    testing::Values(
        FailCase{"EmptyText", T, "", kScanElementNotFound},
        FailCase{"NoRoot", T, "<x:xmpmeta><tvp:jobid>1</tvp:jobid></x:xmpmeta>",
                 kScanElementNotFound},
        FailCase{"RootTwice", T, Root("") + Root(""), kScanElementNotUnique},
        FailCase{"RootInTwoForms", G, "<rdf:RDF/><rdf:RDF a='1'/>", kScanElementNotUnique},
        FailCase{"RootWithoutEnd", S, "<rdf:RDF><x/>", kScanElementMalformed},
        FailCase{"RootWithSecondEndTag", T, Root("") + "</rdf:RDF>", kScanElementMalformed},
        FailCase{"ElementAndAttribute", T,
                 Root("<rdf:Description tvp:jobid='1'><tvp:jobid>2</tvp:jobid></rdf:Description>"),
                 kScanItemsError},
        FailCase{"AttributeForAFailedElement", T,
                 Root("<d tvp:remarks='x'/><tvp:remarks>a<b>c</tvp:remarks>"), kScanItemsError},
        FailCase{"ElementTwice", T, Root("<tvp:jobid>1</tvp:jobid><tvp:jobid>2</tvp:jobid>"),
                 kScanItemsError},
        FailCase{"AttributeTwiceInOneTag", T, Root("<d tvp:jobid='1' tvp:jobid='2'/>"),
                 kScanItemsError},
        FailCase{"AttributeInTwoTags", G,
                 Root("<d gwg-at:Destination='1'/><e gwg-at:Destination='2'/>"), kScanItemsError},
        FailCase{"UnquotedAttribute", T, Root("<d tvp:jobid=1/>"), kScanItemsError},
        FailCase{"AttributeWithoutClosingQuote", T, Root("<d tvp:jobid='1/>"), kScanItemsError},
        FailCase{"AttributeHoldingLessThan", S, Root("<d adsml-at:Color='a<b'/>"), kScanItemsError},
        FailCase{"ElementWithoutEndTag", T, Root("<tvp:jobid>x"), kScanItemsError},
        FailCase{"EndTagWithASpace", T, Root("<tvp:jobid>x</tvp:jobid >"), kScanItemsError},
        FailCase{"ElementWithSecondEndTag", G,
                 Root("<gwg-at:Destination>D</gwg-at:Destination></gwg-at:Destination>"),
                 kScanItemsError}),
    [](const testing::TestParamInfo<FailCase>& info) { return info.param.behaviour; });

Nodes SampleNodes() {
  const std::vector<std::string> values = SampleTicketValues();
  Nodes nodes;
  for (int field = 1; field <= kTvpItemCount; ++field) nodes.emplace_back(field, values[field]);
  return nodes;
}

TEST(TvpValidate, ReadsBothSerialisationsOfTheFullTicket) {
  const std::string compact = CompactExportPacket(SampleTicketValues());
  const std::string elements = ElementPacket(SampleTicketValues(), 31999);
  ASSERT_EQ(elements.size(), 31999u);
  for (const std::string& packet : {compact, elements}) {
    const ScanResult result = Scan(tvpValidate, packet.c_str());
    EXPECT_EQ(result.rc, kScanOK);
    EXPECT_EQ(result.nodes, SampleNodes());  // table order: elements, or one tag's attributes
  }
}

TEST(TvpValidate, ReusesAGivenHeadAndReleasesItOnFailure) {
  tvpData* list = nullptr;
  ASSERT_EQ(tvpDataCreate(&list), kScanOK);
  ASSERT_EQ(tvpDataInsert(list, 9, "stale"), kScanOK);
  list->tagValue = static_cast<char*>(std::malloc(4));  // a value a head must not carry
  tvpData* const head = list;
  EXPECT_EQ(tvpValidate("<rdf:RDF tvp:jobid='j'/>", &list), kScanOK);
  EXPECT_EQ(list, head);
  EXPECT_EQ(list->tagValue, nullptr);
  EXPECT_EQ(ReadNodes(list), (Nodes{{2, "j"}}));

  EXPECT_EQ(tvpValidate("no root here", &list), kScanElementNotFound);
  EXPECT_EQ(list, nullptr);  // LeakSanitizer checks that the head went too
}

TEST(Validators, RefuseANullListPointerAndTakeANullTextAsEmpty) {
  for (Validator validate : {T, S, G}) {
    EXPECT_EQ(validate("<rdf:RDF/>", nullptr), kScanNullNode);
    EXPECT_EQ(Scan(validate, nullptr).rc, kScanElementNotFound);
  }
}

TEST(Validators, NeverModifyTheirInput) {
  std::string packet = CompactExportPacket(SampleTicketValues());
  const std::string before = packet;
  EXPECT_EQ(Scan(tvpValidate, packet.c_str()).rc, kScanOK);
  EXPECT_EQ(packet, before);
}

TEST(ItemScans, FillANewOrGivenListAndFailOnANameRunningToTheEnd) {
  const struct {
    int (*scan)(char*, tvpData**);
    std::string text;
    Nodes expected;
  } scans[] = {{tvpExtractUniqueItems, Root("<tvp:jobid>j</tvp:jobid>"), {{2, "j"}}},
               {adsExtractUniqueItems, "<rdf:RDF adsml-at:Publication='P'/>", {{8, "P"}}},
               {gwgExtractUniqueItems, Root("<gwg-at:Destination/>"), {{1, ""}}}};
  for (const auto& s : scans) {
    std::string text = s.text;
    tvpData* list = nullptr;
    ASSERT_EQ(s.scan(text.data(), &list), kScanOK);
    EXPECT_EQ(ReadNodes(list), s.expected);
    ASSERT_EQ(tvpDataInsert(list, 5, "stale"), kScanOK);
    ASSERT_EQ(s.scan(text.data(), &list), kScanOK);
    EXPECT_EQ(ReadNodes(list), s.expected);

    text += "<rdf:Description";  // only reachable here: a validator's root always ends in '>'
    EXPECT_EQ(s.scan(text.data(), &list), kScanItemsError);
    EXPECT_EQ(list, nullptr);
  }
}

// Random packets from schema-like pieces: elements, attributes, doubled tags, nesting, stray
// quotes and brackets, over lines.
std::string RandomPacket(std::mt19937& random) {
  static const char* const kPieces[] = {
      "<rdf:RDF>", "</rdf:RDF>", "<rdf:RDF ", "<rdf:Description", "/>", ">", " tvp:jobid='1'",
      " tvp:remarks=\"r\"", " tvp:fax=x", " gwg-at:Destination='d'", "<tvp:jobid>", "</tvp:jobid>",
      "<tvp:remarks ", "</tvp:remarks>", "<b>", "</b>", "<c/>", "'", "\"", " ", "\n  ", "<", "text",
      " adsml-at:Color='c'", "<adsml-at:Color>",
      // Well-formed pieces, so that many packets get through and yield values.
      "<rdf:Description tvp:email='e' adsml-at:Bleed=\"NO\"/>", "<tvp:phone> p </tvp:phone>",
      "<adsml-at:Remarks>a<b/>r</adsml-at:Remarks>", "<gwg-at:Destination>D</gwg-at:Destination>",
      "<d tvp:brand='b' adsml-at:PrepressFax='f'>x</d>", "<tvp:theme t='1'/>"};
  std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> count(0, 8);
  std::string text = "<rdf:RDF>";
  for (int i = count(random); i > 0; --i) text += kPieces[piece(random)];
  return text + "</rdf:RDF>";
}

TEST(Validators, AgreeWithTheStepByStepScanOnRandomPackets) {
  const struct {
    Validator validate;
    const char (*rows)[kScanTagSize];
    int count;
  } schemas[] = {{T, tvpValidatorItems, kTvpItemCount},
                 {S, adsValidatoritems, kAdsItemCount},
                 {G, gwgValidatoritems, kGwgItemCount}};
  std::mt19937 random(4711);
  int withNodes = 0;
  for (int i = 0; i < 60000; ++i) {
    const std::string text = RandomPacket(random);
    for (const auto& schema : schemas) {
      const LiteralScan expected = LiteralValidate(text, schema.rows, schema.count);
      const ScanResult actual = Scan(schema.validate, text.c_str());
      ASSERT_EQ(actual.rc, expected.rc) << text;
      ASSERT_EQ(actual.nodes, expected.nodes) << text;
      withNodes += !actual.nodes.empty();
    }
  }
  EXPECT_GT(withNodes, 15000);  // many packets must actually yield values
}

TEST(TagTables, HoldTheSchemasNamesPaddedWithNul) {
  // Rows 1 to N, each the schema's prefix and a name; row 0 is the root, the rest are empty.
  const struct {
    const char (*rows)[kScanTagSize];
    int count;
    const char* prefix;
    std::vector<std::string> names;
  } tables[] = {
      {tvpValidatorItems, kTvpItemCount, "tvp:",
       {"ediorderid", "jobid", "client", "agency", "service", "advertiser", "firstpub", "location",
        "theme", "bwcolour", "fullcolour", "spotcolour", "contact", "phone", "email", "fixedsize",
        "mmwidth", "cwidth", "height", "bleed", "brand", "fax", "destination", "remarks"}},
      {adsValidatoritems, kAdsItemCount, "adsml-at:",
       {"PrimaryMaterialsID", "SellerPlacementID", "BuyerName", "CreatorName", "PrepressName",
        "AdvertiserName", "FirstPublication", "Publication", "ProductDescription", "Color",
        "ColorDescription", "PrepressContact", "PrepressTelephone", "PrepressEmail",
        "PrintFixedArea", "PrintWidthValue", "PrintHeightValue", "Bleed", "AdvertisedProduct",
        "PrepressFax", "Remarks"}},
      {gwgValidatoritems, kGwgItemCount, "gwg-at:", {"Destination"}}};
  for (const auto& table : tables) {
    ASSERT_EQ(table.names.size(), static_cast<size_t>(table.count)) << table.prefix;
    for (int row = 0; row < kScanTagRows; ++row) {
      const size_t length = strnlen(table.rows[row], kScanTagSize);
      ASSERT_LT(length, static_cast<size_t>(kScanTagSize)) << table.prefix << " row " << row;
      std::string expected;
      if (row == 0) expected = "rdf:RDF";
      if (row >= 1 && row <= table.count) expected = table.prefix + table.names[row - 1];
      EXPECT_EQ(std::string(table.rows[row], length), expected) << table.prefix << " row " << row;
      for (size_t i = length; i < kScanTagSize; ++i) EXPECT_EQ(table.rows[row][i], '\0');
    }
  }
}

}  // namespace

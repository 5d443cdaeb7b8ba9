// Value list nodes: creation, initialisation, insertion and release, for all three schemas.
#include <gtest/gtest.h>

#include "scanner_test_support.h"

namespace {

struct NodeFunctions {
  const char* schema;
  int (*init)(tvpData**);
  int (*create)(tvpData**);
  int (*insert)(tvpData*, int16_t, const char*);
};

class NodeFunctionsTest : public testing::TestWithParam<NodeFunctions> {};

TEST_P(NodeFunctionsTest, CreateMakesABareNodeOnlyIntoANullPointer) {
  tvpData* node = nullptr;
  ASSERT_EQ(GetParam().create(&node), kScanOK);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->tagIndex, 0);
  EXPECT_EQ(node->tagValue, nullptr);
  EXPECT_EQ(node->nextItem, nullptr);

  tvpData* const inUse = node;
  AllocationFaults counting(0);
  EXPECT_EQ(GetParam().create(&node), kScanNodeInUse);
  EXPECT_EQ(node, inUse);
  EXPECT_EQ(AllocationFaults::calls(), 0);
  DataRelease(&node);
}

TEST_P(NodeFunctionsTest, CreateReportsShortMemoryAndLeavesThePointerNull) {
  tvpData* node = nullptr;
  AllocationFaults faults(1);
  EXPECT_EQ(GetParam().create(&node), kScanNoMemory);
  EXPECT_EQ(node, nullptr);
}

TEST_P(NodeFunctionsTest, InitResetsWithoutFreeingAndRefusesANullNode) {
  char value[] = "kept by the caller";
  tvpData other{};
  tvpData node{5, value, &other};
  tvpData* pointer = &node;
  EXPECT_EQ(GetParam().init(&pointer), kScanOK);
  EXPECT_EQ(node.tagIndex, 0);
  EXPECT_EQ(node.tagValue, nullptr);
  EXPECT_EQ(node.nextItem, nullptr);

  tvpData* none = nullptr;
  EXPECT_EQ(GetParam().init(&none), kScanNullNode);
  EXPECT_EQ(none, nullptr);
}

TEST_P(NodeFunctionsTest, InsertLinksACopyDirectlyBehindTheGivenNode) {
  tvpData* head = nullptr;
  ASSERT_EQ(GetParam().create(&head), kScanOK);
  std::string value = "a";
  ASSERT_EQ(GetParam().insert(head, 1, value.c_str()), kScanOK);
  ASSERT_EQ(GetParam().insert(head->nextItem, 3, nullptr), kScanOK);
  ASSERT_EQ(GetParam().insert(head->nextItem, 2, ""), kScanOK);  // between 1 and 3
  value[0] = 'X';                                                // the node owns a copy
  EXPECT_EQ(ReadNodes(head), (Nodes{{1, "a"}, {2, ""}, {3, "<null>"}}));
  EXPECT_EQ(GetParam().insert(nullptr, 1, "x"), kScanNullInsertNode);
  DataRelease(&head);
}

TEST_P(NodeFunctionsTest, FailedInsertLeavesTheListAsItWas) {
  tvpData* head = nullptr;
  ASSERT_EQ(GetParam().create(&head), kScanOK);
  ASSERT_EQ(GetParam().insert(head, 1, "a"), kScanOK);
  const long allocations = ForEachAllocationFailure([&](long failAt) {
    const int rc = GetParam().insert(head, 2, "b");
    if (AllocationFaults::calls() < failAt) return;  // the run that failed nothing
    EXPECT_EQ(rc, kScanNoMemory) << "allocation " << failAt;
    EXPECT_EQ(ReadNodes(head), (Nodes{{1, "a"}}));
  });
  EXPECT_EQ(allocations, 2);  // the node and the copy of its value
  EXPECT_EQ(ReadNodes(head), (Nodes{{2, "b"}, {1, "a"}}));
  DataRelease(&head);
}

INSTANTIATE_TEST_SUITE_P(
    AllSchemas, NodeFunctionsTest,
    testing::Values(NodeFunctions{"tvp", tvpDataInit, tvpDataCreate, tvpDataInsert},
                    NodeFunctions{"ads", adsDataInit, adsDataCreate, adsDataInsert},
                    NodeFunctions{"gwg", gwgDataInit, gwgDataCreate, gwgDataInsert}),
    [](const testing::TestParamInfo<NodeFunctions>& info) { return info.param.schema; });

TEST(DataRelease, ReleasesWholeListsOrTheFollowersOfAHeadAndToleratesNull) {
  tvpData* list = nullptr;
  DataRelease(&list);
  EXPECT_EQ(list, nullptr);

  ASSERT_EQ(tvpDataCreate(&list), kScanOK);
  for (int i = 0; i < 200000; ++i) ASSERT_EQ(tvpDataInsert(list, 1, "v"), kScanOK);  // no recursion
  DataRelease(&list->nextItem);
  EXPECT_EQ(list->nextItem, nullptr);
  DataRelease(&list);  // a head alone
  EXPECT_EQ(list, nullptr);
}

TEST(TvpFree, FreesAndNullsAndToleratesNull) {
  void* block = std::malloc(16);
  tvpFree(&block);
  EXPECT_EQ(block, nullptr);
  tvpFree(&block);
  EXPECT_EQ(block, nullptr);
}

}  // namespace

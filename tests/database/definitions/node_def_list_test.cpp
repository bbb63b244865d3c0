#include "database/definitions/node_def_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/unit_library.h"
#include "tests/database/definitions/definition_test_support.h"

namespace {

using testing::ElementsAre;
using testing::UnorderedElementsAreArray;

class NodeDefListTest : public testing::Test {
 protected:
  void TearDown() override {
    nodes_.RemoveAll();
    other_.RemoveAll();
  }
  sNodeDef* Add(const sNodeDef& n) { return nodes_.AddCopy(n); }
  static std::vector<int32_t> Ids(const CNodeDefList& list) {
    std::vector<int32_t> ids;
    for (const sNodeDef* n : list) ids.push_back(n->id);
    return ids;
  }

  CNodeDefList nodes_, other_;
};

TEST_F(NodeDefListTest, LookUpsByNumberOriginAndSatellite) {
  Add(MakeNode(10001, 12, 1, 1.0, 0.0, 0.0));
  Add(MakeNode(2, 3, 1, 0.0, -0.0, 0.0));  // -0.0 is 0: an origin node
  sNodeDef sv = MakeNode(5, 5, 3, 0, 0, 0, /*type=*/5);
  sv.systemId = 40;
  Add(MakeNode(5, 6, 3, 0, 0, 0, /*type=*/2));  // same id, not a vehicle
  Add(sv);

  EXPECT_EQ(nodes_.FindIdByNumber(10012), 10001);
  EXPECT_EQ(nodes_.FindIdByNumber(30003), 2);
  EXPECT_EQ(nodes_.FindIdByNumber(10000), -1);
  EXPECT_EQ(nodes_.FindIdByNumber(-3), -1);
  EXPECT_TRUE(nodes_.IsOriginNode(2));
  EXPECT_FALSE(nodes_.IsOriginNode(10001));
  EXPECT_EQ(nodes_.FindOriginNodeOfObject(1)->id, 2);
  EXPECT_EQ(nodes_.CountOfObject(0), -1);

  EXPECT_EQ(nodes_.GetSatelliteSystemId(5), 40);
  EXPECT_EQ(nodes_.GetSatelliteSystemId(6), -1);
  EXPECT_EQ(nodes_.GetSatelliteSystemId(0), 0);
  for (int type : {20, 23, 33}) EXPECT_EQ(nodes_.FindSatelliteNode(40, type), 5);
  for (int type : {19, 24, 32, 34}) EXPECT_EQ(nodes_.FindSatelliteNode(40, type), -1);

  std::vector<std::string> names{"old"};
  std::vector<uint32_t> ids{7};
  nodes_.GetNamesAndIds(1, names, ids);
  EXPECT_THAT(names, ElementsAre("Node 10001", "Node 2"));
  EXPECT_THAT(ids, ElementsAre(10001u, 2u));
}

TEST_F(NodeDefListTest, NodesInLineUseTheToleranceOnTheOtherAxes) {
  Add(MakeNode(1, 1, 1, 0.0, 0.0, 0.0));
  Add(MakeNode(2, 2, 1, 5.0, 0.0009, -0.0009));  // in line along X
  Add(MakeNode(3, 3, 1, 7.0, 0.0011, 0.0));      // just outside
  Add(MakeNode(4, 4, 2, 9.0, 0.0, 0.0));         // another object
  Add(MakeNode(5, 5, 1, 3.0, 0.0, 0.0));

  EXPECT_EQ(nodes_.FindNodeInLine(1, 0)->id, 2);
  EXPECT_EQ(nodes_.CountNodesInLine(1, 0), 2);
  EXPECT_EQ(nodes_.CountNodesInLine(1, 1), 0);
  EXPECT_EQ(nodes_.FindNodeInLine(1, 1), nullptr);
  EXPECT_EQ(nodes_.FindNodeInLine(1, 3), nullptr);

  // The tolerance is 0.001 m in the survey unit: in feet node 3 is in line.
  const std::string unit = GetCurrentUnitName();
  const double factor = GetCurrentConvToMeters();
  SetUnitName(GetUnitName(2));
  SetConvToMeters(GetConvToMeters(2));
  EXPECT_EQ(nodes_.CountNodesInLine(1, 0), 3);
  SetUnitName(unit.c_str());
  SetConvToMeters(factor);
}

TEST_F(NodeDefListTest, AppendsSkipIdsAlreadyPresent) {
  other_.AddCopy(MakeNode(1, 1, 1, 0, 0, 0, 2));
  other_.AddCopy(MakeNode(2, 2, 1, 1, 0, 0, 3));
  other_.AddCopy(MakeNode(3, 3, 2, 0, 0, 0, 2));
  other_.AddCopy(MakeNode(1, 9, 2, 0, 0, 0, 2));  // a duplicate id

  EXPECT_TRUE(nodes_.AppendOfType(2, other_, false));
  EXPECT_THAT(Ids(nodes_), ElementsAre(1, 3));
  EXPECT_NE(nodes_.GetAt(0), other_.GetAt(0));
  EXPECT_TRUE(nodes_.AppendOfObject(1, other_, true));
  EXPECT_THAT(Ids(nodes_), ElementsAre(1, 3, 2));
  EXPECT_FALSE(nodes_.AppendOfObject(1, other_, true));
  EXPECT_FALSE(nodes_.AppendOfObject(0, other_, false));
  EXPECT_TRUE(nodes_.IsEmpty());

  // Borrowed pointers: found counts, even when nothing new is appended.
  CNodeDefList refs;
  EXPECT_TRUE(refs.AppendRefsOfObject(2, other_, false));
  EXPECT_THAT(Ids(refs), ElementsAre(3, 1));
  EXPECT_EQ(refs.GetAt(0), other_.GetAt(2));
  EXPECT_FALSE(refs.IsOwned(0));
  EXPECT_TRUE(refs.AppendRefsOfObject(2, other_, true));
  EXPECT_EQ(refs.GetCount(), 2);
  EXPECT_FALSE(refs.AppendRefsOfObject(7, other_, true));
  refs.RemoveAll();
  EXPECT_EQ(other_.GetCount(), 4);

  // From itself: nothing changes.
  EXPECT_FALSE(other_.AppendOfType(2, other_, false));
  EXPECT_TRUE(other_.AppendRefsOfObject(1, other_, false));
  EXPECT_EQ(other_.GetCount(), 4);

  CNodeDefList ofObject(2, &other_, false);
  EXPECT_THAT(Ids(ofObject), ElementsAre(3, 1));
  ofObject.CopyOfObject(1, &other_, true);
  EXPECT_THAT(Ids(ofObject), ElementsAre(3, 1, 1, 2));
  ofObject.CopyOfObject(1, &ofObject, false);
  EXPECT_EQ(ofObject.GetCount(), 4);
  ofObject.RemoveAll();
}

TEST_F(NodeDefListTest, SortByAxisFallsBackToTheNextAxisForLevelNodes) {
  Add(MakeNode(1, 1, 1, 2.0, 0.0, 0.0));
  Add(MakeNode(2, 2, 1, 1.0, 5.0, 0.0));
  Add(MakeNode(3, 3, 1, 1.0005, 4.0, 0.0));  // level with 2 on X
  Add(MakeNode(4, 4, 1, 1.0005, 4.0, 0.0));  // equal to 3
  Add(MakeNode(5, 5, 1, -1.0, 0.0, 0.0));

  EXPECT_EQ(nodes_.SortByAxis(0, true), 1);
  EXPECT_THAT(Ids(nodes_), ElementsAre(5, 3, 4, 2, 1));  // 3 and 4 keep their order
  EXPECT_EQ(nodes_.SortByAxis(0, false), 1);
  EXPECT_THAT(Ids(nodes_), ElementsAre(1, 2, 3, 4, 5));
  EXPECT_EQ(nodes_.SortByAxis(3, true), 0);

  // Level on every axis, the sort axis still decides by its raw values.
  nodes_.RemoveAll();
  Add(MakeNode(1, 1, 1, 1.0005, 4.0, 0.0));
  Add(MakeNode(2, 2, 1, 1.0, 4.0, 0.0));
  nodes_.SortByAxis(0, true);
  EXPECT_THAT(Ids(nodes_), ElementsAre(2, 1));
}

TEST_F(NodeDefListTest, SortByAxisEndsOnChainsOfNearTiesAndNaN) {
  // Offsets 0.0006 apart are level pair by pair but not end to end, so the
  // order is intransitive; a NaN compares with nothing.
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> step(0, 4);
  for (int round = 0; round < 200; ++round) {
    nodes_.RemoveAll();
    for (int i = 1; i <= 12; ++i) {
      double x = 0.0006 * step(rng), y = 0.0006 * step(rng), z = 0.0006 * step(rng);
      if (step(rng) == 0) y = std::numeric_limits<double>::quiet_NaN();
      Add(MakeNode(i, i, 1, x, y, z));
    }
    const std::vector<int32_t> before = Ids(nodes_);
    ASSERT_EQ(nodes_.SortByAxis(round % 3, round % 2 == 0), 1);
    EXPECT_THAT(Ids(nodes_), UnorderedElementsAreArray(before));
  }
}

}  // namespace

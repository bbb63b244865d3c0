// The special objects -2 (earth) and -1 (space) carry nodes and take part in
// observations and node links like any other object: every operation keyed
// by an object id, or following a node's object, must find them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "database/definitions/def_list_trees.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/height_def_list.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/record_block.h"
#include "tests/database/catalogue/payload_builder.h"
#include "tests/database/definitions/archive_test_support.h"
#include "tests/database/definitions/definition_test_support.h"
#include "tests/database/definitions/object_lists_test_support.h"
#include "tests/database/types/types_test_support.h"

namespace {

using zor::platform::ClassArchive;
using zor::platform::kTreeRoot;

template <typename List>
std::vector<int32_t> Ids(const List& list) {
  std::vector<int32_t> ids;
  for (const auto* r : list) ids.push_back(r->id);
  return ids;
}

void AddLink(CHdrList& header, int32_t a, int32_t b) {
  const std::vector<uint8_t> p = PayloadBuilder(112).Words(0, {a, b}).bytes();
  header.AddEntry(230, static_cast<uint32_t>(p.size()), p.data(), -1);
}

// Objects: the special one under test, then 1 and 2. Nodes 1 (#101,
// origin) and 2 (#102, variable) on the special object, 3 (#103, origin)
// and 4 (#104, constrained) on object 1, 5 (#105) on object 2.
class SpecialObjectTest : public testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    special_ = GetParam();
    objects_.AddCopy(MakeDefaultObject(special_));
    objects_.AddCopy(MakeDefaultObject(1));
    objects_.AddCopy(MakeDefaultObject(2));
    objects_.GetAt(0)->referenceNodeId = 2;
    nodes_.AddCopy(MakeNode(1, 101, special_, 0, 0, 0, /*type=*/2));
    nodes_.AddCopy(MakeNode(2, 102, special_, 5, 0, 0, /*type=*/4));
    nodes_.AddCopy(MakeNode(3, 103, 1, 0, 0, 0, /*type=*/2));
    nodes_.AddCopy(MakeNode(4, 104, 1, 2, 0, 0, /*type=*/3));
    nodes_.AddCopy(MakeNode(5, 105, 2, 0, 0, 0, /*type=*/2));
    // 1: special -> object 1; 2: object 1 -> special (from a moving node);
    // 3: inside the special object; 4: object 1 -> object 2.
    obs_.AddCopy(MakeObs(1, 1, /*system=*/7, /*type=*/1, /*from=*/2, /*to=*/3));
    obs_.AddCopy(MakeObs(2, 2, /*system=*/8, /*type=*/1, /*from=*/4, /*to=*/1));
    obs_.AddCopy(MakeObs(3, 3, /*system=*/9, /*type=*/2, /*from=*/2, /*to=*/1));
    obs_.AddCopy(MakeObs(4, 4, /*system=*/6, /*type=*/1, /*from=*/4, /*to=*/5));
  }
  void TearDown() override {
    objects_.RemoveAll();
    nodes_.RemoveAll();
    obs_.RemoveAll();
    outNodes_.RemoveAll();
    outObs_.RemoveAll();
    outObjects_.RemoveAll();
  }

  int32_t special_ = 0;
  CObjDefList objects_, outObjects_;
  CNodeDefList nodes_, outNodes_;
  CObsDefList obs_, outObs_;
  CHdrList header_;
};

TEST_P(SpecialObjectTest, NodeOperationsKeyedByObjectFindItsNodes) {
  outNodes_.CopyOfObject(special_, &nodes_, false);
  EXPECT_EQ(Ids(outNodes_), (std::vector<int32_t>{1, 2}));
  CNodeDefList constructed(special_, &nodes_, false);
  EXPECT_EQ(Ids(constructed), (std::vector<int32_t>{1, 2}));
  constructed.RemoveAll();

  outNodes_.RemoveAll();
  EXPECT_TRUE(outNodes_.AppendOfObject(special_, nodes_, false));
  EXPECT_EQ(Ids(outNodes_), (std::vector<int32_t>{1, 2}));
  EXPECT_FALSE(outNodes_.AppendOfObject(special_, nodes_, true));  // already held
  outNodes_.RemoveAll();

  CNodeDefList refs;
  EXPECT_TRUE(refs.AppendRefsOfObject(special_, nodes_, false));
  ASSERT_EQ(refs.GetCount(), 2);
  EXPECT_EQ(refs.GetAt(0), nodes_.GetAt(0));  // borrowed, not copied
  refs.RemoveAll();  // frees only what it owns

  EXPECT_EQ(nodes_.FindOriginNodeOfObject(special_), nodes_.GetAt(0));

  std::vector<std::string> names;
  std::vector<uint32_t> ids;
  nodes_.GetNamesAndIds(special_, names, ids);
  EXPECT_EQ(names, (std::vector<std::string>{"Node 1", "Node 2"}));
  EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2}));

  // The one guard that stays: a count of an object id below 1 is -1.
  EXPECT_EQ(nodes_.CountOfObject(special_), -1);
}

TEST_P(SpecialObjectTest, NodeLinksCountForTheSpecialObject) {
  AddLink(header_, 104, 102);  // object 1 - special
  AddLink(header_, 101, 102);  // inside the special object: no count
  AddLink(header_, 101, 105);  // special - object 2
  EXPECT_EQ(nodes_.CountLinks(special_, header_), 2);
  EXPECT_EQ(nodes_.GetLinkedNodeId(special_, header_), 2);
  EXPECT_EQ(nodes_.GetLinkedNode(special_, header_), nodes_.GetAt(1));
  EXPECT_EQ(nodes_.CountLinks(1, header_), 1);

  EXPECT_EQ(objects_.CountLinkedObjects(special_, nodes_, header_), 2);
  EXPECT_TRUE(outObjects_.CollectLinkedObjects(1, objects_, nodes_, header_, false));
  EXPECT_EQ(Ids(outObjects_), (std::vector<int32_t>{special_}));
  EXPECT_TRUE(outObjects_.CollectLinkedObjects(special_, objects_, nodes_, header_, false));
  EXPECT_EQ(Ids(outObjects_), (std::vector<int32_t>{1, 2}));
  // The chain starts from real objects only, but takes the special object
  // in through its links.
  EXPECT_TRUE(outObjects_.CollectChain(objects_, nodes_, header_, false));
  EXPECT_EQ(Ids(outObjects_), (std::vector<int32_t>{1, special_, 2}));
}

TEST_P(SpecialObjectTest, ObservationCopiesFollowTheSpecialObjectsNodes) {
  obs_.CopyOfTypeOnObject(outObs_, nodes_, 1, special_);
  EXPECT_EQ(Ids(outObs_), (std::vector<int32_t>{1}));
  obs_.CopyOfTypeOnObject(outObs_, nodes_, 2, special_);
  EXPECT_EQ(Ids(outObs_), (std::vector<int32_t>{3}));
  obs_.CopyLeavingObject(outObs_, nodes_, special_);
  EXPECT_EQ(Ids(outObs_), (std::vector<int32_t>{1}));
  obs_.CopyEnteringObject(outObs_, nodes_, special_);
  EXPECT_EQ(Ids(outObs_), (std::vector<int32_t>{2}));
  obs_.CopyLeavingObject(outObs_, nodes_, 1);
  EXPECT_EQ(Ids(outObs_), (std::vector<int32_t>{2, 4}));
}

TEST_P(SpecialObjectTest, TreeShowsTheSpecialObjectsNodes) {
  FakeTree tree;
  EXPECT_EQ(AddObjectNodesToTree(nodes_, tree, kTreeRoot, special_, 10), 2);
  ASSERT_EQ(tree.Children(kTreeRoot).size(), 2u);
  EXPECT_EQ(tree.At(tree.Children(kTreeRoot)[0]).image, 11);  // type 2
  EXPECT_EQ(tree.At(tree.Children(kTreeRoot)[1]).image, 12);  // type 4
}

TEST_P(SpecialObjectTest, ReorderKeepsTheSpecialObjectsNodesInObjectOrder) {
  // Objects in the order special, 1, 2: the special object's nodes first,
  // its variable node kept.
  ASSERT_EQ(nodes_.ReorderNodes(objects_, 0, false), 1);
  EXPECT_EQ(Ids(nodes_), (std::vector<int32_t>{2, 1, 4, 3, 5}));

  // With the special object listed after object 1.
  CObjDefList reordered;
  reordered.AddCopy(*objects_.GetAt(1));
  reordered.AddCopy(*objects_.GetAt(0));
  ASSERT_EQ(nodes_.ReorderNodes(reordered, 0, true), 1);
  EXPECT_EQ(Ids(nodes_), (std::vector<int32_t>{3, 4, 1, 2, 5}));
  reordered.RemoveAll();
}

TEST_P(SpecialObjectTest, ObjectLookUpsFindTheSpecialObject) {
  sObjDef* special = objects_.GetAt(0);
  EXPECT_EQ(objects_.FindById(special_), nullptr);  // FindById keeps its guard
  EXPECT_EQ(objects_.FindObject(special_), special);
  EXPECT_EQ(objects_.FindObjectOfNode(1, nodes_), special);
  EXPECT_EQ(objects_.FindObjectOfSystem(7, obs_, nodes_), special);  // from node 2
  const sSysDef sys = MakeSys(9, 1);
  EXPECT_EQ(objects_.FindObjectOfSysDef(&sys, obs_, nodes_), special);
  EXPECT_EQ(objects_.GetReferenceNodeId(special_), 2);
  EXPECT_EQ(objects_.GetReferenceNode(special_, nodes_), nodes_.GetAt(1));
  EXPECT_EQ(objects_.GetKind(special_), special_ == -2 ? 101 : 102);
  EXPECT_EQ(nodes_.GetOriginNode(2, objects_), nodes_.GetAt(1));  // the reference node

  // Object 1 tows nothing into the special object's nodes but obs 2 runs
  // from object 1's constrained node to the special object.
  EXPECT_EQ(objects_.FindTowNode(special_, 1, nodes_, obs_), 4);
  EXPECT_TRUE(outObjects_.CollectTowedBy(special_, objects_, nodes_, obs_, false));
  EXPECT_EQ(Ids(outObjects_), (std::vector<int32_t>{1}));
  // Obs 3 runs from the special object's variable node to itself: no tow;
  // obs 1 ends on object 1 from the special object's variable node.
  EXPECT_TRUE(outObjects_.CollectTowedBy(1, objects_, nodes_, obs_, false));
  EXPECT_EQ(Ids(outObjects_), (std::vector<int32_t>{special_}));
}

TEST_P(SpecialObjectTest, AppliedSettingsReachTheSpecialObjects) {
  CObjDefList source;
  std::mt19937 rng(static_cast<uint32_t>(40 + special_));
  for (int32_t id : {-2, -1, 7}) {
    sObjDef o = RandomBytes<sObjDef>(rng);
    o.id = id;
    o.sharedMode = 1000 + id;
    o.squatModel = 2000 + id;
    source.AddCopy(o);
  }
  const std::string bytes = StoredArchive([&](ClassArchive& ar) { source.SaveSettings(ar); });
  CObjDefList target;
  for (int32_t id : {7, -1, -2}) target.AddCopy(MakeDefaultObject(id));
  LoadedArchive in(bytes);
  target.ApplySettings(in.archive(), true);
  for (int32_t id : {-2, -1, 7}) {
    const sObjDef* o = target.FindObject(id);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->sharedMode, 1000 + id) << id;
    EXPECT_EQ(o->squatModel, 2000 + id) << id;
  }
  source.RemoveAll();
  target.RemoveAll();
}

TEST_P(SpecialObjectTest, OlderHeightsSetTheSpecialObjectOfTheirSystem) {
  // An older height record of system 7, whose first observation starts on
  // the special object's variable node: sensor word 6 goes to 132.
  const std::pair<uint32_t, std::size_t> blocks[] = {{kBlockHeightDefinitionsOld24, 336},
                                                     {kBlockHeightDefinitionsOld25, 400},
                                                     {kBlockHeightDefinitionsOld28, 2368},
                                                     {kBlockHeightDefinitionsOld30, 3456}};
  for (const auto& [type, size] : blocks) {
    std::vector<uint8_t> old(size, 0);
    const int32_t words[][2] = {{0, 7}, {1, 70}, {82, 1}, {6, 66 + static_cast<int32_t>(type)}};
    for (const auto& w : words) std::memcpy(old.data() + 4 * w[0], &w[1], 4);
    ScratchDb db(DbBytes().Count(1).Block(type, old).bytes());
    ASSERT_TRUE(db.file().FindBlock(type));
    CHeightDefList heights;
    ASSERT_EQ(heights.LoadOlder(db.file(), type, objects_, obs_, nodes_), 1) << type;
    EXPECT_EQ(heights.GetCount(), 1);
    EXPECT_EQ(objects_.GetAt(0)->derivedSensorWords[0], 66 + static_cast<int32_t>(type)) << type;
    heights.RemoveAll();
  }
}

INSTANTIATE_TEST_SUITE_P(EarthAndSpace, SpecialObjectTest, testing::Values(-2, -1),
                         [](const testing::TestParamInfo<int32_t>& info) {
                           return info.param == -2 ? std::string("Earth") : std::string("Space");
                         });

// A linked object counts whether or not the list holds it.
TEST(CountLinkedObjectsTest, CountsDistinctLinkedObjectsOutsideTheList) {
  CObjDefList objects;
  objects.AddCopy(MakeDefaultObject(1));
  objects.AddCopy(MakeDefaultObject(2));
  CNodeDefList nodes;
  nodes.AddCopy(MakeNode(1, 101, 1, 0, 0, 0));
  nodes.AddCopy(MakeNode(2, 102, 2, 0, 0, 0));
  nodes.AddCopy(MakeNode(3, 103, 3, 0, 0, 0));  // object 3 is not listed
  nodes.AddCopy(MakeNode(4, 104, 3, 1, 0, 0));
  nodes.AddCopy(MakeNode(5, 105, 4, 0, 0, 0));  // nor is object 4
  CHdrList header;
  AddLink(header, 101, 103);
  AddLink(header, 104, 101);  // object 3 again
  AddLink(header, 101, 102);
  AddLink(header, 105, 101);
  EXPECT_EQ(objects.CountLinkedObjects(1, nodes, header), 3);
  EXPECT_EQ(objects.CountLinkedObjects(3, nodes, header), 1);
  EXPECT_EQ(objects.CountLinkedObjects(9, nodes, header), 0);
  objects.RemoveAll();
  nodes.RemoveAll();
}

}  // namespace

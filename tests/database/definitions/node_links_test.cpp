// Node look-ups through objects and the header list's node links and
// dredging records; the imaging observations and the system of a header
// record.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "database/definitions/hdr_list.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obj_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "tests/database/catalogue/payload_builder.h"
#include "tests/database/definitions/definition_test_support.h"

namespace {

std::vector<int32_t> Ids(const CNodeDefList& list) {
  std::vector<int32_t> ids;
  for (const sNodeDef* n : list) ids.push_back(n->id);
  return ids;
}

void AddRecord(CHdrList& header, int32_t recId, const std::vector<uint8_t>& payload) {
  header.AddEntry(recId, static_cast<uint32_t>(payload.size()), payload.data(), -1);
}

void AddLink(CHdrList& header, int32_t a, int32_t b) {
  AddRecord(header, 230, PayloadBuilder(112).Words(0, {a, b}).bytes());
}

class NodeLinksTest : public testing::Test {
 protected:
  void SetUp() override {
    // Object 1: nodes 1 (#101, origin) and 2 (#102); object 2: node 3 (#103);
    // node 10001 (#104) on object 2.
    nodes_.AddCopy(MakeNode(1, 101, 1, 0, 0, 0));
    nodes_.AddCopy(MakeNode(2, 102, 1, 1, 2, 3));
    nodes_.AddCopy(MakeNode(3, 103, 2, 4, 0, 0));
    nodes_.AddCopy(MakeNode(10001, 104, 2, 5, 0, 0));
  }
  void TearDown() override {
    nodes_.RemoveAll();
    out_.RemoveAll();
    objects_.RemoveAll();
  }
  void AddObjects(std::initializer_list<std::pair<int32_t, int32_t>> idAndReference) {
    for (auto [id, reference] : idAndReference) {
      sObjDef o = MakeDefaultObject(id);
      o.referenceNodeId = reference;
      objects_.AddCopy(o);
    }
  }

  CNodeDefList nodes_, out_;
  CObjDefList objects_;
  CHdrList header_;
};

TEST_F(NodeLinksTest, OriginNodeIsTheNodeItselfOrItsObjectsReference) {
  EXPECT_EQ(nodes_.GetOriginNode(2, objects_), nullptr);  // no objects
  AddObjects({{1, 1}, {2, 77}});
  EXPECT_EQ(nodes_.GetOriginNode(1, objects_), nodes_.GetAt(0));
  EXPECT_EQ(nodes_.GetOriginNode(2, objects_), nodes_.GetAt(0));
  EXPECT_EQ(nodes_.GetOriginNode(3, objects_), nullptr);  // reference node unknown
  EXPECT_EQ(nodes_.GetOriginNode(99, objects_), nullptr);
  EXPECT_EQ(nodes_.GetOriginNode(0, objects_), nullptr);
}

TEST_F(NodeLinksTest, ReorderGroupsNodesByObjectThenTypeAndDropsUnattachedMovingNodes) {
  nodes_.RemoveAll();
  nodes_.AddCopy(MakeNode(1, 1, 9, 5, 0, 0, /*type=*/0));
  nodes_.AddCopy(MakeNode(2, 2, 1, 3, 0, 0));
  nodes_.AddCopy(MakeNode(3, 3, 9, 1, 0, 0, /*type=*/3));  // constrained, unlisted object
  nodes_.AddCopy(MakeNode(4, 4, 2, 2, 0, 0));
  nodes_.AddCopy(MakeNode(5, 5, 1, 1, 0, 0));
  nodes_.AddCopy(MakeNode(6, 6, 9, 0, 0, 0, /*type=*/1));
  nodes_.AddCopy(MakeNode(7, 7, 9, 7, 0, 0, /*type=*/4));  // variable, unlisted object
  nodes_.AddCopy(MakeNode(8, 8, 9, 9, 0, 0, /*type=*/5));
  nodes_.AddCopy(MakeNode(9, 9, 9, 8, 0, 0, /*type=*/2));
  nodes_.AddCopy(MakeNode(10, 10, 9, -1, 0, 0, /*type=*/0));
  AddObjects({{2, 0}});
  EXPECT_EQ(nodes_.ReorderNodes(objects_, 0, true), 0);  // one object
  EXPECT_EQ(nodes_.GetCount(), 10);

  AddObjects({{1, 0}});
  ASSERT_EQ(nodes_.ReorderNodes(objects_, 0, true), 1);
  // Object 2, object 1 (by x), then types 2, 1, 5, 0 (each by x).
  EXPECT_EQ(Ids(nodes_), (std::vector<int32_t>{4, 5, 2, 9, 6, 8, 10, 1}));
  ASSERT_EQ(nodes_.ReorderNodes(objects_, 0, false), 1);
  EXPECT_EQ(Ids(nodes_), (std::vector<int32_t>{4, 2, 5, 9, 6, 8, 1, 10}));
  for (int32_t i = 0; i < nodes_.GetCount(); ++i) EXPECT_TRUE(nodes_.IsOwned(i));

  CNodeDefList single;
  single.AddCopy(MakeNode(1, 1, 1, 0, 0, 0));
  EXPECT_EQ(single.ReorderNodes(objects_, 0, true), 0);
  single.RemoveAll();
}

TEST_F(NodeLinksTest, LinksCountBetweenKnownNodesOnDifferentObjects) {
  EXPECT_EQ(nodes_.GetLinkedNodeId(1, header_), -1);  // no link at all
  EXPECT_EQ(nodes_.GetLinkedNode(1, header_), nullptr);
  EXPECT_EQ(nodes_.CountLinks(1, header_), 0);

  AddLink(header_, 101, 102);  // same object
  AddLink(header_, 102, 999);  // unknown node
  AddRecord(header_, 230, PayloadBuilder(4).Word(0, 103).bytes());  // cut short
  EXPECT_EQ(nodes_.GetLinkedNodeId(1, header_), 0);
  AddLink(header_, 103, 102);
  AddLink(header_, 101, 104);

  EXPECT_EQ(nodes_.GetLinkedNodeId(1, header_), 2);
  EXPECT_EQ(nodes_.GetLinkedNode(1, header_), nodes_.GetAt(1));
  EXPECT_EQ(nodes_.CountLinks(1, header_), 2);
  EXPECT_EQ(nodes_.GetLinkedNodeId(2, header_), 3);
  EXPECT_EQ(nodes_.CountLinks(2, header_), 2);
  EXPECT_EQ(nodes_.GetLinkedNodeId(3, header_), 0);
  EXPECT_EQ(nodes_.GetLinkedNodeId(0, header_), 0);
  EXPECT_EQ(nodes_.CountLinks(-1, header_), 0);
}

TEST_F(NodeLinksTest, CollectLinkedNodesByNumberOrId) {
  AddLink(header_, 101, 102);
  AddLink(header_, 103, 101);
  AddLink(header_, 101, 555);  // the other end is unknown
  AddLink(header_, 104, 103);
  AddLink(header_, 102, 101);  // node 2 again

  out_.AddCopy(MakeNode(50, 50, 1, 0, 0, 0));
  EXPECT_EQ(out_.CollectLinkedNodes(101, nodes_, header_, false), 1);
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{2, 3}));
  EXPECT_NE(out_.GetAt(0), nodes_.GetAt(1));  // copies

  EXPECT_EQ(out_.CollectLinkedNodes(10001, nodes_, header_, false), 1);  // an id
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{3}));
  EXPECT_EQ(out_.CollectLinkedNodes(104, nodes_, header_, true), 0);  // a number; 3 is held
  EXPECT_EQ(out_.CollectLinkedNodes(101, nodes_, header_, true), 1);
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(out_.CollectLinkedNodes(0, nodes_, header_, true), 0);
  EXPECT_EQ(out_.GetCount(), 2);
  EXPECT_EQ(out_.CollectLinkedNodes(0, nodes_, header_, false), 0);  // emptied all the same
  EXPECT_EQ(out_.GetCount(), 0);

  // Collecting from itself changes nothing.
  EXPECT_EQ(nodes_.CollectLinkedNodes(101, nodes_, header_, false), 0);
  EXPECT_EQ(nodes_.GetCount(), 4);
}

TEST_F(NodeLinksTest, DredgingNodesFollowTheDredgingRecordAndItsTools) {
  EXPECT_EQ(nodes_.CollectDredgingNodes(out_, -1, header_), 0);
  const auto dredging = [](int32_t id, int32_t a, int32_t b, int32_t tools) {
    return PayloadBuilder(200).Words(0, {id}).Words(2, {a, b}).Word(11, tools).bytes();
  };
  AddRecord(header_, 207, dredging(5, 101, 103, 0));
  AddRecord(header_, 207, dredging(6, 102, 999, 1));
  AddRecord(header_, 217, PayloadBuilder(200).Word(3, 104).bytes());
  AddRecord(header_, 217, PayloadBuilder(200).Word(3, 101).bytes());
  AddRecord(header_, 217, PayloadBuilder(8).bytes());  // too short for word 3

  out_.AddCopy(MakeNode(50, 50, 1, 0, 0, 0));
  EXPECT_EQ(nodes_.CollectDredgingNodes(out_, -1, header_), 2);
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(nodes_.CollectDredgingNodes(out_, 6, header_), 3);
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{2, 10001, 1}));
  EXPECT_EQ(nodes_.CollectDredgingNodes(out_, 7, header_), 0);
  EXPECT_EQ(out_.GetCount(), 0);

  EXPECT_EQ(nodes_.CollectDredgingNodes(nodes_, 5, header_), 4);  // into itself: unchanged
  EXPECT_EQ(nodes_.GetCount(), 4);
}

// ---- Imaging observations --------------------------------------------------------

TEST(DefListLookupsTest, ImagingObservationsAreMultibeamAndSidescanTypes) {
  CObsDefList obs;
  for (int32_t type : {50, 1, 62, 113, 74, 33, 73})
    obs.AddCopy(MakeObs(obs.GetCount() + 1, 1, /*system=*/1, type));
  obs.AddCopy(MakeObs(20, 1, /*system=*/2, 76));
  std::vector<int32_t> types;
  for (int32_t n = 1; const sObsDef* o = obs.FindNthImagingObs(1, n); ++n) types.push_back(o->type);
  EXPECT_EQ(types, (std::vector<int32_t>{50, 62, 113, 74, 73}));
  EXPECT_EQ(obs.FindNthImagingObs(2, 1)->id, 20);
  EXPECT_EQ(obs.FindNthImagingObs(1, 0), nullptr);
  EXPECT_EQ(obs.FindNthImagingObs(0, 1), nullptr);
  obs.RemoveAll();
}

// ---- The system of a header record ----------------------------------------------

sHdrEntry Entry(uint32_t recId, std::initializer_list<int32_t> words) {
  sHdrEntry e;
  e.recId = recId;
  e.payload = PayloadBuilder(4 * words.size()).Words(0, words).bytes();
  return e;
}

TEST(DefListLookupsTest, SystemIdOfHeaderReadsTheWordOfItsRecId) {
  CSysDefList systems;
  const std::vector<std::pair<std::vector<uint32_t>, int32_t>> table = {
      {{65}, 11},
      {{69, 77, 126, 138, 140, 141, 143, 147, 155, 157, 171, 173, 177, 185, 187, 189, 200, 207,
        248, 253, 256},
       0},
      {{174, 208, 209, 210, 212, 220, 221, 225, 231, 238, 240, 241, 243, 249, 251, 254, 257, 265,
        266},
       1},
      {{70, 217, 244, 245}, 2},
      {{78}, 3},
  };
  for (const auto& [recIds, word] : table) {
    for (uint32_t recId : recIds) {
      sHdrEntry e = Entry(recId, {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111});
      EXPECT_EQ(systems.GetSystemIdOfHeader(&e), 100 + word) << recId;
      e.payload.resize(4 * word);  // the word is not there
      EXPECT_EQ(systems.GetSystemIdOfHeader(&e), -1) << recId;
    }
  }
  for (uint32_t unlisted : {0u, 1u, 64u, 71u, 230u, 271u, 0xFFFFFFFFu}) {
    const sHdrEntry e = Entry(unlisted, {100, 101, 102, 103});
    EXPECT_EQ(systems.GetSystemIdOfHeader(&e), -1) << unlisted;
  }
  EXPECT_EQ(systems.GetSystemIdOfHeader(nullptr), -1);
}

TEST(DefListLookupsTest, SystemIdOfHeaderFindsSystemsByTypeAndLinks) {
  CSysDefList systems;
  const auto add = [&](int32_t id, int32_t type, int32_t l1, int32_t l2, int32_t l3) {
    sSysDef s = MakeSys(id, type);
    s.link1 = l1;
    s.link2 = l2;
    s.link3 = l3;
    systems.AddCopy(s);
  };
  add(1, 2, 7, 8, 9);
  add(2, 12, 7, 8, 9);
  add(3, 12, 7, 8, 10);
  add(4, 3, 7, 8, 0);
  add(5, 35, 7, 8, 0);
  add(6, 1, 5, 6, 0);
  add(7, 45, 0, 0, 0);
  add(8, 12, 1, 2, 3);
  const auto id = [&](uint32_t recId, std::initializer_list<int32_t> words) {
    const sHdrEntry e = Entry(recId, words);
    return systems.GetSystemIdOfHeader(&e);
  };
  EXPECT_EQ(id(73, {7, 8, 10}), 3);
  EXPECT_EQ(id(205, {7, 8, 9}), 2);
  EXPECT_EQ(id(205, {7, 8, 11}), -1);
  EXPECT_EQ(id(205, {7, 8}), -1);  // word 2 missing
  EXPECT_EQ(id(258, {0, 0, 1, 2, 3}), 8);
  EXPECT_EQ(id(128, {7, 8}), 1);
  EXPECT_EQ(id(195, {7, 8}), 1);
  EXPECT_EQ(id(202, {7, 9}), -1);
  EXPECT_EQ(id(260, {0, 7, 8}), 1);
  EXPECT_EQ(id(226, {0, 7, 8}), 4);
  EXPECT_EQ(id(219, {0, 7, 8}), 5);   // type 35
  EXPECT_EQ(id(219, {0, 5, 6}), 6);   // type 1
  EXPECT_EQ(id(234, {0, 7, 8}), -1);  // type 1 only
  EXPECT_EQ(id(234, {0, 5, 6}), 6);
  EXPECT_EQ(id(262, {0, 7}), 7);
  EXPECT_EQ(id(262, {0, 6}), -1);  // not of type 45
  systems.RemoveAll();
}

}  // namespace

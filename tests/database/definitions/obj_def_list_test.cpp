#include "database/definitions/obj_def_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "database/definitions/hdr_list.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/object_defaults.h"
#include "database/definitions/obs_def_list.h"
#include "platform/bytes.h"
#include "tests/database/definitions/definition_test_support.h"

namespace {

using zor::platform::FieldText;
using zor::platform::SetFieldText;

sObjDef Obj(int32_t id, int32_t kind, int32_t order = -1) {
  sObjDef o = MakeDefaultObject(id);
  o.kind = kind;
  o.displayOrder = order;
  SetFieldText(o.name, "Object " + std::to_string(id));
  return o;
}

std::vector<int32_t> Ids(const CObjDefList& list) {
  std::vector<int32_t> ids;
  for (const sObjDef* o : list) ids.push_back(o->id);
  return ids;
}

std::vector<int32_t> Orders(const CObjDefList& list) {
  std::vector<int32_t> orders;
  for (const sObjDef* o : list) orders.push_back(o->displayOrder);
  return orders;
}

// A header payload of 32-bit words.
std::vector<uint8_t> Words(std::initializer_list<int32_t> words, std::size_t size = 0) {
  std::vector<uint8_t> p(std::max(size, 4 * words.size()), 0);
  std::size_t at = 0;
  for (int32_t w : words) {
    std::memcpy(p.data() + at, &w, 4);
    at += 4;
  }
  return p;
}

void AddRecord(CHdrList& header, int32_t recId, const std::vector<uint8_t>& payload) {
  header.AddEntry(recId, static_cast<uint32_t>(payload.size()), payload.data(), -1);
}

class ObjDefListTest : public testing::Test {
 protected:
  void TearDown() override {
    for (CObjDefList* l : {&all_, &out_}) l->RemoveAll();
    nodes_.RemoveAll();
    obs_.RemoveAll();
  }
  static void Put(CObjDefList& list, std::initializer_list<sObjDef> objects) {
    for (const sObjDef& o : objects) list.AddCopy(o);
  }
  void Fill(std::initializer_list<sObjDef> objects) { Put(all_, objects); }

  CObjDefList all_, out_;
  CNodeDefList nodes_;
  CObsDefList obs_;
  CHdrList header_;
};

TEST(ObjectDefaultsTest, KindFollowsTheId) {
  EXPECT_EQ(MakeDefaultObject(250).kind, 1);
  EXPECT_EQ(MakeDefaultObject(-2).kind, 101);
  EXPECT_EQ(MakeDefaultObject(-1).kind, 102);
  EXPECT_EQ(MakeDefaultObject(7).kind, 0);
  EXPECT_EQ(MakeDefaultObject(300).kind, 2);
  EXPECT_EQ(MakeDefaultObject(499).kind, 3);
  EXPECT_EQ(MakeDefaultObject(500).kind, 0);
  EXPECT_EQ(MakeDefaultObject(199).kind, 0);
}

TEST(ObjectDefaultsTest, SharedSettingsStayConsistent) {
  sObjDef o = MakeDefaultObject(1);
  auto shared = [&](int32_t mode, int32_t word184) {
    o.sharedMode = mode;
    o.sharedWord184 = word184;
    o.sharedWord176 = 9;
    o.sharedValue180 = 2.5f;
    o.sharedFileFlags[3] = 1;
    SetFieldText(o.sharedFilePaths[2], "/data/shared.bin");
    NormaliseSharedSettings(o);
  };
  shared(2, 1);  // a valid mode and word: untouched
  EXPECT_EQ(o.sharedMode, 2);
  EXPECT_EQ(o.sharedWord176, 9);
  EXPECT_EQ(FieldText(o.sharedFilePaths[2]), "/data/shared.bin");

  shared(2, 7);  // word out of range: mode reset and the files cleared
  EXPECT_EQ(o.sharedMode, -1);
  EXPECT_EQ(o.sharedWord184, 0);
  EXPECT_EQ(o.sharedWord176, -1);
  EXPECT_EQ(o.sharedValue180, 0.0f);
  EXPECT_EQ(o.sharedFileFlags[3], 0u);
  EXPECT_EQ(FieldText(o.sharedFilePaths[2]), "");

  shared(-9, 2);  // -9 and -1 always clear the word
  EXPECT_EQ(o.sharedMode, -9);
  EXPECT_EQ(o.sharedWord184, 0);
  EXPECT_EQ(o.sharedFileFlags[3], 0u);
}

TEST_F(ObjDefListTest, MainObjectAndOrderIndices) {
  EXPECT_EQ(all_.GetMainObject(), nullptr);
  EXPECT_EQ(all_.GetMaxOrder(), INT_MIN);
  EXPECT_EQ(all_.GetMinOrder(), -1);

  Fill({Obj(-2, 101), Obj(5, 14), Obj(3, 10), Obj(1, 0)});
  EXPECT_EQ(all_.GetMainObject()->id, 1);
  all_.GetAt(3)->kind = 11;
  EXPECT_EQ(all_.GetMainObject()->id, 3);  // the first vessel
  all_.GetAt(2)->kind = 12;
  EXPECT_EQ(all_.GetMainObject()->id, -2);  // no vessel: the first object
  EXPECT_EQ(all_.FindFirstRealObject()->id, 5);
  EXPECT_EQ(all_.CountOfKind(12), 1);

  EXPECT_EQ(all_.GetMinOrder(), -1);  // all -1
  EXPECT_EQ(all_.GetMaxOrder(), -1);
  EXPECT_EQ(all_.FindByOrder(-1), nullptr);
  all_.GetAt(1)->displayOrder = 4;
  all_.GetAt(2)->displayOrder = 2;
  EXPECT_EQ(all_.GetMinOrder(), 2);
  EXPECT_EQ(all_.GetMaxOrder(), 4);
  EXPECT_EQ(all_.FindByOrder(2)->id, 3);
}

TEST_F(ObjDefListTest, AssignOrderKeepsValidUniqueIndices) {
  CObjDefList one;
  Put(one, {Obj(4, 0, 7)});
  one.AssignOrder();
  EXPECT_EQ(one.GetHead()->displayOrder, 0);
  one.RemoveAll();

  Fill({Obj(2, 14, 1), Obj(3, 14, 1), Obj(4, 14, 9)});
  all_.AssignOrder();
  EXPECT_EQ(Orders(all_), (std::vector<int32_t>{1, -1, -1}));
  all_.RemoveAll();

  // Nothing valid is left: the main object first, then list order.
  Fill({Obj(7, 14, -1), Obj(1, 0, 5), Obj(8, 14, -3)});
  all_.AssignOrder();
  EXPECT_EQ(Orders(all_), (std::vector<int32_t>{1, 0, 2}));
  all_.AssignOrder();  // stable once assigned
  EXPECT_EQ(Orders(all_), (std::vector<int32_t>{1, 0, 2}));
}

TEST_F(ObjDefListTest, LookUpsThroughNodesAndObservations) {
  Fill({Obj(1, 0), Obj(2, 14)});
  all_.GetAt(0)->referenceNodeId = 11;
  all_.GetAt(1)->referenceNodeId = 0;
  nodes_.AddCopy(MakeNode(10, 110, 2, 0, 0, 0, /*type=*/2));  // fixed: skipped
  nodes_.AddCopy(MakeNode(11, 111, 1, 0, 0, 0, /*type=*/4));
  nodes_.AddCopy(MakeNode(12, 112, 2, 0, 0, 0, /*type=*/3));
  obs_.AddCopy(MakeObs(1, 1, /*system=*/5, 1, /*from=*/10, 0));
  obs_.AddCopy(MakeObs(2, 2, 5, 1, /*from=*/99, 0));  // unknown node: skipped
  obs_.AddCopy(MakeObs(3, 3, 5, 1, /*from=*/12, 0));
  obs_.AddCopy(MakeObs(4, 4, 6, 1, /*from=*/11, 0));

  EXPECT_EQ(all_.FindObjectOfNode(12, nodes_)->id, 2);
  EXPECT_EQ(all_.FindObjectOfNode(99, nodes_), nullptr);
  EXPECT_EQ(all_.FindObjectOfSystem(5, obs_, nodes_)->id, 2);
  EXPECT_EQ(all_.FindObjectOfSystem(6, obs_, nodes_)->id, 1);
  EXPECT_EQ(all_.FindObjectOfSystem(0, obs_, nodes_), nullptr);  // no observation of it
  obs_.AddCopy(MakeObs(5, 5, /*system=*/0, 1, /*from=*/12, 0));
  EXPECT_EQ(all_.FindObjectOfSystem(0, obs_, nodes_)->id, 2);  // system 0 is a key
  const sSysDef sys = MakeSys(6, 10);
  EXPECT_EQ(all_.FindObjectOfSysDef(&sys, obs_, nodes_)->id, 1);
  EXPECT_EQ(all_.FindObjectOfSysDef(nullptr, obs_, nodes_), nullptr);

  EXPECT_TRUE(all_.IsReferenceNode(11));
  EXPECT_TRUE(all_.IsReferenceNode(0));  // object 2's reference node is 0
  EXPECT_FALSE(all_.IsReferenceNode(-1));
  EXPECT_EQ(all_.GetReferenceNode(1, nodes_)->id, 11);
  EXPECT_EQ(all_.GetReferenceNode(2, nodes_), nullptr);
  EXPECT_EQ(all_.GetReferenceNodeId(1), 11);
  EXPECT_EQ(all_.GetReferenceNodeId(3), -1);
  EXPECT_EQ(all_.GetKind(2), 14);
  EXPECT_EQ(all_.GetKind(0), -1);
  EXPECT_EQ(all_.FindById(0), nullptr);
}

TEST_F(ObjDefListTest, TowNodesAndTowingObjects) {
  Fill({Obj(1, 10), Obj(2, 14), Obj(3, 11)});
  nodes_.AddCopy(MakeNode(10, 110, 1, 0, 0, 0, /*type=*/4));
  nodes_.AddCopy(MakeNode(11, 111, 1, 0, 0, 0, /*type=*/2));
  nodes_.AddCopy(MakeNode(20, 120, 2, 0, 0, 0, /*type=*/2));
  nodes_.AddCopy(MakeNode(30, 130, 3, 0, 0, 0, /*type=*/3));
  obs_.AddCopy(MakeObs(1, 1, 5, 1, /*from=*/11, /*to=*/20));  // fixed node: no tow
  obs_.AddCopy(MakeObs(2, 2, 5, 1, 10, 20));
  obs_.AddCopy(MakeObs(3, 3, 5, 1, 30, 20));
  obs_.AddCopy(MakeObs(4, 4, 5, 1, 10, 99));  // unknown to-node

  // Searched in a list of candidate towing objects, which must not hold the
  // towed object itself.
  EXPECT_EQ(all_.FindTowNode(2, 0, nodes_, obs_), 0);
  CObjDefList towing;
  Put(towing, {Obj(1, 10), Obj(3, 11)});
  EXPECT_EQ(towing.FindTowNode(2, 0, nodes_, obs_), 10);
  EXPECT_EQ(towing.FindTowNode(2, 3, nodes_, obs_), 30);
  EXPECT_EQ(towing.FindTowNode(2, 4, nodes_, obs_), 0);   // not a candidate
  EXPECT_EQ(towing.FindTowNode(5, 0, nodes_, obs_), -1);  // nothing tows it
  towing.RemoveAll();

  EXPECT_TRUE(out_.CollectTowedBy(2, all_, nodes_, obs_, false));
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{1, 3}));
  EXPECT_FALSE(out_.CollectTowedBy(2, all_, nodes_, obs_, true));  // all held
  EXPECT_EQ(out_.GetCount(), 2);
  CObjDefList single;
  Put(single, {Obj(2, 14)});
  EXPECT_FALSE(out_.CollectTowedBy(2, single, nodes_, obs_, false));
  EXPECT_TRUE(out_.IsEmpty());
  single.RemoveAll();
  EXPECT_FALSE(all_.CollectTowedBy(2, all_, nodes_, obs_, false));  // into itself
  EXPECT_EQ(all_.GetCount(), 3);
}

TEST_F(ObjDefListTest, NodeLinksJoinObjects) {
  Fill({Obj(3, 11), Obj(1, 10), Obj(2, 14), Obj(-2, 101)});
  nodes_.AddCopy(MakeNode(10, 110, 1, 0, 0, 0));
  nodes_.AddCopy(MakeNode(20, 120, 2, 0, 0, 0));
  nodes_.AddCopy(MakeNode(30, 130, 3, 0, 0, 0));
  nodes_.AddCopy(MakeNode(40, 140, 1, 0, 0, 0));
  EXPECT_EQ(all_.CountLinkedObjects(1, nodes_, header_), 0);  // no links yet
  AddRecord(header_, 230, Words({110, 120}, 112));
  AddRecord(header_, 230, Words({140, 120}, 112));  // the same two objects
  AddRecord(header_, 230, Words({130, 110}, 112));
  AddRecord(header_, 230, Words({110, 140}, 112));  // within one object
  AddRecord(header_, 230, Words({110, 999}, 112));  // unknown node
  AddRecord(header_, 230, Words({}, 0));            // no words at all

  EXPECT_EQ(all_.CountLinkedObjects(1, nodes_, header_), 2);
  EXPECT_EQ(all_.CountLinkedObjects(2, nodes_, header_), 1);
  EXPECT_EQ(all_.CountLinkedObjects(0, nodes_, header_), 0);
  CObjDefList one;
  Put(one, {Obj(1, 10)});
  EXPECT_EQ(one.CountLinkedObjects(1, nodes_, header_), 0);

  EXPECT_TRUE(out_.CollectLinkedObjects(1, all_, nodes_, header_, false));
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{2, 3}));
  EXPECT_FALSE(one.CollectLinkedObjects(1, one, nodes_, header_, false));  // into itself
  EXPECT_EQ(one.GetCount(), 1);
  EXPECT_TRUE(one.CollectLinkedObjects(1, all_, nodes_, header_, true));
  EXPECT_EQ(Ids(one), (std::vector<int32_t>{1, 2, 3}));
  one.RemoveAll();

  // Each real object, then what is linked to it; earth and space stay out.
  EXPECT_TRUE(out_.CollectChain(all_, nodes_, header_, false));
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_FALSE(out_.CollectChain(all_, nodes_, header_, true));

  EXPECT_TRUE(out_.AppendOfKind(101, all_, true));
  EXPECT_EQ(Ids(out_), (std::vector<int32_t>{3, 1, 2, -2}));
  EXPECT_FALSE(out_.AppendOfKind(55, all_, false));
  EXPECT_TRUE(out_.IsEmpty());
}

TEST_F(ObjDefListTest, RefreshFromHeaderSetsKindsAndReferencePoints) {
  sObjDef vessel = Obj(1, 0);
  vessel.referencePointState = -1;
  vessel.squatModel = 5;
  vessel.value1360 = 0.0f;
  const int32_t sensors[10] = {1000001, 5, 2000000, 0, 0, 0, 0, 0, INT32_MAX, 1000005};
  std::memcpy(vessel.sensorWords, sensors, sizeof sensors);
  sObjDef towed = Obj(250, 0);
  towed.referencePointState = 3;
  towed.squatModel = 4;
  sObjDef tool = Obj(3, 0);
  sObjDef noSquat = Obj(4, 10);
  noSquat.squatModel = -1;
  sObjDef derived = Obj(5, 10);
  derived.derivedSensorWords[0] = 8;
  derived.sensorWords[0] = 1000001;
  Fill({vessel, towed, tool, noSquat, derived});

  float refValue = 2.5f;
  std::vector<uint8_t> ref = Words({1, 0, 0, 0});
  std::memcpy(ref.data() + 12, &refValue, 4);
  AddRecord(header_, 197, Words({99, 10}));  // another object's
  AddRecord(header_, 197, ref);
  AddRecord(header_, 197, Words({1, 14}));  // only the first counts
  AddRecord(header_, 197, Words({3, 12}));
  AddRecord(header_, 197, Words({4}));  // word 1 missing: read as 0
  AddRecord(header_, 213, Words({1, 0, 0, 0, 0, 0, 0, 77}));
  AddRecord(header_, 213, Words({4, 0, 0, 0, 0, 0, 0, 78}));
  all_.RefreshFromHeader(header_);

  const sObjDef& v = *all_.GetAt(0);
  EXPECT_EQ(v.kind, 0);
  EXPECT_EQ(v.referencePointState, 0);
  EXPECT_EQ(v.referencePointValue, 2.5);
  EXPECT_EQ(v.squatModel, 77);
  const int32_t expected[10] = {1000003, 2000002, INT32_MIN + 1, 1000007, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(v.derivedSensorWords, expected, sizeof expected), 0);
  EXPECT_EQ(v.value1360, 1000.0f);

  EXPECT_EQ(all_.GetAt(1)->kind, 1);  // by id
  EXPECT_EQ(all_.GetAt(1)->referencePointState, -1);
  EXPECT_EQ(all_.GetAt(1)->squatModel, -1);
  EXPECT_EQ(all_.GetAt(2)->kind, 12);  // from its reference point: no vessel
  EXPECT_EQ(all_.GetAt(2)->referencePointState, -1);
  EXPECT_EQ(all_.GetAt(3)->referencePointState, 0);
  EXPECT_EQ(all_.GetAt(3)->squatModel, -1);  // -1 is kept
  EXPECT_EQ(all_.GetAt(4)->derivedSensorWords[0], 8);
  EXPECT_EQ(all_.GetAt(4)->derivedSensorWords[1], 0);
}

TEST_F(ObjDefListTest, ShareSettingsCopiesTheSharedFieldsBounded) {
  EXPECT_EQ(all_.ShareSettings(nullptr), 0);
  Fill({Obj(1, 0), Obj(2, 14), Obj(3, 14)});
  EXPECT_EQ(all_.ShareSettings(nullptr), 0);  // no object shares anything

  sObjDef& src = *all_.GetAt(1);
  src.sharedMode = 2;
  src.sharedWord176 = 6;
  src.sharedValue180 = 1.5f;
  src.sharedWord184 = 1;
  src.sharedFileFlags[0] = 3;
  std::memset(src.sharedFilePaths[0], 'p', sizeof src.sharedFilePaths[0]);  // no terminator
  SetFieldText(src.sharedFilePaths[3], "/data/s.dat");
  src.sharedValue1384 = 4.0f;
  src.sharedWord1388 = 7;
  src.vesselObjectRef = 2;
  src.word1292 = 99;  // not a shared field
  const sObjDef before = src;

  ASSERT_EQ(all_.ShareSettings(nullptr), 1);
  EXPECT_EQ(std::memcmp(&src, &before, sizeof src), 0);
  for (int i : {0, 2}) {
    const sObjDef& o = *all_.GetAt(i);
    EXPECT_EQ(o.sharedMode, 2);
    EXPECT_EQ(o.sharedWord176, 6);
    EXPECT_EQ(o.sharedValue180, 1.5f);
    EXPECT_EQ(o.sharedWord184, 1);
    EXPECT_EQ(o.sharedFileFlags[0], 3u);
    EXPECT_EQ(FieldText(o.sharedFilePaths[0]), std::string(260, 'p'));
    EXPECT_EQ(FieldText(o.sharedFilePaths[3]), "/data/s.dat");
    EXPECT_EQ(o.sharedValue1384, 4.0f);
    EXPECT_EQ(o.sharedWord1388, 7);
    EXPECT_EQ(o.vesselObjectRef, 2);
    EXPECT_EQ(o.word1292, 5);
  }
  // An explicit source outside the list reaches every object.
  sObjDef outside = Obj(9, 0);
  outside.sharedMode = -9;
  EXPECT_EQ(all_.ShareSettings(&outside), 1);
  for (const sObjDef* o : all_) EXPECT_EQ(o->sharedMode, -9);
}

TEST_F(ObjDefListTest, NamesAndIdsAreBoundedAndSkipSpecialObjects) {
  Fill({Obj(-2, 101), Obj(4, 0), Obj(0, 0)});
  std::memset(all_.GetAt(1)->name, 'n', sizeof all_.GetAt(1)->name);  // no terminator
  std::vector<std::string> names{"old"};
  std::vector<uint32_t> ids{77};
  all_.GetNamesAndIds(names, ids);
  EXPECT_EQ(names, (std::vector<std::string>{std::string(36, 'n')}));
  EXPECT_EQ(ids, (std::vector<uint32_t>{4}));
}

}  // namespace

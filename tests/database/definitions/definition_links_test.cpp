#include "database/definitions/definition_links.h"

#include <vector>

#include <gtest/gtest.h>

#include "tests/database/types/types_test_support.h"

namespace {

class DefinitionLinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Node 1 lies on the pipe bundle (object 5), node 2 on the vessel (6),
    // node 3 on an object that is not listed.
    bundle_ = MakeObject(13);
    bundle_.id = 5;
    vessel_ = MakeObject(10);
    vessel_.id = 6;
    objects_ = {&vessel_, &bundle_};
    AddNode(1, 5);
    AddNode(2, 6);
    AddNode(3, 9);
    AddSystem(20, 5);   // gyro compass
    AddSystem(21, 38);  // bundle depth sensor
  }
  void TearDown() override {
    obs_.RemoveAll();
    nodes_.RemoveAll();
    systems_.RemoveAll();
  }
  void AddNode(int32_t id, int32_t objectId) {
    sNodeDef* node = nodes_.AddNew();
    node->id = id;
    node->objectId = objectId;
  }
  void AddSystem(int32_t id, int32_t type) {
    sSysDef* sys = systems_.AddNew();
    sys->id = id;
    sys->type = type;
  }
  sObsDef* AddObs(int32_t systemId, int32_t fromNode) {
    sObsDef* obs = obs_.AddNew();
    obs->id = obs_.GetCount();
    obs->systemId = systemId;
    obs->fromNodeId = fromNode;
    return obs;
  }

  sObjDef bundle_{}, vessel_{};
  std::vector<const sObjDef*> objects_;
  CObsDefList obs_;
  CNodeDefList nodes_;
  CSysDefList systems_;
};

TEST_F(DefinitionLinksTest, BundleByObjectOrBySystem) {
  const sObsDef* onBundle = AddObs(20, 1);
  const sObsDef* bundleSensor = AddObs(21, 2);
  const sObsDef* onVessel = AddObs(20, 2);
  const sObsDef* unlistedObject = AddObs(20, 3);
  const sObsDef* unknownSystem = AddObs(99, 2);
  EXPECT_TRUE(IsBundleObs(onBundle, objects_, nodes_, systems_));
  EXPECT_TRUE(IsBundleObs(bundleSensor, objects_, nodes_, systems_));
  EXPECT_FALSE(IsBundleObs(onVessel, objects_, nodes_, systems_));
  EXPECT_FALSE(IsBundleObs(unlistedObject, objects_, nodes_, systems_));
  EXPECT_FALSE(IsBundleObs(unknownSystem, objects_, nodes_, systems_));
  EXPECT_FALSE(IsBundleObs(nullptr, objects_, nodes_, systems_));
  // Any object id is found, the special objects' ids included.
  for (int32_t id : {0, -1, -2}) {
    bundle_.id = id;
    nodes_.FindById(1)->objectId = id;
    EXPECT_TRUE(IsBundleObs(onBundle, objects_, nodes_, systems_)) << id;
  }
}

TEST_F(DefinitionLinksTest, SystemObjectIsThatOfTheFirstKnownFromNode) {
  AddObs(21, 7);  // from-node not in the list: skipped
  AddObs(20, 1);
  AddObs(21, 2);
  sSysDef sys = MakeSys(38);
  sys.id = 21;
  EXPECT_EQ(GetSystemObjectId(&sys, &obs_, &nodes_), 6);
  sys.id = 20;
  EXPECT_EQ(GetSystemObjectId(&sys, &obs_, &nodes_), 5);
  sys.id = 22;
  EXPECT_EQ(GetSystemObjectId(&sys, &obs_, &nodes_), 0);
  sys.id = 0;
  EXPECT_EQ(GetSystemObjectId(&sys, &obs_, &nodes_), 0);
  EXPECT_EQ(GetSystemObjectId(nullptr, &obs_, &nodes_), -1);
  EXPECT_EQ(GetSystemObjectId(&sys, nullptr, &nodes_), -1);
  EXPECT_EQ(GetSystemObjectId(&sys, &obs_, nullptr), -1);
}

}  // namespace

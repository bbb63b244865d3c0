#include "database/definitions/definition_tree.h"

#include <gtest/gtest.h>

#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "database/types/type_vocabulary.h"
#include "platform/bytes.h"
#include "tests/database/types/types_test_support.h"

namespace {

using zor::platform::kNoTreeItem;
using zor::platform::kTreeRoot;
using zor::platform::TreeItem;

class DefinitionTreeTest : public ::testing::Test {
 protected:
  void TearDown() override {
    obs_.RemoveAll();
    systems_.RemoveAll();
  }
  sSysDef* AddSystem(int32_t id, int32_t type, const char* name) {
    sSysDef* sys = systems_.AddNew();
    sys->id = id;
    sys->type = type;
    zor::platform::SetFieldText(sys->name, name);
    return sys;
  }
  sObsDef* AddObs(int32_t systemId, int32_t type, const char* name) {
    sObsDef* obs = obs_.AddNew();
    obs->id = obs_.GetCount();
    obs->systemId = systemId;
    obs->type = type;
    zor::platform::SetFieldText(obs->name, name);
    return obs;
  }

  FakeTree tree_;
  CObsDefList obs_;
  CSysDefList systems_;
};

TEST_F(DefinitionTreeTest, SystemsWithTheirObservations) {
  const sSysDef* gyro = AddSystem(1, 5, "Gyro");
  AddSystem(2, 18, "Clock");        // time synchronisation: never shown
  AddSystem(3, 16, "Offsets");      // offset systems: skipped on request
  AddSystem(4, 1, "Echosounder");   // no observations: removed again
  const sObsDef* heading = AddObs(1, 11, "Heading");
  AddObs(2, 58, "Heartbeat");
  AddObs(3, 37, "dX");

  EXPECT_EQ(FillDefinitionTree(0, kTreeRoot, tree_, obs_, systems_, true), 1);
  const auto top = tree_.Children(kTreeRoot);
  ASSERT_EQ(top.size(), 1u);
  const FakeTree::Item& sysItem = tree_.At(top[0]);
  EXPECT_EQ(sysItem.text, "Gyro");
  EXPECT_EQ(sysItem.image, kSystemImageBase + 5);
  EXPECT_EQ(sysItem.selectedImage, sysItem.image);
  EXPECT_EQ(sysItem.data, reinterpret_cast<uintptr_t>(gyro));

  const auto children = tree_.Children(top[0]);
  ASSERT_EQ(children.size(), 1u);
  const FakeTree::Item& obsItem = tree_.At(children[0]);
  EXPECT_EQ(obsItem.text, "Heading");
  EXPECT_EQ(obsItem.image, kObsImageBase + GetObsTypeIcon(11));
  EXPECT_EQ(obsItem.data, reinterpret_cast<uintptr_t>(heading));
}

TEST_F(DefinitionTreeTest, OffsetSystemsShownUnlessSkipped) {
  AddSystem(3, 16, "Offsets");
  AddObs(3, 37, "dX");
  const TreeItem parent = tree_.InsertItem("Project", 0, 0, kTreeRoot);
  EXPECT_EQ(FillDefinitionTree(0, parent, tree_, obs_, systems_, false), 1);
  ASSERT_EQ(tree_.Children(parent).size(), 1u);
  EXPECT_EQ(tree_.At(tree_.Children(parent)[0]).text, "Offsets");
}

TEST_F(DefinitionTreeTest, ObservationModeAndUnknownModes) {
  AddObs(1, 113, "ADCP");
  AddObs(2, 14, "Unknown type");
  EXPECT_EQ(FillDefinitionTree(1, kTreeRoot, tree_, obs_, systems_, false), 2);
  const auto top = tree_.Children(kTreeRoot);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(tree_.At(top[0]).image, kObsImageBase + 81);
  EXPECT_EQ(tree_.At(top[1]).image, kObsImageBase);
  EXPECT_EQ(FillDefinitionTree(2, kTreeRoot, tree_, obs_, systems_, false), 0);
  EXPECT_EQ(tree_.Children(kTreeRoot).size(), 2u);
}

TEST_F(DefinitionTreeTest, ItemsOfSingleRecords) {
  sNodeDef node = MakeNode(4);
  zor::platform::SetFieldText(node.name, "Stern");
  const TreeItem item = InsertNodeTreeItem(tree_, kTreeRoot, &node, 100);
  EXPECT_EQ(tree_.At(item).text, "Stern");
  EXPECT_EQ(tree_.At(item).image, 102);
  EXPECT_EQ(InsertNodeTreeItem(tree_, kTreeRoot, nullptr, 100), kNoTreeItem);
  EXPECT_EQ(InsertObsTreeItem(tree_, kTreeRoot, nullptr, 0), kNoTreeItem);
  EXPECT_EQ(InsertSystemTreeItem(tree_, kTreeRoot, nullptr, 0), kNoTreeItem);
  // A parent the tree does not know refuses the item, and no data is set.
  sObsDef obs = MakeObs(1);
  EXPECT_EQ(InsertObsTreeItem(tree_, 999, &obs, 0), kNoTreeItem);
}

TEST_F(DefinitionTreeTest, SystemObservationsOfAnySystemId) {
  AddObs(0, 1, "Orphan");
  AddObs(7, 1, "Range");
  AddObs(-3, 1, "Negative");
  EXPECT_EQ(AddAllSystemObsToTree(obs_, tree_, kTreeRoot, 7, 0), 1);
  EXPECT_EQ(AddAllSystemObsToTree(obs_, tree_, kTreeRoot, 0, 0), 1);
  EXPECT_EQ(AddAllSystemObsToTree(obs_, tree_, kTreeRoot, -3, 0), 1);
  EXPECT_EQ(AddAllSystemObsToTree(obs_, tree_, kTreeRoot, 5, 0), 0);
  const auto children = tree_.Children(kTreeRoot);
  ASSERT_EQ(children.size(), 3u);
  EXPECT_EQ(tree_.At(children[0]).text, "Range");
  EXPECT_EQ(tree_.At(children[1]).text, "Orphan");
  EXPECT_EQ(tree_.At(children[2]).text, "Negative");
}

}  // namespace

#include "database/definitions/def_list_trees.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/types/type_vocabulary.h"
#include "tests/database/definitions/definition_test_support.h"
#include "tests/database/types/types_test_support.h"

namespace {

using zor::platform::kComboError;
using zor::platform::kTreeRoot;
using zor::platform::TreeItem;

// A combo box kept as a vector; `refuseFrom` makes AddString fail from that
// text count on, as a full control would.
class FakeCombo : public zor::platform::IComboBox {
 public:
  void ResetContent() override {
    items_.clear();
    selected_ = kComboError;
  }
  int AddString(std::string_view text) override {
    if (static_cast<int>(items_.size()) >= refuseFrom) return kComboError;
    items_.push_back({std::string(text), 0});
    return static_cast<int>(items_.size()) - 1;
  }
  bool SetItemData(int index, uintptr_t data) override {
    if (!Valid(index)) return false;
    items_[index].data = data;
    return true;
  }
  uintptr_t GetItemData(int index) const override { return Valid(index) ? items_[index].data : 0; }
  std::string GetItemText(int index) const override {
    return Valid(index) ? items_[index].text : std::string();
  }
  int SetCurSel(int index) override {
    selected_ = Valid(index) ? index : kComboError;
    return selected_;
  }
  int GetCurSel() const override { return selected_; }
  int GetCount() const override { return static_cast<int>(items_.size()); }

  int refuseFrom = 1000;

 private:
  struct Item {
    std::string text;
    uintptr_t data;
  };
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(items_.size()); }
  std::vector<Item> items_;
  int selected_ = kComboError;
};

class DefListTreesTest : public testing::Test {
 protected:
  void SetUp() override {
    nodes_.AddCopy(MakeNode(1, 101, 1, 0, 0, 0, /*type=*/0));
    nodes_.AddCopy(MakeNode(2, 102, 1, 0, 0, 0, /*type=*/1));
    nodes_.AddCopy(MakeNode(3, 103, 2, 0, 0, 0, /*type=*/2));
    nodes_.AddCopy(MakeNode(4, 104, 1, 0, 0, 0, /*type=*/3));
    nodes_.AddCopy(MakeNode(5, 105, 1, 0, 0, 0, /*type=*/4));
    nodes_.AddCopy(MakeNode(6, 106, 1, 0, 0, 0, /*type=*/5));
    // System 7: observations from nodes 1 and 3, two corrections at node 2
    // and one from an unknown node.
    obs_.AddCopy(MakeObs(1, 1, 7, /*type=*/8, /*from=*/1));
    obs_.AddCopy(MakeObs(2, 2, 7, /*type=*/33, /*from=*/2));
    obs_.AddCopy(MakeObs(3, 3, 7, /*type=*/1, /*from=*/3));
    obs_.AddCopy(MakeObs(4, 4, 7, /*type=*/33, /*from=*/2));
    obs_.AddCopy(MakeObs(5, 5, 7, /*type=*/33, /*from=*/99));
    obs_.AddCopy(MakeObs(6, 6, 8, /*type=*/46, /*from=*/1));
    obs_.AddCopy(MakeObs(7, 7, 8, /*type=*/33, /*from=*/1));
  }
  void TearDown() override {
    nodes_.RemoveAll();
    obs_.RemoveAll();
  }
  std::vector<uintptr_t> Data(TreeItem parent) const {
    std::vector<uintptr_t> out;
    for (TreeItem item : tree_.Children(parent)) out.push_back(tree_.GetItemData(item));
    return out;
  }
  uintptr_t Ptr(const void* record) const { return reinterpret_cast<uintptr_t>(record); }

  CNodeDefList nodes_;
  CObsDefList obs_;
  FakeTree tree_;
};

TEST_F(DefListTreesTest, NodeObservationsLeaveCorrectionsOut) {
  const TreeItem parent = tree_.InsertItem("Node", 0, 0, kTreeRoot);
  EXPECT_EQ(AddNodeObsToTree(obs_, tree_, parent, 1, 100), 2);
  EXPECT_EQ(Data(parent), (std::vector<uintptr_t>{Ptr(obs_.GetAt(0)), Ptr(obs_.GetAt(5))}));
  const FakeTree::Item& first = tree_.At(tree_.Children(parent)[0]);
  EXPECT_EQ(first.text, "Obs 1");
  EXPECT_EQ(first.image, 100 + GetObsTypeIcon(8));
  EXPECT_EQ(first.selectedImage, first.image);
  EXPECT_EQ(AddNodeObsToTree(obs_, tree_, parent, 2, 100), 0);  // corrections only
  EXPECT_EQ(AddNodeObsToTree(obs_, tree_, parent, 0, 100), 0);
}

TEST_F(DefListTreesTest, SystemObservationsShowCorrectionsByTheirNodeOnce) {
  const TreeItem parent = tree_.InsertItem("System", 0, 0, kTreeRoot);
  EXPECT_EQ(AddSystemObsToTree(obs_, tree_, parent, 7, 100, nodes_, 200), 3);
  EXPECT_EQ(Data(parent), (std::vector<uintptr_t>{Ptr(obs_.GetAt(0)), Ptr(nodes_.GetAt(1)),
                                                  Ptr(obs_.GetAt(2))}));
  const FakeTree::Item& node = tree_.At(tree_.Children(parent)[1]);
  EXPECT_EQ(node.text, "Node 2");
  EXPECT_EQ(node.image, 203);  // node type 1
  EXPECT_EQ(AddSystemObsToTree(obs_, tree_, kTreeRoot, 0, 100, nodes_, 200), 0);
  // A parent the tree does not know takes nothing.
  EXPECT_EQ(AddSystemObsToTree(obs_, tree_, 999, 7, 100, nodes_, 200), 0);
}

TEST_F(DefListTreesTest, ObjectNodesTakeTheirTypesImage) {
  EXPECT_EQ(AddObjectNodesToTree(nodes_, tree_, kTreeRoot, 1, 10), 5);
  std::vector<int> images;
  for (TreeItem item : tree_.Children(kTreeRoot)) images.push_back(tree_.At(item).image);
  // Node types 0, 1, 3, 4, 5.
  EXPECT_EQ(images, (std::vector<int>{10, 13, 12, 12, 14}));
  EXPECT_EQ(tree_.GetItemData(tree_.Children(kTreeRoot)[0]), Ptr(nodes_.GetAt(0)));
  EXPECT_EQ(AddObjectNodesToTree(nodes_, tree_, kTreeRoot, 2, 10), 1);
  EXPECT_EQ(tree_.At(tree_.Children(kTreeRoot)[5]).image, 11);  // type 2
  EXPECT_EQ(AddObjectNodesToTree(nodes_, tree_, kTreeRoot, 0, 10), 0);
}

TEST_F(DefListTreesTest, ComboBoxListsNodesWithTheirIdsAndSelection) {
  FakeCombo combo;
  combo.AddString("stale");
  EXPECT_EQ(FillComboBox(nodes_, combo, 3, 0), 6);
  EXPECT_EQ(combo.GetItemText(0), "Node 1");
  EXPECT_EQ(combo.GetItemData(5), 6u);
  EXPECT_EQ(combo.GetCurSel(), 2);

  EXPECT_EQ(FillComboBox(nodes_, combo, 3, 1), 5);  // node 3 is on object 2
  EXPECT_EQ(combo.GetCurSel(), kComboError);
  EXPECT_EQ(combo.GetItemData(4), 6u);

  // A full control: the nodes it refuses are left out, their data untouched.
  combo.refuseFrom = 2;
  EXPECT_EQ(FillComboBox(nodes_, combo, 6, 0), 2);
  EXPECT_EQ(combo.GetItemData(1), 2u);
  EXPECT_EQ(combo.GetCurSel(), kComboError);
}

}  // namespace

namespace {

// Node and system ids of 0 and below are keys like any other: the fills show
// the records that carry them, and a combo selects a node of such an id.
TEST(DefListTreesIdsTest, ZeroAndNegativeIdsAreKeys) {
  CNodeDefList nodes;
  CObsDefList obs;
  nodes.AddCopy(MakeNode(0, 100, 1, 0, 0, 0, /*type=*/1));
  nodes.AddCopy(MakeNode(-2, 102, 1, 0, 0, 0));
  nodes.AddCopy(MakeNode(4, 104, 1, 0, 0, 0));
  for (int32_t key : {0, -2}) {
    obs.RemoveAll();
    obs.AddCopy(MakeObs(1, 1, /*system=*/key, 8, /*from=*/key));
    obs.AddCopy(MakeObs(2, 2, /*system=*/key, 33, /*from=*/4));
    obs.AddCopy(MakeObs(3, 3, /*system=*/5, 8, /*from=*/4));
    FakeTree tree;
    EXPECT_EQ(AddNodeObsToTree(obs, tree, kTreeRoot, key, 0), 1) << key;
    EXPECT_EQ(AddSystemObsToTree(obs, tree, kTreeRoot, key, 0, nodes, 0), 2) << key;
    ASSERT_EQ(tree.Children(kTreeRoot).size(), 3u);
    EXPECT_EQ(tree.At(tree.Children(kTreeRoot)[2]).text, "Node 4");  // the correction's node

    FakeCombo combo;
    EXPECT_EQ(FillComboBox(nodes, combo, key, 0), 3);
    EXPECT_EQ(combo.GetCurSel(), key == 0 ? 0 : 1) << key;
  }
  obs.RemoveAll();
  nodes.RemoveAll();
}

}  // namespace

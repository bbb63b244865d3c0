// Records and a tree control for the type helpers' tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "database/catalogue/definition_records.h"
#include "database/catalogue/object_record.h"
#include "platform/bytes.h"
#include "platform/tree_control.h"

inline sObsDef MakeObs(int32_t type, int32_t toNode = 0, int32_t number = 1) {
  sObsDef obs{};
  obs.type = type;
  obs.toNodeId = toNode;
  obs.number = number;
  return obs;
}

inline sSysDef MakeSys(int32_t type) {
  sSysDef sys{};
  sys.type = type;
  return sys;
}

inline sNodeDef MakeNode(int32_t type) {
  sNodeDef node{};
  node.type = type;
  return node;
}

inline sObjDef MakeObject(int32_t kind) {
  sObjDef object{};
  object.kind = kind;
  return object;
}

// A tree kept as a flat vector; handles are index + 1, deleted items stay as
// tombstones so that stale handles are recognised.
class FakeTree : public zor::platform::ITreeControl {
 public:
  struct Item {
    std::string text;
    int image = 0;
    int selectedImage = 0;
    zor::platform::TreeItem parent = 0;
    uintptr_t data = 0;
    bool alive = true;
  };

  zor::platform::TreeItem InsertItem(std::string_view text, int image, int selectedImage,
                                     zor::platform::TreeItem parent) override {
    if (parent != zor::platform::kTreeRoot && !Alive(parent)) return zor::platform::kNoTreeItem;
    items_.push_back(Item{std::string(text), image, selectedImage, parent, 0, true});
    return items_.size();
  }
  bool SetItemData(zor::platform::TreeItem item, uintptr_t data) override {
    if (!Alive(item)) return false;
    items_[item - 1].data = data;
    return true;
  }
  uintptr_t GetItemData(zor::platform::TreeItem item) const override {
    return Alive(item) ? items_[item - 1].data : 0;
  }
  zor::platform::TreeItem GetChildItem(zor::platform::TreeItem item) const override {
    return NextChild(item, 0);
  }
  zor::platform::TreeItem GetNextSiblingItem(zor::platform::TreeItem item) const override {
    return Alive(item) ? NextChild(items_[item - 1].parent, item) : zor::platform::kNoTreeItem;
  }
  bool DeleteItem(zor::platform::TreeItem item) override {
    if (!Alive(item)) return false;
    items_[item - 1].alive = false;
    for (std::size_t i = 0; i < items_.size(); ++i)
      if (items_[i].alive && items_[i].parent == item) DeleteItem(i + 1);
    return true;
  }

  const Item& At(zor::platform::TreeItem item) const { return items_.at(item - 1); }
  // The live children of an item (kTreeRoot: the top level), in order.
  std::vector<zor::platform::TreeItem> Children(zor::platform::TreeItem parent) const {
    std::vector<zor::platform::TreeItem> out;
    for (auto c = NextChild(parent, 0); c != zor::platform::kNoTreeItem; c = NextChild(parent, c))
      out.push_back(c);
    return out;
  }

 private:
  bool Alive(zor::platform::TreeItem item) const {
    return item >= 1 && item <= items_.size() && items_[item - 1].alive;
  }
  // The first live child of parent after `after` (0: from the start).
  zor::platform::TreeItem NextChild(zor::platform::TreeItem parent,
                                    zor::platform::TreeItem after) const {
    for (std::size_t i = after; i < items_.size(); ++i)
      if (items_[i].alive && items_[i].parent == parent) return i + 1;
    return zor::platform::kNoTreeItem;
  }

  std::vector<Item> items_;
};

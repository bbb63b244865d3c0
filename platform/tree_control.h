// An abstract tree control that the library fills without drawing anything.
//
//   class MyTree : public zor::platform::ITreeControl { ... };   // wraps a widget
//   MyTree tree;
//   zor::platform::TreeItem sys = tree.InsertItem("Gyro", 45, 45, zor::platform::kTreeRoot);
//   tree.SetItemData(sys, reinterpret_cast<uintptr_t>(record));
//   if (tree.GetChildItem(sys) == zor::platform::kNoTreeItem) tree.DeleteItem(sys);
//
// Nothing on Linux owns a window, so code that used to send messages to a
// tree view talks to this interface instead; a user interface (or a test)
// supplies the implementation. Items are named by opaque non-zero handles;
// kNoTreeItem (0) is the failure value of every handle-returning operation.
// Image indexes point into image lists that the implementation owns.
#pragma once

#include <cstdint>
#include <string_view>

namespace zor::platform {

using TreeItem = uintptr_t;

// No item: what a failed insertion or a missing child returns.
inline constexpr TreeItem kNoTreeItem = 0;
// As a parent: the invisible root, so the item becomes a top-level item.
inline constexpr TreeItem kTreeRoot = 0;

class ITreeControl {
 public:
  virtual ~ITreeControl() = default;

  // Inserts an item as the last child of parent (kTreeRoot: top level) with
  // its text and its image for the normal and the selected state. Returns the
  // new item, or kNoTreeItem when parent is not an item of this tree.
  virtual TreeItem InsertItem(std::string_view text, int image, int selectedImage,
                              TreeItem parent) = 0;
  // Attaches a pointer-sized value to an item; false for a handle that is not
  // an item.
  virtual bool SetItemData(TreeItem item, uintptr_t data) = 0;
  // The value attached to an item; 0 for a handle that is not an item.
  virtual uintptr_t GetItemData(TreeItem item) const = 0;
  // The first child of an item (kTreeRoot: the first top-level item), or
  // kNoTreeItem when it has none.
  virtual TreeItem GetChildItem(TreeItem item) const = 0;
  // The item after this one under the same parent, or kNoTreeItem.
  virtual TreeItem GetNextSiblingItem(TreeItem item) const = 0;
  // Removes an item with all its children; false for a handle that is not an
  // item.
  virtual bool DeleteItem(TreeItem item) = 0;
};

}  // namespace zor::platform

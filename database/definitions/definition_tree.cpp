#include "database/definitions/definition_tree.h"

#include <string>

#include "database/catalogue/definition_records.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/sys_def_list.h"
#include "database/types/enum_texts.h"
#include "database/types/type_vocabulary.h"

using zor::platform::ITreeControl;
using zor::platform::kNoTreeItem;
using zor::platform::TreeItem;

namespace {

constexpr int kSystemTypeTimeSync = 18;
constexpr int kSystemTypeOffset = 16;

TreeItem InsertWithData(ITreeControl& tree, TreeItem parent, const std::string& text, int image,
                        const void* record) {
  const TreeItem item = tree.InsertItem(text, image, image, parent);
  if (item != kNoTreeItem) tree.SetItemData(item, reinterpret_cast<uintptr_t>(record));
  return item;
}

}  // namespace

TreeItem InsertObsTreeItem(ITreeControl& tree, TreeItem parent, const sObsDef* obs,
                           int imageBase) {
  if (!obs) return kNoTreeItem;
  return InsertWithData(tree, parent, ObsDisplayText(obs), imageBase + GetObsTypeIcon(obs->type),
                        obs);
}

TreeItem InsertNodeTreeItem(ITreeControl& tree, TreeItem parent, const sNodeDef* node,
                            int imageBase) {
  if (!node) return kNoTreeItem;
  return InsertWithData(tree, parent, NodeDisplayText(node),
                        imageBase + GetNodeTypeIcon(node->type, false, false), node);
}

TreeItem InsertSystemTreeItem(ITreeControl& tree, TreeItem parent, const sSysDef* sys,
                              int imageBase) {
  if (!sys) return kNoTreeItem;
  return InsertWithData(tree, parent, SysDisplayText(sys),
                        imageBase + GetSystemTypeIcon(sys->type), sys);
}

int AddAllSystemObsToTree(const CObsDefList& obsList, ITreeControl& tree, TreeItem parent,
                          int32_t systemId, int imageBase) {
  int inserted = 0;
  for (const sObsDef* obs : obsList)
    if (obs->systemId == systemId && InsertObsTreeItem(tree, parent, obs, imageBase) != kNoTreeItem)
      ++inserted;
  return inserted;
}

int FillDefinitionTree(int mode, TreeItem parent, ITreeControl& tree, const CObsDefList& obsList,
                       const CSysDefList& sysList, bool skipOffsetSystems) {
  int items = 0;
  if (mode == 0) {
    for (const sSysDef* sys : sysList) {
      if (sys->type == kSystemTypeTimeSync) continue;
      if (skipOffsetSystems && sys->type == kSystemTypeOffset) continue;
      const TreeItem item = InsertSystemTreeItem(tree, parent, sys, kSystemImageBase);
      if (item == kNoTreeItem) continue;
      AddAllSystemObsToTree(obsList, tree, item, sys->id, kObsImageBase);
      if (tree.GetChildItem(item) == kNoTreeItem) {
        tree.DeleteItem(item);
        continue;
      }
      ++items;
    }
  } else if (mode == 1) {
    for (const sObsDef* obs : obsList)
      if (InsertObsTreeItem(tree, parent, obs, kObsImageBase) != kNoTreeItem) ++items;
  }
  return items;
}

#include "database/definitions/def_list_trees.h"

#include <unordered_set>

#include "database/definitions/definition_tree.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/types/enum_texts.h"

using zor::platform::IComboBox;
using zor::platform::ITreeControl;
using zor::platform::kComboError;
using zor::platform::kNoTreeItem;
using zor::platform::TreeItem;

namespace {

// "Differential Correction": shown by the node it is received at.
constexpr int32_t kObsTypeDiffCorrection = 33;

}  // namespace

int AddNodeObsToTree(const CObsDefList& obs, ITreeControl& tree, TreeItem parent, int32_t nodeId,
                     int imageBase) {
  int inserted = 0;
  for (const sObsDef* o : obs) {
    if (o->fromNodeId != nodeId || o->type == kObsTypeDiffCorrection) continue;
    if (InsertObsTreeItem(tree, parent, o, imageBase) != kNoTreeItem) ++inserted;
  }
  return inserted;
}

int AddSystemObsToTree(const CObsDefList& obs, ITreeControl& tree, TreeItem parent,
                       int32_t systemId, int imageBase, const CNodeDefList& nodes,
                       int nodeImageBase) {
  int inserted = 0;
  std::unordered_set<const sNodeDef*> shown;
  for (const sObsDef* o : obs) {
    if (o->systemId != systemId) continue;
    TreeItem item = kNoTreeItem;
    if (o->type == kObsTypeDiffCorrection) {
      const sNodeDef* node = nodes.FindById(o->fromNodeId);
      if (node == nullptr || !shown.insert(node).second) continue;
      item = InsertNodeTreeItem(tree, parent, node, nodeImageBase);
    } else {
      item = InsertObsTreeItem(tree, parent, o, imageBase);
    }
    if (item != kNoTreeItem) ++inserted;
  }
  return inserted;
}

int AddObjectNodesToTree(const CNodeDefList& nodes, ITreeControl& tree, TreeItem parent,
                         int32_t objectId, int imageBase) {
  int inserted = 0;
  for (const sNodeDef* n : nodes)
    if (n->objectId == objectId && InsertNodeTreeItem(tree, parent, n, imageBase) != kNoTreeItem)
      ++inserted;
  return inserted;
}

int FillComboBox(const CNodeDefList& nodes, IComboBox& combo, int32_t selectedId,
                 int32_t objectId) {
  combo.ResetContent();
  for (const sNodeDef* n : nodes) {
    if (objectId > 0 && n->objectId != objectId) continue;
    const int index = combo.AddString(NodeDisplayText(n));
    if (index == kComboError) continue;
    combo.SetItemData(index, static_cast<uintptr_t>(static_cast<uint32_t>(n->id)));
    if (n->id == selectedId) combo.SetCurSel(index);
  }
  return combo.GetCount();
}

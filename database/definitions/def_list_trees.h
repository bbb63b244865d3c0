// The observation and node lists shown in the platform's tree and combo-box
// controls: each tree item carries the record pointer as its item data and
// the record's display text; each combo-box item the node's display text and
// its id.
//
//   MyTree tree;                                         // an ITreeControl
//   AddSystemObsToTree(obs, tree, parent, systemId, kObsImageBase, nodes, nodeBase);
//   AddObjectNodesToTree(nodes, tree, vessel, objectId, nodeBase);
//   MyCombo combo;                                       // an IComboBox
//   FillComboBox(nodes, combo, /*selectedId=*/current, objectId);
//
// Items go in as the last children of their parent, in list order, with the
// same image for the normal and the selected state: the image base plus the
// icon of the record's type (database/types/type_vocabulary.h). The records
// must outlive the items. Every observation of one system: see
// AddAllSystemObsToTree in database/definitions/definition_tree.h.
#pragma once

#include <cstdint>

#include "platform/tree_control.h"
#include "platform/ui_controls.h"

class CNodeDefList;
class CObsDefList;

// Every observation whose from-node is the node, except differential
// corrections (type 33). Returns the number of items inserted.
int AddNodeObsToTree(const CObsDefList& obs, zor::platform::ITreeControl& tree,
                     zor::platform::TreeItem parent, int32_t nodeId, int imageBase);

// Every observation of the system, except that a differential correction
// (type 33) is shown by its from-node, as a node item with nodeImageBase,
// each such node once (a correction from an unknown node shows nothing).
// Returns the number of items inserted.
int AddSystemObsToTree(const CObsDefList& obs, zor::platform::ITreeControl& tree,
                       zor::platform::TreeItem parent, int32_t systemId, int imageBase,
                       const CNodeDefList& nodes, int nodeImageBase);

// Every node of the object, with the node type's image (0 -> 0, 1 -> 3,
// 2 -> 1, 3 and 4 -> 2, 5 -> 4) plus the image base. Returns the number of
// items inserted. The special objects -2 and -1 have nodes like any other.
int AddObjectNodesToTree(const CNodeDefList& nodes, zor::platform::ITreeControl& tree,
                         zor::platform::TreeItem parent, int32_t objectId, int imageBase);

// Empties the combo box, then adds every node (of the object when objectId
// is 1 or more) with its id as item data, selecting the node whose id is
// selectedId. Returns the combo box's item count.
int FillComboBox(const CNodeDefList& nodes, zor::platform::IComboBox& combo, int32_t selectedId,
                 int32_t objectId);

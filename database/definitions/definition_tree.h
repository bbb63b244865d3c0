// Definitions shown in a tree control: one item per record, carrying the
// record pointer as its item data and the record's display text.
//
//   MyTree tree;                                          // an ITreeControl
//   FillDefinitionTree(0, zor::platform::kTreeRoot, tree, obs, systems, true);
//   auto* picked = reinterpret_cast<const sObsDef*>(tree.GetItemData(item));
//
// Each item goes in as the last child of its parent, with the same image for
// the normal and the selected state: the caller's image base plus the icon of
// the record's type (database/types/type_vocabulary.h). The records must
// outlive the tree's items.
#pragma once

#include <cstdint>

#include "platform/tree_control.h"

struct sObsDef;
struct sNodeDef;
struct sSysDef;
class CObsDefList;
class CSysDefList;

// Image bases of the definition tree: systems, then observations.
inline constexpr int kSystemImageBase = 40;
inline constexpr int kObsImageBase = 87;

// The new item, or kNoTreeItem when the record is null or the tree refuses.
zor::platform::TreeItem InsertObsTreeItem(zor::platform::ITreeControl& tree,
                                          zor::platform::TreeItem parent, const sObsDef* obs,
                                          int imageBase);
zor::platform::TreeItem InsertNodeTreeItem(zor::platform::ITreeControl& tree,
                                           zor::platform::TreeItem parent, const sNodeDef* node,
                                           int imageBase);
// Text: the system name; image: imageBase plus the system type.
zor::platform::TreeItem InsertSystemTreeItem(zor::platform::ITreeControl& tree,
                                             zor::platform::TreeItem parent, const sSysDef* sys,
                                             int imageBase);

// Inserts every observation of the system under parent, in list order;
// returns how many were inserted.
int AddAllSystemObsToTree(const CObsDefList& obsList, zor::platform::ITreeControl& tree,
                          zor::platform::TreeItem parent, int32_t systemId, int imageBase);

// Mode 0: every system except time synchronisation (type 18), and except
// offset systems (type 16) with skipOffsetSystems, goes under parent with its
// observations below it; a system left without observations is removed again.
// Mode 1: every observation goes under parent. Returns the number of items
// left directly under parent; 0 for another mode.
int FillDefinitionTree(int mode, zor::platform::TreeItem parent,
                       zor::platform::ITreeControl& tree, const CObsDefList& obsList,
                       const CSysDefList& sysList, bool skipOffsetSystems);

// The node definitions of a survey set-up: points of objects with their
// offsets, looked up by id, number, object and axis.
//
//   CNodeDefList nodes;
//   nodes.ReadFromSettingsBuffer(&settings, 5);
//   CNodeDefList vessel(objectId, &nodes, /*append=*/false);   // copies
//   vessel.SortByAxis(/*axis=*/1, /*ascending=*/true);
//   vessel.RemoveAll();
//   nodes.RemoveAll();
//
// Node ids below 1 mean "no id"; look-ups return the first match in list
// order. Object ids are another matter: -2 and -1 are the special objects
// (earth and space), so the operations keyed by an object id find their
// nodes like any other object's (only CountOfObject refuses ids below 1).
// Offsets are compared with a tolerance of 0.001 m in the current survey
// unit (platform/unit_library.h). Copy and append operations change nothing
// when the source is this list itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/catalogue/definition_records.h"
#include "database/definitions/definition_list.h"

class CBlockFile;
class CHdrList;
class CObjDefList;

// Blocks of the node list in the project database file: the current 128-byte
// records and the older 112-byte ones.
inline constexpr uint32_t kBlockNodeDefinitions38 = 38;
inline constexpr uint32_t kBlockNodeDefinitionsOld6 = 6;

class CNodeDefList : public DefinitionList<sNodeDef> {
 public:
  CNodeDefList() = default;
  // CopyFrom(source, append).
  explicit CNodeDefList(const CNodeDefList* source, bool append = false) {
    CopyFrom(source, append);
  }
  // CopyOfObject(objectId, source, append).
  CNodeDefList(int32_t objectId, const CNodeDefList* source, bool append) {
    CopyOfObject(objectId, source, append);
  }

  // Copies of the source's records; not append: emptied first.
  void CopyFrom(const CNodeDefList* source, bool append = false) {
    DefinitionList::CopyFrom(source, append);
  }
  // Copies of the source's nodes of the object; not append: emptied first.
  void CopyOfObject(int32_t objectId, const CNodeDefList* source, bool append);

  // ---- Look-ups -----------------------------------------------------------

  sNodeDef* FindById(int32_t id) const;
  sNodeDef* FindByNumber(int32_t number) const;
  // A number of 10000 or more is taken modulo 10000; the id of the first
  // node with the number, or -1.
  int32_t FindIdByNumber(int32_t number) const;
  // The node exists and its three offsets are exactly 0.
  bool IsOriginNode(int32_t id) const;
  sNodeDef* FindOriginNodeOfObject(int32_t objectId) const;
  int32_t GetObjectId(int32_t nodeId) const;       // -1 when unknown
  int32_t CountOfObject(int32_t objectId) const;   // -1 for objectId < 1
  // The system id of the first node of that id that is a satellite vehicle
  // (type 5); -1 when there is none, 0 for nodeId < 1.
  int32_t GetSatelliteSystemId(int32_t nodeId) const;
  // For observation types 20..23 and 33: the id of the first satellite
  // vehicle node of the system; -1 otherwise.
  int32_t FindSatelliteNode(int32_t systemId, int32_t obsType) const;
  // The first other node of the same object lying on the line through the
  // node along the axis (0..2): both other offsets within the tolerance.
  sNodeDef* FindNodeInLine(int32_t nodeId, int32_t axis) const;
  int32_t CountNodesInLine(int32_t nodeId, int32_t axis) const;

  // ---- Appends ------------------------------------------------------------

  // Not append: emptied first. Copies of from's nodes of the type / object
  // whose id the list does not hold yet; true when any was appended.
  bool AppendOfType(int32_t type, const CNodeDefList& from, bool append);
  bool AppendOfObject(int32_t objectId, const CNodeDefList& from, bool append);
  // As AppendOfObject with from's record pointers, borrowed; true when any
  // node of the object was found, appended or already present.
  bool AppendRefsOfObject(int32_t objectId, const CNodeDefList& from, bool append);

  // Orders the nodes along the axis (0..2), falling back to the next axes
  // for nodes level within the tolerance; stable. 0 with fewer than 2 nodes
  // or a bad axis, else 1.
  int SortByAxis(int32_t axis, bool ascending);

  // Both emptied, then the name and id of every node of the object.
  void GetNamesAndIds(int32_t objectId, std::vector<std::string>& names,
                      std::vector<uint32_t>& ids) const;

  // 0.001 m in the current survey unit.
  static double OffsetTolerance();

  // ---- Objects and node links (node_links.cpp) ------------------------------

  // Null when the object list is empty or the node is unknown; the node
  // itself when it is an origin node (all offsets 0); else the reference
  // node of the node's object (null when that is unknown).
  sNodeDef* GetOriginNode(int32_t nodeId, const CObjDefList& objects) const;
  // Sorts the nodes along the axis (SortByAxis), then regroups them: the
  // nodes of each object in object-list order, then the remaining nodes of
  // type 2, 1, 5 and 0. Nodes of types 3 and 4 of no listed object are
  // dropped. 0, changing nothing, when either list has fewer than 2 entries;
  // else 1.
  int ReorderNodes(const CObjDefList& objects, int32_t axis, bool ascending);

  // Over the header list's "Node Link" records (RecId 230), whose words 0
  // and 1 are node numbers: a link counts for the object when both its
  // nodes are in this list, on different objects, one of them objectId.
  //
  // The id of the first counting link's node on the object; 0 when no link
  // counts, -1 when the header list holds no node link at all.
  int32_t GetLinkedNodeId(int32_t objectId, const CHdrList& header) const;
  // That node's record, or null.
  sNodeDef* GetLinkedNode(int32_t objectId, const CHdrList& header) const;
  // The number of counting links.
  int32_t CountLinks(int32_t objectId, const CHdrList& header) const;
  // Not append: emptied first. Finds the node of `from` by its key (10000
  // or more: an id; 1..9999: a number; below 1: none) and, for every node
  // link naming that node's number, appends a copy of from's node at the
  // link's other end unless this list holds its id. 1 when any was
  // appended. Nothing changes when `from` is this list.
  int CollectLinkedNodes(int32_t nodeKey, const CNodeDefList& from, const CHdrList& header,
                         bool append);
  // Empties out, then copies into it the nodes of this list whose numbers
  // the "Dredging" record (RecId 207) of the key (-1: the first one) names
  // in its words 2 and 3, and, when its word 11 is 1 or more, the node named
  // by word 3 of every dredging tool record (RecId 217). Returns out's
  // count; nothing changes when out is this list.
  int32_t CollectDredgingNodes(CNodeDefList& out, int32_t dredgeId, const CHdrList& header) const;

  // ---- Project database file (def_lists_file.cpp) ---------------------------

  // Writes block 38 at the file's position; the caller raises the block
  // count. Returns 1.
  int Save(CBlockFile& file) const;
  // Appends the records of the block whose header the file stands at: block
  // 38 as stored, the older block 6 converted (word 84 becomes -1). Every
  // node read whose display flag (byte 73) is 0 gets the display bytes 1, 25
  // and 2. Results as CObsDefList::Load.
  int Load(CBlockFile& file);

 private:
  template <typename Pred>
  bool AppendWhere(const CNodeDefList& from, bool append, bool refs, Pred pred);
  // Visits the other nodes of the node's object on the line along the axis.
  template <typename Visit>
  void ForNodesInLine(int32_t nodeId, int32_t axis, Visit visit) const;
};

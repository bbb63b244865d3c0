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
// Ids below 1 mean "no id"; look-ups return the first match in list order.
// Offsets are compared with a tolerance of 0.001 m in the current survey
// unit (platform/unit_library.h). Copy and append operations change nothing
// when the source is this list itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/definitions/definition_list.h"
#include "database/definitions/definition_records.h"

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

 private:
  template <typename Pred>
  bool AppendWhere(const CNodeDefList& from, bool append, bool refs, Pred pred);
  // Visits the other nodes of the node's object on the line along the axis.
  template <typename Visit>
  void ForNodesInLine(int32_t nodeId, int32_t axis, Visit visit) const;
};

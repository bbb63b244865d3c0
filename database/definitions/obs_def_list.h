// The observation definitions of a survey set-up: look-ups, counts, copies
// into other lists and the calibration arithmetic.
//
//   CObsDefList obs;
//   obs.ReadFromSettingsBuffer(&settings, 4);
//   if (const sObsDef* gyro = obs.FindObs(systemId, /*type=*/0, 0, 0))
//     heading = obs.ApplyObsCalibration(raw, gyro);
//   CObsDefList mine;
//   obs.CopyOfSystem(mine, systemId);     // copies, owned by `mine`
//   mine.RemoveAll();
//   obs.RemoveAll();
//
// Observation ids below 1 mean "no id": FindById finds nothing for them.
// System ids are keys like any other except where a comment says so. Look-ups
// return the first match in list order; n-th positions are 1-based. Filters
// on type and nodes apply only when the filter value is above 0 unless a
// comment says otherwise. Copy operations empty the output list first and
// change nothing when the output is this list itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/catalogue/definition_records.h"
#include "database/definitions/calibration.h"
#include "database/definitions/definition_list.h"

class CBlockFile;
class CNodeDefList;

// Blocks of the observation list in the project database file: the current
// 240-byte records and the older 200-byte (37) and 192-byte (4) ones.
inline constexpr uint32_t kBlockObservationDefinitions = 40;
inline constexpr uint32_t kBlockObservationDefinitionsOld37 = 37;
inline constexpr uint32_t kBlockObservationDefinitionsOld4 = 4;

class CObsDefList : public DefinitionList<sObsDef> {
 public:
  CObsDefList() = default;
  // An empty list, then CopyFrom(source).
  explicit CObsDefList(const CObsDefList* source) { CopyFrom(source); }

  // ---- Look-ups -----------------------------------------------------------

  sObsDef* FindById(int32_t id) const;
  sObsDef* FindByNumber(int32_t number) const;  // null for 0
  // The n-th record of the system, counting only records of the type when
  // type > 0.
  sObsDef* FindNthOfSystem(int32_t systemId, int32_t type, int32_t n) const;
  sObsDef* FindNthOfType(int32_t type, int32_t n) const;
  sObsDef* FindObs(int32_t systemId, int32_t type, int32_t fromNode, int32_t toNode) const;
  // The type always filters here, also 0.
  sObsDef* FindObsByType(int32_t type, int32_t fromNode, int32_t toNode) const;
  // As the two above among records whose number is below 0.
  sObsDef* FindObsWithNegativeNumber(int32_t systemId, int32_t type, int32_t fromNode,
                                     int32_t toNode) const;
  sObsDef* FindObsWithNegativeNumberByType(int32_t type, int32_t fromNode,
                                           int32_t toNode) const;
  // First record whose from-node (when from) or to-node (when to) is *nodeId.
  sObsDef* FindByNode(const int32_t* nodeId, bool from, bool to) const;
  // First record whose number is the negation of obs's; null when obs is
  // null or its number is 0 (0 pairs with nothing).
  sObsDef* FindPartner(const sObsDef* obs) const;
  // Pressure (91): the ROV depth (51) or draft (88) partner, else, as for
  // layback (97), the true-bearing (11) partner; other types: null.
  sObsDef* FindPartnerOf(const sObsDef* obs) const;
  // The n-th (1-based) record of the system that an imaging system
  // produces: a multibeam-type observation (IsMbeObs) or a sidescan (62, 74).
  sObsDef* FindNthImagingObs(int32_t systemId, int32_t n) const;

  // ---- Counts -------------------------------------------------------------

  int32_t CountOfType(int32_t type) const;          // -1 for type < 0
  int32_t CountOfSystem(int32_t systemId) const;    // -1 for systemId < 1
  // Records with that from-node and, when toNode > 0, that to-node; -1 for
  // fromNode < 1.
  int32_t CountByNodes(int32_t fromNode, int32_t toNode) const;
  // Appends each system id of the list that ids does not hold yet.
  void CollectSystemIds(std::vector<uint32_t>& ids) const;
  // Over records of the system whose id is none of the three excluded ids:
  // one count for each of the two tags equal to tag, ignoring case. -1 for
  // systemId < 1 or an empty tag.
  int32_t CountTagUses(int32_t systemId, const std::string& tag, int32_t exclude1,
                       int32_t exclude2, int32_t exclude3) const;
  // Empties each tag of the system's records equal to tag, ignoring case.
  void ClearTag(int32_t systemId, const std::string& tag);

  // ---- Copies into an output list -----------------------------------------

  void CopyOfSystem(CObsDefList& out, int32_t systemId) const;
  void CopyOfType(CObsDefList& out, int32_t type) const;
  void CopyByShortName(CObsDefList& out, const std::string& shortName) const;  // case-sensitive
  // Object ids name any object, the special objects -2 and -1 included.
  // Records of the type whose from-node is a node of the object.
  void CopyOfTypeOnObject(CObsDefList& out, const CNodeDefList& nodes, int32_t type,
                          int32_t objectId) const;
  // Records whose two nodes (both found) lie on different objects, the
  // from-node's / to-node's object being objectId.
  void CopyLeavingObject(CObsDefList& out, const CNodeDefList& nodes, int32_t objectId) const;
  void CopyEnteringObject(CObsDefList& out, const CNodeDefList& nodes, int32_t objectId) const;
  // The list's own record pointers, borrowed by out, with that from-node and
  // to-node / whose from-node (when from) or to-node (when to) is the node.
  void CollectByNodes(CObsDefList& out, const int32_t* fromNode, const int32_t* toNode) const;
  void CollectByNode(CObsDefList& out, const int32_t* nodeId, bool from, bool to) const;

  // ---- Calibration (see calibration.h) ------------------------------------

  static double ApplyObsCalibration(double value, const sObsDef* obs) {
    return ::ApplyObsCalibration(value, obs);
  }
  static double ApplyCalibration(double value, double c, double s, double q) {
    return ::ApplyCalibration(value, c, s, q);
  }
  static double RemoveObsCalibration(double value, const sObsDef* obs) {
    return ::RemoveObsCalibration(value, obs);
  }
  static double RemoveCalibration(double y, double c, double s, double q) {
    return ::RemoveCalibration(y, c, s, q);
  }
  static double ApplyObsScale(double value, const sObsDef* obs) {
    return ::ApplyObsScale(value, obs);
  }
  static double ApplyScale(double value, double s) { return ::ApplyScale(value, s); }
  static double ApplyObsRatio(double value, const sObsDef* obs) {
    return ::ApplyObsRatio(value, obs);
  }
  static double ApplyObsInverseRatio(double value, const sObsDef* obs) {
    return ::ApplyObsInverseRatio(value, obs);
  }
  // With the record of the id; the value unchanged when there is none.
  double ApplyCalibrationById(double value, int32_t obsId) const {
    return ::ApplyObsCalibration(value, FindById(obsId));
  }
  double ApplyScaleById(double value, int32_t obsId) const {
    return ::ApplyObsScale(value, FindById(obsId));
  }

  // ---- Project database file (def_lists_file.cpp) ---------------------------

  // Clears every record's transient mark and writes block 40 at the file's
  // position; the caller raises the block count. Returns 1.
  int Save(CBlockFile& file);
  // Appends the records of the block whose header the file stands at: block
  // 40 as stored, the older blocks 37 and 4 converted (transient mark 0, a
  // block 4 record gets its type's default time-out). 1 when the whole block
  // was read; 0 for a block of another type (nothing read), and 0, keeping
  // the records read and logging one warning, when the block ends inside a
  // record or runs past the end of the file.
  int Load(CBlockFile& file);

 private:
  // Empties out and appends copies of the records pred accepts.
  template <typename Pred>
  void CopyWhere(CObsDefList& out, Pred pred) const;
};

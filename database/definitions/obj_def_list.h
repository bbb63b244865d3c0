// The object definitions of a survey set-up: vessels, remotely operated
// vehicles, towed bodies and the other carriers of nodes, with the look-ups
// that follow nodes, observations and the header list's node links.
//
//   CObjDefList objects;
//   objects.ReadFromSettingsBuffer(&settings, block);   // appends
//   objects.RefreshFromHeader(header);                  // kinds, reference points
//   if (const sObjDef* main = objects.GetMainObject()) Use(*main);
//   CObjDefList towing;
//   towing.CollectTowedBy(fishId, objects, nodes, obs, /*append=*/false);
//   towing.RemoveAll();
//   objects.RemoveAll();
//
//   // In the project database (block 5), the file standing at the header:
//   objects.Load(db, /*checkHeader=*/true);   // converts older records
//   objects.Save(db);                         // the caller raises the count
//
// Ids below 1 mean "no id" to FindById, FindTowNode and GetNamesAndIds, but
// -2 and -1 are the special objects (earth and space): every other look-up
// that follows an object id (of a node, a link, a settings element) finds
// them through FindObject.
// Look-ups return the first match in list order. The Collect* and Append*
// operations copy records, decide what to copy before this list is emptied,
// and change nothing when `from` is this list itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/catalogue/object_record.h"
#include "database/definitions/definition_list.h"

class CBlockFile;
class CHdrList;
class CNodeDefList;
class CObsDefList;
struct sNodeDef;
struct sSysDef;
namespace zor::platform {
class ClassArchive;
}

// The version SaveSettings writes.
inline constexpr uint8_t kObjSettingsVersion = 4;

class CObjDefList : public DefinitionList<sObjDef> {
 public:
  CObjDefList() = default;
  // An empty list, then CopyFrom(source).
  explicit CObjDefList(const CObjDefList* source) { CopyFrom(source); }

  // Replaces the content with copies of the source's records; nothing for a
  // null source or this list itself.
  void CopyFrom(const CObjDefList* source) { DefinitionList::CopyFrom(source); }

  // ---- Look-ups -----------------------------------------------------------

  // The object with that id; null for id < 1.
  sObjDef* FindById(int32_t id) const;
  // The object with that id, the special objects -2 and -1 included.
  sObjDef* FindObject(int32_t id) const;
  // The object carrying the node; null when either is unknown.
  sObjDef* FindObjectOfNode(int32_t nodeId, const CNodeDefList& nodes) const;
  // The object of the from-node of the system's first observation whose
  // from-node exists and is not a known-position node (types 1, 2, 5); null
  // when there is no such observation or its node's object is unknown.
  sObjDef* FindObjectOfSystem(int32_t systemId, const CObsDefList& obs,
                              const CNodeDefList& nodes) const;
  // The same for the record's system id; null for a null record.
  sObjDef* FindObjectOfSysDef(const sSysDef* sys, const CObsDefList& obs,
                              const CNodeDefList& nodes) const;
  // The first vessel (kind 0 or 10) of id 1, else the first vessel, else the
  // first object; null for an empty list.
  sObjDef* GetMainObject() const;
  // The first object that is neither earth (101) nor space (102).
  sObjDef* FindFirstRealObject() const;
  // The object whose display order index is `index`; null for index < 0.
  sObjDef* FindByOrder(int32_t index) const;
  // The highest order index; INT32_MIN for an empty list.
  int32_t GetMaxOrder() const;
  // The lowest order index other than -1; -1 when there is none.
  int32_t GetMinOrder() const;
  int32_t CountOfKind(int32_t kind) const;
  // Some object's reference node is the node (0 included); false for a
  // negative node id.
  bool IsReferenceNode(int32_t nodeId) const;
  // The node record of the object's reference node; null when the object or
  // the node is unknown.
  sNodeDef* GetReferenceNode(int32_t objectId, const CNodeDefList& nodes) const;
  // The object's field, or -1 when the object is unknown.
  int32_t GetReferenceNodeId(int32_t objectId) const;
  int32_t GetKind(int32_t objectId) const;

  // The node another object tows the object from. 0 when objectId (1 or
  // more) is an object of this list, or when fromObjectId (1 or more) is
  // not. Else the from-node id of the first observation (both node ids 1 or
  // more, both nodes found) whose to-node lies on objectId and whose
  // from-node, a moving node (type 3 or 4), lies on another object - on
  // fromObjectId when it is 1 or more; -1 when there is none.
  int32_t FindTowNode(int32_t objectId, int32_t fromObjectId, const CNodeDefList& nodes,
                      const CObsDefList& obs) const;

  // The number of distinct other objects that node links (header RecId
  // 230) join to the object, whether this list holds them or not; 0 when the
  // list holds fewer than 2 objects or the header list holds no node link.
  int32_t CountLinkedObjects(int32_t objectId, const CNodeDefList& nodes,
                             const CHdrList& header) const;

  // Both emptied, then the name and id of every object whose id is 1 or more.
  void GetNamesAndIds(std::vector<std::string>& names, std::vector<uint32_t>& ids) const;

  // ---- Changes --------------------------------------------------------------

  // Kinds, reference-point state and value, squat model and derived sensor
  // words from the header list's "Reference Point" (RecId 197) and "Squat
  // Model" (RecId 213) records; see the source for the rules.
  void RefreshFromHeader(const CHdrList& header);

  // Gives every other object the source's shared settings (172..187, the
  // file flags and paths, 1384..1395). A null source means the first object
  // whose shared mode is not -1. 1 when shared; 0 for an empty list or when
  // no object has a shared mode.
  int ShareSettings(const sObjDef* source);

  // Makes the display order indices unique: one object gets 0; of several,
  // an index outside 0..count-1 or held by an earlier object becomes -1, and
  // when no index is left the main object gets 0 and the others 1, 2, ... in
  // list order.
  void AssignOrder();

  // ---- Copies from another list (not append: emptied first) ---------------

  // Copies of from's objects that node links join to objectId, unless this
  // list holds their id. True when any was appended.
  bool CollectLinkedObjects(int32_t objectId, const CObjDefList& from, const CNodeDefList& nodes,
                            const CHdrList& header, bool append);
  // Each of from's objects that is neither earth nor space and not held
  // yet, followed by the objects linked to it. True when any was appended.
  bool CollectChain(const CObjDefList& from, const CNodeDefList& nodes, const CHdrList& header,
                    bool append);
  // The objects that tow objectId: when from holds at least 2 objects, one
  // of them objectId, a copy of the object of the from-node (type 3 or 4) of
  // each observation whose to-node lies on objectId and whose from-node lies
  // on another object, unless held. True when any was appended.
  bool CollectTowedBy(int32_t objectId, const CObjDefList& from, const CNodeDefList& nodes,
                      const CObsDefList& obs, bool append);
  // Copies of from's objects of the kind not held yet. True when any was
  // appended.
  bool AppendOfKind(int32_t kind, const CObjDefList& from, bool append);

  // ---- Project database file (block 5) -------------------------------------

  // Stamps every record with size 1424 and version 4 and writes block 5 at
  // the file's position; the caller raises the block count. Returns 1.
  int Save(CBlockFile& file);
  // Appends the records of the block whose header the file stands at. With
  // checkHeader each record's head (u32 size, u16 version) tells its layout
  // (object_record_upgrade.h); without it every record is taken as version
  // 2. Each record starts from the defaults, is converted and finished
  // (FinishLoadedObject). 1 when the whole block was read; 0, keeping the
  // records read and logging one warning, when it ends inside a record or
  // runs past the end of the file.
  int Load(CBlockFile& file, bool checkHeader);

  // ---- Settings archive ---------------------------------------------------

  // u8 version 4, u32 count, then per object its id and settings.
  void SaveSettings(zor::platform::ClassArchive& archive) const;
  // Gives the objects the settings of an archive written by SaveSettings
  // (versions 0..4; the version byte only with withVersion, else version 0).
  // Objects are matched by id; an element of an unknown id is read and
  // dropped, and an element cut short by the end of the archive changes
  // nothing. Throws the archive's exception at its end.
  void ApplySettings(zor::platform::ClassArchive& archive, bool withVersion);
};

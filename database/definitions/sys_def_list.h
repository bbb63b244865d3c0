// The system definitions of a survey set-up: look-ups by id, type, link and
// name, free ids, and the field-group comparison that decides which changes
// of a system a running driver must take over.
//
//   CSysDefList systems;
//   systems.ReadFromSettingsBuffer(&settings, 19);
//   int32_t type = systems.GetSystemType(systemId);
//   uint32_t changes = CSysDefList::CompareSysDefs(mine, *systems.FindById(id));
//   CSysDefList::ApplySysDefChanges(mine, *systems.FindById(id), changes);
//   systems.RemoveAll();
//
// System ids below 1 mean "no id" to FindById and GetSystemType; the other
// operations take any id as given. Look-ups return the first match in list
// order.
#pragma once

#include <cstdint>

#include "database/catalogue/definition_records.h"
#include "database/definitions/definition_list.h"

class CBlockFile;
struct sHdrEntry;

// Field groups of CompareSysDefs and ApplySysDefChanges.
inline constexpr uint32_t kSysChangeTypeAndLinks = 1;  // type, id, link words 1..3
inline constexpr uint32_t kSysChangeDriverCode = 2;
inline constexpr uint32_t kSysChangeIdentWord4 = 4;
inline constexpr uint32_t kSysChangeIdentWords = 8;    // identification words 0..4
inline constexpr uint32_t kSysChangeWordsAB = 16;
inline constexpr uint32_t kSysChangeValue36 = 32;
inline constexpr uint32_t kSysChangeValue32 = 64;
inline constexpr uint32_t kSysChangeName = 128;
inline constexpr uint32_t kSysChangeWordC = 256;
inline constexpr uint32_t kSysChangeByteD = 512;

class CSysDefList : public DefinitionList<sSysDef> {
 public:
  CSysDefList() = default;
  // An empty list, then CopyFrom(source).
  explicit CSysDefList(const CSysDefList* source) { CopyFrom(source); }

  sSysDef* FindById(int32_t id) const;
  int32_t GetSystemType(int32_t id) const;  // 0 when id < 1 or unknown
  sSysDef* FindByType(int32_t type) const;
  bool HasType(int32_t type) const { return FindByType(type) != nullptr; }
  int32_t GetIdOfType(int32_t type) const;  // -1 when none
  bool HasSatelliteNavigation() const;      // a system of type 11
  // The first offset (16) / computed-attitude (41) / computed-height (46)
  // system whose link word 1 is linkedId.
  sSysDef* FindOffsetSystem(int32_t linkedId) const;
  sSysDef* FindComputedAttitude(int32_t linkedId) const;
  sSysDef* FindComputedHeight(int32_t linkedId) const;
  // Link word 1 of every position navigation system (12) holding oldId
  // becomes newId.
  void RelinkPositionSystems(int32_t oldId, int32_t newId);
  // The id of the first system of that name (case-sensitive); -1.
  int32_t FindIdByName(const char* name) const;
  // The smallest id from 1 to 999,999 that no system uses; 0 when all are.
  int32_t GetFreeId() const;

  // The system a header record belongs to, decided by its RecId: a payload
  // word holds the system id, or key words name a system of this list by
  // its type and link words. -1 for a null entry, a RecId that belongs to
  // no system, a payload too short for its word, or no matching system.
  int32_t GetSystemIdOfHeader(const sHdrEntry* entry) const;

  // ---- Project database file (def_lists_file.cpp) ---------------------------

  // Marks every record as current (layout mark 1) and writes block 27 at the
  // file's position; the caller raises the block count. Returns 1.
  int Save(CBlockFile& file);
  // Appends the records of the file's block 27, or else of the older block 2
  // (148-byte records, converted by UpgradeOldSysDef). Every record read
  // goes through MapOldSystemType, then the whole list through
  // RemapSystemCodes (also when there is neither block). 1 when the block
  // was read whole or is absent; 0, keeping the records read and logging
  // one warning, when it ends inside a record or runs past the end of the
  // file.
  int Load(CBlockFile& file);

  // Makes this list a byte copy of other, reusing the records it holds:
  // surplus records are removed from the head, missing ones appended.
  void Assign(const CSysDefList& other);

  // The field groups (kSysChange*) in which a and b differ. Identification
  // word 3 counts only when neither side is -1; a NaN setting always counts.
  static uint32_t CompareSysDefs(const sSysDef& a, const sSysDef& b);
  // Copies the field groups of mask from src to dst.
  static void ApplySysDefChanges(sSysDef& dst, const sSysDef& src, uint32_t mask);

 private:
  sSysDef* FindLinked(int32_t type, int32_t linkedId) const;
};

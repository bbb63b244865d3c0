// The anchor definitions of a survey set-up, stored in block 39 of the
// project database (the older block 29 is converted) and in a table of the
// settings buffer.
//
//   CAnchorDefList anchors;
//   if (db.FindBlock(kBlockAnchorDefinitions) || db.FindBlock(kBlockAnchorDefinitionsOld))
//     anchors.Load(db);
//   if (const sAnchorDef* a = anchors.FindById(2); CAnchorDefList::IsAssigned(a)) ...
//   anchors.RemoveAll();
//
// Ids below 1 mean "no id"; look-ups return the first match in list order.
#pragma once

#include <cstdint>

#include "database/catalogue/anchor_record.h"
#include "database/definitions/definition_list.h"

class CBlockFile;

class CAnchorDefList : public DefinitionList<sAnchorDef> {
 public:
  CAnchorDefList() = default;
  // An empty list, then CopyFrom(source).
  explicit CAnchorDefList(const CAnchorDefList* source) { CopyFrom(source); }
  // Replaces the content with copies of the source's records; nothing for a
  // null source or this list itself.
  void CopyFrom(const CAnchorDefList* source) { DefinitionList::CopyFrom(source); }

  // Same count and, paired in order, the same 284 bytes.
  bool Equals(const CAnchorDefList& other) const;
  bool NotEquals(const CAnchorDefList& other) const { return !Equals(other); }

  sAnchorDef* FindById(int32_t id) const;
  // Any of the assignment words 0..11 is above 0; false for null.
  static bool IsAssigned(const sAnchorDef* record);

  // Writes block 39 at the file's position; the caller raises the block
  // count. Returns 1.
  int Save(CBlockFile& file);
  // Appends the records of the block whose header the file stands at: of
  // block 29, 168-byte records converted (name cut to 49 characters, id,
  // the eight setting words, the six doubles moved to 116); of any other
  // type, 284-byte records. 1 when the whole block was read; 0, keeping the
  // records read and logging one warning, when it ends inside a record or
  // runs past the end of the file.
  int Load(CBlockFile& file);
};

// A zeroed current record with the older record's fields.
sAnchorDef ConvertOlderAnchor(const sAnchorDefOld& old) noexcept;

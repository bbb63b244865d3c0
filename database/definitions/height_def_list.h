// The height definitions of a survey set-up, stored in block 31 of the
// project database (older blocks 24, 25, 28 and 30 are converted) and in a
// table of the settings buffer.
//
//   CHeightDefList heights;
//   if (db.FindBlock(kBlockHeightDefinitions)) {
//     heights.Load(db);
//   } else if (db.FindBlock(kBlockHeightDefinitionsOld30)) {
//     heights.LoadOlder(db, kBlockHeightDefinitionsOld30, objects, obs, nodes);
//   }
//   heights.RemoveAll();
//
// Look-ups return the first match in list order; any id is a key, 0 and
// negative ids included.
#pragma once

#include <cstdint>

#include "database/catalogue/height_record.h"
#include "database/definitions/definition_list.h"

class CBlockFile;
class CNodeDefList;
class CObjDefList;
class CObsDefList;

class CHeightDefList : public DefinitionList<sHeightDef> {
 public:
  CHeightDefList() = default;
  // An empty list, then CopyFrom(source).
  explicit CHeightDefList(const CHeightDefList* source) { CopyFrom(source); }
  // Replaces the content with copies of the source's records; nothing for a
  // null source or this list itself.
  void CopyFrom(const CHeightDefList* source) { DefinitionList::CopyFrom(source); }

  sHeightDef* FindById(int32_t id) const;
  // Size 16, version 1, id 0, value 0.
  static void Init(sHeightDef& record) noexcept { InitHeightDef(record); }

  // Stamps size and version into every record and writes block 31 at the
  // file's position; the caller raises the block count. Returns 1.
  int Save(CBlockFile& file);
  // Appends the 16-byte records of the block whose header the file stands
  // at. 1 when the whole block was read; 0, keeping the records read and
  // logging one warning, when it ends inside a record or runs past the end
  // of the file.
  int Load(CBlockFile& file);

  // Reads the block whose header the file stands at in the form of
  // blockType: 31 as Load; 24, 25, 28 and 30 (records of 336, 400, 2368 and
  // 3456 bytes) each give a height record of their words 0 (id) and 1
  // (value) and hand their sensor settings (and, from 30, their shared
  // settings) to the object that objects.FindObjectOfSystem gives for the
  // id. 0 for any other block type, with nothing read; otherwise as Load.
  int LoadOlder(CBlockFile& file, uint32_t blockType, CObjDefList& objects, const CObsDefList& obs,
                const CNodeDefList& nodes);
};

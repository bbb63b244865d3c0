// The observation, node and system lists in the project database file:
// blocks 40, 38 and 27, with the older record layouts of blocks 37, 4, 6 and
// 2 converted as they are read.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "database/blockfile/block_file.h"
#include "database/catalogue/older_definition_records.h"
#include "database/catalogue/sysdef_old_layouts.h"
#include "database/definitions/node_def_list.h"
#include "database/definitions/obs_def_list.h"
#include "database/definitions/record_block.h"
#include "database/definitions/sys_def_list.h"
#include "database/definitions/sysdef_upgrades.h"
#include "database/types/obs_defaults.h"
#include "platform/bytes.h"

namespace {

using zor::platform::FieldText;
using zor::platform::SetFieldText;

// The fields both layouts share at the head of a record: the three ids.
template <typename Old, typename Current>
void CopyIds(const Old& old, Current& r) {
  r.id = old.id;
  r.number = old.number;
  r.systemId = old.systemId;
  SetFieldText(r.name, FieldText(old.name));
}

void CopyText(char (&to)[11], const char (&from)[11]) { SetFieldText(to, FieldText(from)); }
void CopyText(char (&to)[14], const char (&from)[14]) { SetFieldText(to, FieldText(from)); }

void CopyDoubles(const double (&from)[6], sObsDef& r) {
  r.value104 = from[0];
  r.ratioA = from[1];
  r.ratioB = from[2];
  r.c1 = from[3];
  r.c2 = from[4];
  r.scale = from[5];
}

void ConvertObs(const sObsDefOld37& old, sObsDef& r) {
  CopyIds(old, r);
  r.setting74 = old.setting74;
  r.setting75 = old.setting75;
  r.fromNodeId = old.words76[0];
  r.toNodeId = old.words76[1];
  r.type = old.words76[2];
  r.word88 = old.words76[3];
  r.word92 = old.words76[4];
  r.word96 = old.words76[5];
  CopyDoubles(old.doubles104, r);
  r.value160 = old.value152;
  r.value164 = old.value156;
  CopyText(r.tag1, old.tag1);
  CopyText(r.tag2, old.tag2);
  CopyText(r.shortName, old.shortName);
  r.timeOut = old.timeOut;
}

void ConvertObs(const sObsDefOld4& old, sObsDef& r) {
  CopyIds(old, r);
  r.fromNodeId = old.words76[0];
  r.toNodeId = old.words76[1];
  r.type = old.words76[2];
  r.word88 = old.words76[3];
  CopyDoubles(old.doubles104, r);
  r.value160 = old.value152;
  CopyText(r.tag1, old.tag1);
  CopyText(r.tag2, old.tag2);
  CopyText(r.shortName, old.shortName);
  r.timeOut = GetDefaultObsTimeout(r.type);
}

void ConvertNode(const sNodeDefOld6& old, sNodeDef& r) {
  CopyIds(old, r);
  r.type = old.type;
  r.objectId = old.objectId;
  r.word84 = -1;
  std::memcpy(r.offset, old.offset, sizeof r.offset);
}

// Nodes stored before the display bytes existed show with these.
void SetNodeDisplayDefaults(sNodeDef& r) {
  if (r.displayFlag != 0) return;
  r.displayFlag = 1;
  r.display74 = 25;
  r.display75 = 2;
}

// Appends a zeroed record converted from each stored record of the layout
// Old, up to the first that does not lie in full inside the block.
template <typename Old, typename List, typename Convert>
void ReadConverted(RecordBlockReader& in, List& list, Convert convert) {
  Old old;
  while (in.Read(&old, sizeof old)) convert(old, *list.AddNew());
}

// The same for records stored as they are kept.
template <typename List>
void ReadCurrent(RecordBlockReader& in, List& list) {
  using Record = std::remove_pointer_t<typename List::value_type>;
  Record r;
  while (in.Read(&r, sizeof r)) list.AddCopy(r);
}

}  // namespace

// ---- Observations ------------------------------------------------------------

int CObsDefList::Save(CBlockFile& file) {
  RecordBlockWriter out(file);
  for (sObsDef* r : *this) {
    r->transient = 0;
    out.Write(r, sizeof *r);
  }
  out.Finish(kBlockObservationDefinitions);
  return 1;
}

int CObsDefList::Load(CBlockFile& file) {
  RecordBlockReader in(file);
  if (!in.HasHeader()) return in.Finish("observation definitions") ? 1 : 0;
  switch (in.Header().type) {
    case kBlockObservationDefinitions:
      ReadCurrent(in, *this);
      break;
    case kBlockObservationDefinitionsOld37:
      ReadConverted<sObsDefOld37>(in, *this,
                                  [](const sObsDefOld37& o, sObsDef& r) { ConvertObs(o, r); });
      break;
    case kBlockObservationDefinitionsOld4:
      ReadConverted<sObsDefOld4>(in, *this,
                                 [](const sObsDefOld4& o, sObsDef& r) { ConvertObs(o, r); });
      break;
    default:
      return 0;
  }
  return in.Finish("observation definitions") ? 1 : 0;
}

// ---- Nodes -------------------------------------------------------------------

int CNodeDefList::Save(CBlockFile& file) const {
  RecordBlockWriter out(file);
  for (const sNodeDef* r : *this) out.Write(r, sizeof *r);
  out.Finish(kBlockNodeDefinitions38);
  return 1;
}

int CNodeDefList::Load(CBlockFile& file) {
  RecordBlockReader in(file);
  if (!in.HasHeader()) return in.Finish("node definitions") ? 1 : 0;
  const int32_t before = GetCount();
  switch (in.Header().type) {
    case kBlockNodeDefinitions38:
      ReadCurrent(in, *this);
      break;
    case kBlockNodeDefinitionsOld6:
      ReadConverted<sNodeDefOld6>(in, *this, ConvertNode);
      break;
    default:
      return 0;
  }
  for (int32_t i = before; i < GetCount(); ++i) SetNodeDisplayDefaults(*GetAt(i));
  return in.Finish("node definitions") ? 1 : 0;
}

// ---- Systems -------------------------------------------------------------------

int CSysDefList::Save(CBlockFile& file) {
  RecordBlockWriter out(file);
  for (sSysDef* r : *this) {
    r->currentLayout = 1;
    out.Write(r, sizeof *r);
  }
  out.Finish(kBlockSystemDefinitions);
  return 1;
}

int CSysDefList::Load(CBlockFile& file) {
  const int32_t before = GetCount();
  bool whole = true;
  if (file.FindBlock(kBlockSystemDefinitions)) {
    RecordBlockReader in(file);
    ReadCurrent(in, *this);
    whole = in.Finish("system definitions");
  } else if (file.FindBlock(kBlockSystemDefinitionsOld)) {
    RecordBlockReader in(file);
    ReadConverted<sSysDefOld>(in, *this,
                              [](const sSysDefOld& o, sSysDef& r) { r = UpgradeOldSysDef(o); });
    whole = in.Finish("system definitions");
  }
  for (int32_t i = before; i < GetCount(); ++i) MapOldSystemType(GetAt(i));
  RemapSystemCodes(*this);
  return whole ? 1 : 0;
}

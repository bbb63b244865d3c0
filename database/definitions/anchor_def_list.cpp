#include "database/definitions/anchor_def_list.h"

#include <cstring>

#include "database/blockfile/block_file.h"
#include "database/definitions/record_block.h"
#include "platform/bytes.h"

sAnchorDef ConvertOlderAnchor(const sAnchorDefOld& old) noexcept {
  sAnchorDef r{};
  zor::platform::SetFieldText(r.name,
                              std::string_view(old.name, strnlen(old.name, sizeof old.name)));
  r.id = old.id;
  std::memcpy(r.settingWords, old.settingWords, sizeof r.settingWords);
  std::memcpy(r.settingValues, old.settingValues, sizeof r.settingValues);
  return r;
}

bool CAnchorDefList::Equals(const CAnchorDefList& other) const {
  if (GetCount() != other.GetCount()) return false;
  for (int32_t i = 0; i < GetCount(); ++i) {
    const sAnchorDef* a = GetAt(i);
    const sAnchorDef* b = other.GetAt(i);
    if (a == nullptr || b == nullptr || std::memcmp(a, b, sizeof *a) != 0) return false;
  }
  return true;
}

sAnchorDef* CAnchorDefList::FindById(int32_t id) const {
  if (id < 1) return nullptr;
  return FindFirst([id](const sAnchorDef& r) { return r.id == id; });
}

bool CAnchorDefList::IsAssigned(const sAnchorDef* record) {
  if (record == nullptr) return false;
  for (int32_t w : record->assignWords)
    if (w > 0) return true;
  for (int32_t w : record->assignWords5)
    if (w > 0) return true;
  return false;
}

int CAnchorDefList::Save(CBlockFile& file) {
  RecordBlockWriter out(file);
  for (const sAnchorDef* r : *this) out.Write(r, sizeof *r);
  out.Finish(kBlockAnchorDefinitions);
  return 1;
}

int CAnchorDefList::Load(CBlockFile& file) {
  RecordBlockReader in(file);
  if (in.Header().type == kBlockAnchorDefinitionsOld) {
    sAnchorDefOld old;
    while (in.Read(&old, sizeof old)) AddCopy(ConvertOlderAnchor(old));
  } else {
    sAnchorDef record;
    while (in.Read(&record, sizeof record)) AddCopy(record);
  }
  return in.Finish("anchor definitions") ? 1 : 0;
}

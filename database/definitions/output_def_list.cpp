#include "database/definitions/output_def_list.h"

#include <algorithm>

#include "platform/class_archive.h"

using zor::platform::ClassArchive;

void COutputDef::Load(ClassArchive& archive, bool withVersion) {
  uint8_t version = 0;
  if (withVersion) archive >> version;
  if (version > kOutputDefVersion) return;
  archive >> m_id >> m_value1 >> m_value2;
  if (version == 0) {
    m_value3 = 0;
    return;
  }
  archive >> m_value3;
}

void COutputDef::Save(ClassArchive& archive) const {
  archive << kOutputDefVersion << m_id << m_value1 << m_value2 << m_value3;
}

COutputDef* COutputDefList::GetAt(int32_t index) {
  if (index < 0 || index >= GetCount()) return nullptr;
  return &defs_[static_cast<std::size_t>(index)];
}

const COutputDef* COutputDefList::GetAt(int32_t index) const {
  return const_cast<COutputDefList*>(this)->GetAt(index);
}

COutputDef* COutputDefList::FindById(uint32_t id) {
  auto it = std::find_if(defs_.begin(), defs_.end(),
                         [id](const COutputDef& d) { return d.m_id == id; });
  return it != defs_.end() ? &*it : nullptr;
}

const COutputDef* COutputDefList::FindById(uint32_t id) const {
  return const_cast<COutputDefList*>(this)->FindById(id);
}

void COutputDefList::Load(ClassArchive& archive, bool withVersion) {
  uint8_t version = 0;
  if (withVersion) archive >> version;
  uint32_t count = 0;
  archive >> count;
  RemoveAll();
  const bool elementVersions = version >= kOutputDefListVersion;
  // An element takes at least its version byte, or three u32 without it:
  // never reserve more than the archive can hold.
  const uint64_t smallest = elementVersions ? 1 : 12;
  defs_.reserve(
      static_cast<std::size_t>(std::min<uint64_t>(count, archive.Remaining() / smallest)));
  for (uint32_t i = 0; i < count; ++i) {
    COutputDef def;
    def.Load(archive, elementVersions);
    defs_.push_back(def);
  }
}

void COutputDefList::Save(ClassArchive& archive) const {
  archive << kOutputDefListVersion << static_cast<uint32_t>(defs_.size());
  for (const COutputDef& d : defs_) d.Save(archive);
}

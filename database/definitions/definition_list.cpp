#include "database/definitions/definition_list.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "Drivers/framework/ipc_item_buffer.h"
#include "core/log/logger.h"
#include "database/definitions/anchor_record.h"
#include "database/definitions/definition_records.h"
#include "database/definitions/es_dtm_record.h"
#include "database/definitions/height_record.h"
#include "database/definitions/object_record.h"

namespace {

// Observations carry a mark that never leaves the process.
void ClearTransientFields(sObsDef& r) { r.transient = 0; }
void ClearTransientFields(sNodeDef&) {}
void ClearTransientFields(sSysDef&) {}
void ClearTransientFields(sObjDef&) {}
void ClearTransientFields(sEsDtmDef&) {}
void ClearTransientFields(sHeightDef&) {}
void ClearTransientFields(sAnchorDef&) {}

}  // namespace

template <typename Record>
Record* DefinitionList<Record>::GetAt(int32_t index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return entries_[static_cast<std::size_t>(index)].record;
}

template <typename Record>
bool DefinitionList<Record>::IsOwned(int32_t index) const {
  if (index < 0 || index >= GetCount()) return false;
  return entries_[static_cast<std::size_t>(index)].owned;
}

template <typename Record>
void DefinitionList<Record>::ReserveMore(std::size_t more) {
  const std::size_t needed = entries_.size() + more;
  // Geometric growth, so that many small appends stay linear.
  if (needed > entries_.capacity()) entries_.reserve(std::max(needed, 2 * entries_.capacity()));
}

template <typename Record>
Record* DefinitionList<Record>::AddNew() {
  auto r = std::make_unique<Record>();  // freed if the push cannot grow
  entries_.push_back({r.get(), true});
  return r.release();
}

template <typename Record>
Record* DefinitionList<Record>::AddCopy(const Record& record) {
  auto r = std::make_unique<Record>(record);
  entries_.push_back({r.get(), true});
  return r.release();
}

template <typename Record>
void DefinitionList<Record>::AdoptAll(std::vector<std::unique_ptr<Record>>& records) {
  ReserveMore(records.size());
  for (std::unique_ptr<Record>& r : records)
    if (r) entries_.push_back({r.release(), true});
  records.clear();
}

template <typename Record>
void DefinitionList<Record>::AddRef(Record* record) {
  if (record != nullptr) entries_.push_back({record, false});
}

template <typename Record>
void DefinitionList<Record>::RemoveAt(int32_t index) {
  if (index < 0 || index >= GetCount()) return;
  auto it = entries_.begin() + index;
  if (it->owned) delete it->record;
  entries_.erase(it);
}

template <typename Record>
void DefinitionList<Record>::RemoveHead(int32_t count) {
  if (count <= 0) return;
  const std::size_t n = count < GetCount() ? static_cast<std::size_t>(count) : entries_.size();
  for (std::size_t i = 0; i < n; ++i)
    if (entries_[i].owned) delete entries_[i].record;
  entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(n));
}

template <typename Record>
void DefinitionList<Record>::RemoveAll() {
  RemoveHead(GetCount());
}

template <typename Record>
void DefinitionList<Record>::SwapAt(int32_t a, int32_t b) {
  if (a < 0 || b < 0 || a >= GetCount() || b >= GetCount()) return;
  std::swap(entries_[static_cast<std::size_t>(a)], entries_[static_cast<std::size_t>(b)]);
}

template <typename Record>
void DefinitionList<Record>::CopyFrom(const DefinitionList* source, bool append) {
  if (source == nullptr || source == this) return;
  std::vector<std::unique_ptr<Record>> copies;
  copies.reserve(source->entries_.size());
  for (const Entry& e : source->entries_) copies.push_back(std::make_unique<Record>(*e.record));
  if (!append) RemoveAll();
  AdoptAll(copies);
}

template <typename Record>
int DefinitionList<Record>::Compare(const DefinitionList& other) const {
  if (GetCount() != other.GetCount()) return GetCount() - other.GetCount();
  // The first record of each id, as a search from the head would find it.
  std::unordered_map<int32_t, const Record*> first;
  first.reserve(other.entries_.size());
  for (const Entry& e : other.entries_) first.emplace(DefinitionId(*e.record), e.record);
  for (const Entry& e : entries_) {
    const int32_t id = DefinitionId(*e.record);
    auto it = id < 1 ? first.end() : first.find(id);
    if (it == first.end()) return 999;
    const int c = std::memcmp(e.record, it->second, sizeof(Record));
    if (c != 0) return c < 0 ? -1 : 1;
  }
  return 0;
}

template <typename Record>
int DefinitionList<Record>::WriteToSettingsBuffer(CIpcItemBuffer* buffer, int block) {
  if (buffer == nullptr || block < 1) return 0;
  Zor::MultiIPCBuffer& ipc = buffer->GetBuffer();
  const int index = block - 1;
  if (static_cast<uint32_t>(index) >= ipc.GetBlockCount()) return 0;
  const uint32_t recordSize = ipc.GetRecordSize(index);
  const uint32_t capacity = ipc.GetRecordCapacity(index);
  // An empty table fits any block: only its count of 0 is written, so that
  // readers do not take the records of an earlier table for current ones.
  if (!entries_.empty() && (recordSize != sizeof(Record) || capacity < entries_.size())) {
    Log(LogLevel::Warning,
        "Settings block %d holds %u records of %u bytes: %d records of %zu bytes do not fit",
        block, capacity, recordSize, GetCount(), sizeof(Record));
    return 0;
  }
  int written = 0;
  for (const Entry& e : entries_) {
    ClearTransientFields(*e.record);
    if (buffer->WriteRecord(block, written + 1, e.record, sizeof(Record)) == 0) break;
    ++written;
  }
  ipc.SetRecordCount(index, static_cast<uint32_t>(written));
  return written == GetCount() ? 1 : 0;
}

template <typename Record>
int DefinitionList<Record>::ReadFromSettingsBuffer(const CIpcItemBuffer* buffer, int block) {
  if (buffer == nullptr) return 0;
  const Zor::MultiIPCBuffer& ipc = buffer->GetBuffer();
  const int index = block - 1;
  const uint32_t count = ipc.GetRecordCount(index);
  if (count == 0) return 1;
  const uint32_t recordSize = ipc.GetRecordSize(index);
  if (recordSize != sizeof(Record))
    Log(LogLevel::Warning, "Settings block %d has records of %u bytes, expected %zu", block,
        recordSize, sizeof(Record));
  // Reserve only what the block really holds: the stored count is untrusted.
  const uint32_t capacity = ipc.GetRecordCapacity(index);
  ReserveMore(count < capacity ? count : capacity);
  for (uint32_t i = 1; i <= count; ++i) {
    Record* r = AddNew();
    if (buffer->ReadRecord(block, static_cast<int>(i), r, sizeof(Record)) == 0) {
      RemoveAt(GetCount() - 1);
      Log(LogLevel::Warning, "Settings block %d: record %u of %u is not in the block", block, i,
          count);
      break;
    }
  }
  return 1;
}

template class DefinitionList<sObsDef>;
template class DefinitionList<sNodeDef>;
template class DefinitionList<sSysDef>;
template class DefinitionList<sObjDef>;
template class DefinitionList<sEsDtmDef>;
template class DefinitionList<sHeightDef>;
template class DefinitionList<sAnchorDef>;

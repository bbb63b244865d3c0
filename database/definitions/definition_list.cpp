#include "database/definitions/definition_list.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "Drivers/framework/ipc_item_buffer.h"
#include "core/log/logger.h"
#include "database/catalogue/anchor_record.h"
#include "database/catalogue/definition_records.h"
#include "database/catalogue/es_dtm_record.h"
#include "database/catalogue/height_record.h"
#include "database/catalogue/object_record.h"

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
  return entries_[static_cast<std::size_t>(index)].owner != Owner::kBorrowed;
}

template <typename Record>
void DefinitionList<Record>::ReserveMore(std::size_t more) {
  const std::size_t needed = entries_.size() + more;
  // Geometric growth, so that many small appends stay linear.
  if (needed > entries_.capacity()) entries_.reserve(std::max(needed, 2 * entries_.capacity()));
}

template <typename Record>
void DefinitionList<Record>::Free(const Entry& e) noexcept {
  switch (e.owner) {
    case Owner::kHeap:
      delete e.record;
      break;
    case Owner::kSlab: {
      Slab& slab = slabs_[e.slab];
      if (--slab.live == 0) {
        delete[] slab.records;
        slab.records = nullptr;
        freeSlabs_.push_back(e.slab);  // room reserved with the slab
      }
      break;
    }
    case Owner::kBorrowed:
      break;
  }
}

namespace {

// Records per slab: as many as 64 KiB hold, at least one.
template <typename Record>
constexpr std::size_t kSlabRecords =
    sizeof(Record) >= (std::size_t{64} << 10) ? 1 : (std::size_t{64} << 10) / sizeof(Record);

}  // namespace

template <typename Record>
template <typename Fill>
typename DefinitionList<Record>::Slabs DefinitionList<Record>::MakeSlabs(std::size_t n,
                                                                         Fill fill) {
  Slabs slabs;
  slabs.reserve((n + kSlabRecords<Record> - 1) / kSlabRecords<Record>);
  for (std::size_t i = 0; i < n;) {
    const std::size_t k = std::min(kSlabRecords<Record>, n - i);
    slabs.push_back(std::make_unique_for_overwrite<Record[]>(k));
    fill(i, slabs.back().get(), k);
    i += k;
  }
  return slabs;
}

template <typename Record>
void DefinitionList<Record>::ReserveSlabs(std::size_t n, std::size_t count) {
  ReserveMore(n);
  const std::size_t reused = std::min(count, freeSlabs_.size());
  const std::size_t slabs = slabs_.size() + (count - reused);
  if (slabs > slabs_.capacity()) slabs_.reserve(std::max(slabs, 2 * slabs_.capacity()));
  // Every slab may come to be freed at once.
  freeSlabs_.reserve(slabs_.capacity());
}

template <typename Record>
void DefinitionList<Record>::Attach(Slabs& slabs, std::size_t n) noexcept {
  std::size_t first = 0;
  for (std::unique_ptr<Record[]>& made : slabs) {
    const std::size_t k = std::min(kSlabRecords<Record>, n - first);
    uint32_t index = 0;
    if (freeSlabs_.empty()) {
      index = static_cast<uint32_t>(slabs_.size());
      slabs_.push_back({made.release(), k});
    } else {
      index = freeSlabs_.back();
      freeSlabs_.pop_back();
      slabs_[index] = {made.release(), k};
    }
    Record* records = slabs_[index].records;
    for (std::size_t j = 0; j < k; ++j) entries_.push_back({records + j, index, Owner::kSlab});
    first += k;
  }
  slabs.clear();
}

template <typename Record>
Record* DefinitionList<Record>::AddNew() {
  auto r = std::make_unique<Record>();  // freed if the push cannot grow
  entries_.push_back({r.get(), 0, Owner::kHeap});
  return r.release();
}

template <typename Record>
Record* DefinitionList<Record>::AddCopy(const Record& record) {
  auto r = std::make_unique<Record>(record);
  entries_.push_back({r.get(), 0, Owner::kHeap});
  return r.release();
}

template <typename Record>
void DefinitionList<Record>::AdoptAll(std::vector<std::unique_ptr<Record>>& records) {
  ReserveMore(records.size());
  for (std::unique_ptr<Record>& r : records)
    if (r) entries_.push_back({r.release(), 0, Owner::kHeap});
  records.clear();
}

template <typename Record>
void DefinitionList<Record>::AddRef(Record* record) {
  if (record != nullptr) entries_.push_back({record, 0, Owner::kBorrowed});
}

template <typename Record>
void DefinitionList<Record>::RemoveAt(int32_t index) {
  if (index < 0 || index >= GetCount()) return;
  auto it = entries_.begin() + index;
  Free(*it);
  entries_.erase(it);
}

template <typename Record>
void DefinitionList<Record>::RemoveHead(int32_t count) {
  if (count <= 0) return;
  const std::size_t n = count < GetCount() ? static_cast<std::size_t>(count) : entries_.size();
  for (std::size_t i = 0; i < n; ++i) Free(entries_[i]);
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
  // The source may borrow this list's records: copy them before anything is
  // freed. Room for the copies beside every present record is taken while
  // the list is still whole: memory that runs out leaves it as it was, and
  // nothing can fail once its records are freed.
  const std::size_t n = source->entries_.size();
  Slabs copies = MakeSlabs(n, [source](std::size_t first, Record* to, std::size_t k) {
    for (std::size_t j = 0; j < k; ++j) to[j] = *source->entries_[first + j].record;
  });
  ReserveSlabs(n, copies.size());
  if (!append) RemoveAll();
  Attach(copies, n);
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
  // Read only what the block really holds: the stored count is untrusted.
  const uint32_t capacity = ipc.GetRecordCapacity(index);
  const uint32_t n = count < capacity ? count : capacity;
  const uint8_t* data = ipc.GetBlockData(index);
  if (n > 0) {
    Slabs slabs = MakeSlabs(n, [&](std::size_t first, Record* to, std::size_t k) {
      const uint8_t* from = data + first * recordSize;
      if (recordSize == sizeof(Record)) {
        std::memcpy(static_cast<void*>(to), from, k * sizeof(Record));
        return;
      }
      // Each record cut to, or zero-filled up to, the list's record size.
      const std::size_t width = std::min<std::size_t>(recordSize, sizeof(Record));
      for (std::size_t j = 0; j < k; ++j, from += recordSize) {
        auto* bytes = reinterpret_cast<uint8_t*>(to + j);
        std::memcpy(bytes, from, width);
        std::memset(bytes + width, 0, sizeof(Record) - width);
      }
    });
    ReserveSlabs(n, slabs.size());
    Attach(slabs, n);
  }
  if (n < count) {
    Log(LogLevel::Warning, "Settings block %d: record %u of %u is not in the block", block, n + 1,
        count);
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

#include "database/definitions/hdr_sub_list.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "Drivers/framework/ipc_item_buffer.h"
#include "core/log/logger.h"
#include "database/definitions/hdr_list.h"

namespace {

// `size` bytes: the start of `src`, then zeros.
CHdrSubList::Element CopyOf(const std::vector<uint8_t>& src, uint32_t size) {
  CHdrSubList::Element out(size, 0);
  std::copy_n(src.begin(), std::min<std::size_t>(size, src.size()), out.begin());
  return out;
}

bool Matches(const sHdrEntry& e, int32_t r) {
  return r >= 1 && e.recId == static_cast<uint32_t>(r);
}

}  // namespace

CHdrSubList::CHdrSubList(const CHdrSubList& other, uint32_t size) {
  items_.reserve(other.items_.size());
  for (const Element& e : other.items_) items_.push_back(CopyOf(e, size));
}

CHdrSubList::CHdrSubList(int32_t r, const CHdrList& headerList, uint32_t size) {
  Fill(r, headerList, size);
}

CHdrSubList::CHdrSubList(int32_t r1, int32_t r2, const CHdrList& headerList, uint32_t size) {
  Fill2(r1, r2, headerList, size);
}

void CHdrSubList::Fill(int32_t r, const CHdrList& headerList, uint32_t size) {
  Fill2(r, r, headerList, size);
}

void CHdrSubList::Fill2(int32_t r1, int32_t r2, const CHdrList& headerList, uint32_t size) {
  items_.clear();
  for (const sHdrEntry& e : headerList) {
    if (Matches(e, r1) || Matches(e, r2)) items_.push_back(CopyOf(e.payload, size));
  }
}

uint8_t* CHdrSubList::AddTail(const void* data, std::size_t size) {
  Element& e = items_.emplace_back(size, 0);
  if (data != nullptr && size > 0) std::memcpy(e.data(), data, size);
  return e.empty() ? nullptr : e.data();
}

bool CHdrSubList::RemoveAt(std::size_t index) {
  if (index >= items_.size()) return false;
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

bool CHdrSubList::WriteToSettingsBuffer(CIpcItemBuffer* buffer, int32_t item) const {
  if (buffer == nullptr || item < 1) return false;
  Zor::MultiIPCBuffer& shared = buffer->GetBuffer();
  const int index = item - 1;
  // A block that is not there cannot take even an empty table's count.
  if (static_cast<uint32_t>(index) >= shared.GetBlockCount()) return false;
  if (items_.size() > shared.GetRecordCapacity(index)) return false;
  static const uint8_t kEmpty = 0;  // an empty element still needs a source address
  int record = 1;
  for (const Element& e : items_) {
    const uint8_t* src = e.empty() ? &kEmpty : e.data();
    if (buffer->WriteRecord(item, record++, src, e.size()) != 1) return false;
  }
  shared.SetRecordCount(index, static_cast<uint32_t>(items_.size()));
  return true;
}

bool CHdrSubList::ReadFromSettingsBuffer(CIpcItemBuffer* buffer, int32_t item) {
  if (buffer == nullptr || item < 1) return false;
  const Zor::MultiIPCBuffer& shared = buffer->GetBuffer();
  const int index = item - 1;
  const uint32_t count = shared.GetRecordCount(index);
  const uint32_t recordSize = shared.GetRecordSize(index);
  // The stored count may claim more records than the block holds.
  const uint32_t fit = std::min({count, shared.GetRecordCapacity(index),
                                 static_cast<uint32_t>(std::numeric_limits<int>::max())});
  for (uint32_t r = 1; r <= fit; ++r) {
    Element& e = items_.emplace_back(recordSize, 0);
    if (buffer->ReadRecord(item, static_cast<int>(r), e.data(), e.size()) != 1) {
      items_.pop_back();
      Log(LogLevel::Warning, "Settings block %d: record %u of %u cannot be read", item, r, count);
      return false;
    }
  }
  if (fit < count) {
    Log(LogLevel::Warning,
        "Settings block %d: %u records of %u bytes do not fit in the block; %u records read", item,
        count, recordSize, fit);
    return false;
  }
  return true;
}

#include "database/blockfile/his_list.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "database/blockfile/block_file.h"
#include "platform/bytes.h"
#include "platform/clock.h"

namespace {

// Bytes of entries read at once.
constexpr uint32_t kLoadPiece = 1u << 16;

}  // namespace

void CHisList::Clear() noexcept {
  std::memset(m_entries.data(), 0, sizeof m_entries);
}

void CHisList::Recount() noexcept {
  uint32_t used = 0;
  for (int32_t slot = kHisFirstAction; slot <= kHisLastAction; ++slot) {
    if (m_entries[slot].action > 0) ++used;
  }
  m_entries[0].reserved = used;
}

void CHisList::Put(const sHisEntry& entry) noexcept {
  m_entries[entry.action] = entry;
}

void CHisList::Copy(const CHisList* source) noexcept {
  if (source == nullptr || source == this) return;
  Clear();
  for (int32_t slot = 0; slot < kHisSlots; ++slot) {
    const sHisEntry& entry = source->m_entries[slot];
    if (IsAction(entry.action)) Put(entry);
  }
  Recount();
}

void CHisList::SetEntry(int32_t action, uint32_t reserved, const zor::platform::SYSTEMTIME* time,
                        bool isEnd) noexcept {
  if (!IsAction(action)) return;
  sHisEntry& entry = m_entries[action];
  entry.version = 1;
  entry.action = action;
  entry.reserved = reserved;
  if (time != nullptr) {
    (isEnd ? entry.end : entry.start) = *time;
  } else {
    entry.start = zor::platform::GetSystemTime();
    entry.end = zor::platform::GetSystemTime();
  }
  Recount();
}

void CHisList::SetTexts(int32_t action, const char* user, const char* comment) noexcept {
  if (user == nullptr || !IsAction(action)) return;
  sHisEntry& entry = m_entries[action];
  entry.version = 1;
  entry.action = action;
  zor::platform::SetFieldText(entry.user, user);
  if (comment != nullptr) zor::platform::SetFieldText(entry.comment, comment);
  Recount();
}

void CHisList::ClearEntry(int32_t action) noexcept {
  if (!IsAction(action)) return;
  std::memset(&m_entries[action], 0, sizeof(sHisEntry));
  Recount();
}

uint32_t CHisList::Save(CBlockFile& file) const {
  file.WriteBlock(kBlockHistory, m_entries.data(), kHisBlockSize);
  return kBlockHistory;
}

bool CHisList::SaveInPlace(CBlockFile& file, uint64_t headerOffset) const {
  return file.RewriteBlockInPlace(headerOffset, kBlockHistory, m_entries.data(), kHisBlockSize);
}

uint32_t CHisList::Load(CBlockFile& file) {
  Clear();
  uint32_t type = kBlockHistory;
  if (!file.FindBlock(kBlockHistory)) {
    if (!file.FindBlock(kBlockHistoryOld)) return kBlockUnused;
    type = kBlockHistoryOld;
  }
  LoadFrom(file, file.GetPosition());
  return type;
}

void CHisList::TakeEntry(uint32_t type, const uint8_t* bytes) noexcept {
  if (type == kBlockHistory) {
    sHisEntry entry;
    std::memcpy(&entry, bytes, sizeof entry);
    if (IsAction(entry.action)) Put(entry);
    return;
  }
  sHisEntryOld old;
  std::memcpy(&old, bytes, sizeof old);
  if (!IsAction(old.action)) return;
  sHisEntry entry{};
  entry.action = old.action;
  entry.reserved = old.reserved;
  entry.start = old.time;
  entry.end = old.time;
  zor::platform::SetFieldText(entry.comment, zor::platform::FieldText(old.comment));
  Put(entry);
}

uint32_t CHisList::LoadFrom(CBlockFile& file, uint64_t headerOffset) {
  Clear();
  BlockHeader header{};
  file.Seek(static_cast<int64_t>(headerOffset), zor::platform::File::begin);
  if (file.Read(&header, kBlockHeaderSize) != kBlockHeaderSize) return kBlockUnused;
  const uint32_t type = header.type;
  if (type != kBlockHistory && type != kBlockHistoryOld) return kBlockUnused;

  // Whole entries only: a block whose size is not a multiple of the entry
  // size keeps its tail unread, and nothing is read from the next block.
  // The entries are read many at a time: a block of gigabytes (a sparse
  // file holds one cheaply) costs thousands of reads, not millions.
  const uint32_t entrySize = HisEntrySize(type);
  const uint32_t perPiece = kLoadPiece / entrySize;
  uint32_t entries = header.size / entrySize;
  std::vector<uint8_t> piece(static_cast<std::size_t>(std::min(entries, perPiece)) * entrySize);
  while (entries > 0) {
    const uint32_t want = std::min(entries, perPiece);
    const uint32_t got = file.Read(piece.data(), want * entrySize) / entrySize;
    for (uint32_t i = 0; i < got; ++i) TakeEntry(type, piece.data() + i * entrySize);
    if (got < want) break;
    entries -= want;
  }
  Recount();
  return type;
}

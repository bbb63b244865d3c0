// The header list in the project database file: block 33 "Header
// Definitions" and the older block 1 it replaced.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "core/log/logger.h"
#include "core/text/string_helpers.h"
#include "database/blockfile/block_file.h"
#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_list.h"
#include "database/definitions/hdr_upgrade_chain.h"
#include "platform/string_resources.h"

using zor::platform::File;

namespace {

// "The file %s holds no header records."
constexpr uint32_t kNoHeaderBlock = 42347;
// "The header records of the file %s are damaged (...)"
constexpr uint32_t kDamagedHeader = 42348;

// A header block holds many small entries; writing each field on its own
// would cost a system call apiece.
constexpr std::size_t kChunk = std::size_t{1} << 16;
// Load reads its block in pieces that stay in the cache while their entries
// are taken.
constexpr std::size_t kReadPiece = std::size_t{1} << 18;

// Block 33 entry: Size, flag and RecId in front of the payload, the link
// behind it.
constexpr std::size_t kEntryTail = 4;
// Block 1 entry: RecId in front, link and reserved behind.
constexpr std::size_t kOldEntryTail = 4 + 4;
// Block 33 entry: Size (4), flag (1) and RecId (4) in front of the payload.
constexpr std::size_t kEntryHead = 9;
// Block 1 entry: RecId in front.
constexpr std::size_t kOldEntryHead = 4;
// The smallest entry of either layout: block 33 with an empty payload, or
// block 1 with a one-byte record.
constexpr std::size_t kSmallestEntry = 13;

// Writes a block's data through a buffer, keeping the file offset of every
// byte so that callers can note where a field lands.
class BlockWriter {
 public:
  BlockWriter(File& file, uint64_t start) : file_(file), position_(start) {
    buffer_.reserve(kChunk);
  }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // The file offset of the next byte written.
  uint64_t Position() const noexcept { return position_; }

  void Write(const void* data, std::size_t n) {
    const auto* from = static_cast<const uint8_t*>(data);
    position_ += n;
    if (buffer_.size() + n > kChunk) {
      Flush();
      if (n >= kChunk) {
        WriteThrough(from, n);
        return;
      }
    }
    buffer_.insert(buffer_.end(), from, from + n);
  }

  template <typename T>
    requires std::is_trivially_copyable_v<T>
  void WriteValue(const T& value) {
    Write(&value, sizeof(T));
  }

  void Flush() {
    WriteThrough(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

 private:
  void WriteThrough(const uint8_t* data, std::size_t n) {
    while (n > 0) {
      const auto k = static_cast<uint32_t>(std::min<std::size_t>(n, UINT32_MAX));
      file_.Write(data, k);
      data += k;
      n -= k;
    }
  }

  File& file_;
  uint64_t position_;
  std::vector<uint8_t> buffer_;
};

// A little-endian field of the block bytes; the caller checked the bounds.
template <typename T>
T Field(const uint8_t* at) noexcept {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

void ReportLoadFailure(uint32_t message, const std::string& path) {
  const std::string text =
      FormatString(zor::platform::LoadResourceString(message).c_str(), path.c_str());
  LogTo(kLogMaskMessageBox, LogLevel::Warning, "%s", text.c_str());
}

}  // namespace

bool CHdrList::Save(CBlockFile& file, int32_t mode) {
  const uint64_t start = file.BeginBlock();
  BlockWriter out(file, start);
  for (sHdrEntry* p : entries_) {
    sHdrEntry& e = *p;
    out.WriteValue(e.Size());
    out.WriteValue(e.flag);
    out.WriteValue(e.recId);
    out.Write(e.payload.data(), e.payload.size());
    e.filePos = static_cast<int64_t>(out.Position());
    if (mode == 1) e.link = -1;
    out.WriteValue(e.link);
  }
  out.Flush();
  file.WriteBlockHeader(start, out.Position() - start, kBlockHeaderDefinitions);
  return true;
}

uint32_t CHdrList::LoadEntries(CBlockFile& file, bool old) {
  BlockHeader header{};
  if (file.Read(&header, kBlockHeaderSize) != kBlockHeaderSize) return kDamagedHeader;
  const uint64_t start = file.GetPosition();
  // FindBlock only finds blocks that lie inside the file; one that no longer
  // does (the file shrank since) is not read, so nothing is allocated beyond
  // the file's size.
  const uint64_t length = file.GetLength();
  if (start > length || header.size > length - start) return kDamagedHeader;

  // The block is read into the list's payload block, where the payloads
  // then stay: an entry's payload is the bytes between its RecId and its
  // link. The reads go a piece at a time and the entries of each piece are
  // taken while its bytes are still in the cache.
  uint8_t* const block = store_.NewBlock(header.size);
  const std::size_t end = header.size;
  std::size_t got = 0;
  bool ended = false;
  // Reads until the first `need` bytes of the block are in; false when they
  // run past the block, or the file ends first (it was cut short after its
  // length was taken).
  auto have = [&](std::size_t need) {
    if (need > end) return false;
    while (got < need && !ended) {
      const std::size_t piece = std::min(std::max(kReadPiece, need - got), end - got);
      const uint32_t n = file.Read(block + got, static_cast<uint32_t>(piece));
      got += n;
      ended = n < piece;
    }
    return got >= need;
  };

  // The catalogue's sizes at hand: every entry asks for one.
  static const std::array<uint32_t, kLastRecId + 1> sizes = [] {
    std::array<uint32_t, kLastRecId + 1> table{};
    for (int32_t r = 0; r <= kLastRecId; ++r) table[static_cast<std::size_t>(r)] = RecordTypeSize(r);
    return table;
  }();

  std::size_t at = 0;  // the next entry in the block
  uint32_t result = 0;
  const std::size_t head = old ? kOldEntryHead : kEntryHead;
  const std::size_t tail = old ? kOldEntryTail : kEntryTail;
  // A tail of fewer than 4 bytes is left unread, as it always was.
  while (end - at >= 4) {
    if (!have(at + head)) {
      at = got;
      result = kDamagedHeader;
      break;
    }
    const uint8_t* const p = block + at;
    const uint32_t recId = Field<uint32_t>(p + (old ? 0 : 5));
    const uint32_t fixed = recId < sizes.size() ? sizes[recId] : 0;
    const uint32_t size = old ? fixed : Field<uint32_t>(p);
    if ((old ? size == 0 : fixed != 0 && fixed != size) || end - at - head < uint64_t{size} + tail) {
      at += head;
      result = kDamagedHeader;
      break;
    }
    if (!have(at + head + size + tail)) {
      at = got;
      result = kDamagedHeader;
      break;
    }
    if (entries_.size() == entries_.capacity()) {
      // Grow geometrically, but never beyond what the rest of the block can
      // hold, so a block of tiny entries cannot make the list reserve more
      // than the file's size.
      const std::size_t room = (end - at) / kSmallestEntry + 1;
      entries_.reserve(entries_.size() + std::min(std::max<std::size_t>(entries_.size(), 16), room));
    }
    const uint8_t flag = old ? 0 : p[4];
    const int32_t link = Field<int32_t>(p + head + size);
    const int32_t reserved = old ? Field<int32_t>(p + head + size + 4) : -1;
    sHdrEntry* e = NewEntry(end - at);
    e->recId = recId;
    e->flag = flag;
    e->link = link;
    e->reserved = reserved;
    e->filePos = static_cast<int64_t>(start + at + head + size);
    e->payload.Borrow(block + at + head, size);
    Append(e);
    at += head + size + tail;
  }
  // Leave the file where reading field by field would have left it.
  file.Seek(static_cast<int64_t>(start + at), File::begin);
  return result;
}

bool CHdrList::Load(CBlockFile& file, bool report, int32_t upgrade) {
  const bool hasEvents = file.FindBlock(kBlockObservationEvents);
  uint32_t failure = kNoHeaderBlock;
  if (file.FindBlock(kBlockHeaderDefinitions)) {
    failure = LoadEntries(file, /*old=*/false);
  } else if (file.FindBlock(kBlockHeaderDefinitionsOld)) {
    failure = LoadEntries(file, /*old=*/true);
  }
  if (failure != 0) {
    if (report) ReportLoadFailure(failure, file.GetFilePath());
    return false;
  }
  // Links point into the event blocks; without them they point nowhere.
  if (!hasEvents) {
    for (sHdrEntry* e : entries_) e->link = -1;
  }
  RunHdrUpgradeChain(*this, HdrUpgradeContext{upgrade, hasEvents});
  return true;
}

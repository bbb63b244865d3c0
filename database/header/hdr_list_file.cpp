// The header list in the project database file: block 33 "Header
// Definitions" and the older block 1 it replaced.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "core/log/logger.h"
#include "core/text/string_helpers.h"
#include "database/blockfile/block_file.h"
#include "database/catalogue/record_type_size.h"
#include "database/header/hdr_list.h"
#include "database/header/hdr_upgrade_chain.h"
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

// Block 33 entry: Size, flag and RecId in front of the payload, the link
// behind it.
constexpr std::size_t kEntryTail = 4;
// Block 1 entry: RecId in front, link and reserved behind.
constexpr std::size_t kOldEntryTail = 4 + 4;
// Block 33 entry: Size (4), flag (1) and RecId (4) in front of the payload.
constexpr std::size_t kEntryHead = 9;
// Block 1 entry: RecId in front.
constexpr std::size_t kOldEntryHead = 4;

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

  // The whole block is read in one go into the list's payload block, and
  // each payload is then moved down to the next 8-byte boundary behind the
  // one before it. Every entry spends at least 12 bytes outside its payload
  // (Size, flag, RecId and link; RecId, link and reserved), more than the 7
  // an alignment can add, so a payload never lands beyond its own place:
  // nothing unread is overwritten and the block is large enough.
  uint8_t* const block = store_.NewBlock(header.size);
  const std::size_t end = header.size;
  const std::size_t got = header.size == 0 ? 0 : file.Read(block, header.size);

  std::size_t at = 0;  // the next entry in the block
  std::size_t to = 0;  // behind the last payload kept
  uint32_t result = 0;
  // A tail of fewer than 4 bytes is left unread, as it always was.
  while (end - at >= 4) {
    const std::size_t head = old ? kOldEntryHead : kEntryHead;
    const std::size_t tail = old ? kOldEntryTail : kEntryTail;
    // A file cut short since its length was taken ends the load as damage.
    if (got - at < head) {
      at = got;
      result = kDamagedHeader;
      break;
    }
    const uint8_t* const p = block + at;
    const uint32_t recId = Field<uint32_t>(p + (old ? 0 : 5));
    const uint32_t fixed = RecordTypeSize(static_cast<int32_t>(recId));
    const uint32_t size = old ? fixed : Field<uint32_t>(p);
    if ((old ? size == 0 : fixed != 0 && fixed != size) || end - at - head < uint64_t{size} + tail) {
      at += head;
      result = kDamagedHeader;
      break;
    }
    if (got - at - head < uint64_t{size} + tail) {
      at = got;
      result = kDamagedHeader;
      break;
    }
    sHdrEntry* e = NewEntry();
    e->recId = recId;
    e->flag = old ? 0 : p[4];
    e->link = Field<int32_t>(p + head + size);
    if (old) e->reserved = Field<int32_t>(p + head + size + 4);
    e->filePos = static_cast<int64_t>(start + at + head + size);
    if (size > 0) {
      to = HdrEntryStore::Aligned(to);
      std::memmove(block + to, p + head, size);
      e->payload.Borrow(block + to, size);
      to += size;
    }
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

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

// A header block holds many small entries; reading or writing each field
// on its own would cost a system call apiece.
constexpr std::size_t kChunk = std::size_t{1} << 16;

// Block 33 entry: Size, flag and RecId in front of the payload, the link
// behind it.
constexpr uint64_t kEntryTail = 4;
// Block 1 entry: RecId in front, link and reserved behind.
constexpr uint64_t kOldEntryTail = 4 + 4;
// The smallest entry of either layout: block 33 with an empty payload, or
// block 1 with a one-byte record.
constexpr uint64_t kSmallestEntry = 13;

// Reads the data of one block front to back through a buffer. Nothing is
// read past the block's end, and the buffer is never larger than the block.
class BlockReader {
 public:
  BlockReader(File& file, uint64_t start, uint64_t size)
      : file_(file), position_(start), end_(start + size) {
    file_.Seek(static_cast<int64_t>(start), File::begin);
  }
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // The file offset of the next byte handed out.
  uint64_t Position() const noexcept { return position_; }
  // Block bytes not handed out yet.
  uint64_t Remaining() const noexcept { return end_ - position_; }

  // Copies n bytes (at most Remaining()) to `out`; false when the file ends
  // first.
  bool Read(void* out, std::size_t n) {
    auto* to = static_cast<uint8_t*>(out);
    while (n > 0) {
      if (next_ == filled_ && !Refill()) return false;
      const std::size_t k = std::min(n, filled_ - next_);
      std::memcpy(to, buffer_.data() + next_, k);
      Advance(k);
      to += k;
      n -= k;
    }
    return true;
  }

  template <typename T>
    requires std::is_trivially_copyable_v<T>
  bool ReadValue(T& out) {
    if (filled_ - next_ < sizeof(T)) return Read(&out, sizeof(T));
    std::memcpy(&out, buffer_.data() + next_, sizeof(T));
    Advance(sizeof(T));
    return true;
  }

  // Appends n bytes (at most Remaining()) to `out`, without zero-filling
  // them first.
  bool Append(std::vector<uint8_t>& out, std::size_t n) {
    if (out.empty() && filled_ - next_ >= n) {
      const uint8_t* from = buffer_.data() + next_;
      out.assign(from, from + n);
      Advance(n);
      return true;
    }
    out.reserve(out.size() + n);
    while (n > 0) {
      if (next_ == filled_ && !Refill()) return false;
      const std::size_t k = std::min(n, filled_ - next_);
      const uint8_t* from = buffer_.data() + next_;
      out.insert(out.end(), from, from + k);
      Advance(k);
      n -= k;
    }
    return true;
  }

 private:
  void Advance(std::size_t k) noexcept {
    next_ += k;
    position_ += k;
  }

  bool Refill() {
    const uint64_t unread = end_ - position_;
    if (unread == 0) return false;
    const auto want = static_cast<std::size_t>(std::min<uint64_t>(kChunk, unread));
    if (buffer_.size() < want) buffer_.resize(want);
    // The file stands at position_: every byte read so far was handed out.
    filled_ = file_.Read(buffer_.data(), static_cast<uint32_t>(want));
    next_ = 0;
    return filled_ != 0;
  }

  File& file_;
  uint64_t position_;
  uint64_t end_;
  std::vector<uint8_t> buffer_;
  std::size_t next_ = 0;
  std::size_t filled_ = 0;
};

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

// Reads one block-33 entry: it must lie inside the block, read in full,
// and have the catalogue's size where its record type has a fixed one.
bool ReadEntry(BlockReader& in, sHdrEntry& e) {
  uint32_t size = 0;
  if (!in.ReadValue(size) || !in.ReadValue(e.flag) || !in.ReadValue(e.recId)) return false;
  const uint32_t fixed = RecordTypeSize(static_cast<int32_t>(e.recId));
  if (fixed != 0 && fixed != size) return false;
  if (in.Remaining() < size + kEntryTail || !in.Append(e.payload, size)) return false;
  e.filePos = static_cast<int64_t>(in.Position());
  return in.ReadValue(e.link);
}

// Reads one block-1 entry, whose payload size is the catalogue's; a record
// type without a fixed size cannot be read.
bool ReadOldEntry(BlockReader& in, sHdrEntry& e) {
  if (!in.ReadValue(e.recId)) return false;
  const uint32_t size = RecordTypeSize(static_cast<int32_t>(e.recId));
  if (size == 0 || in.Remaining() < size + kOldEntryTail || !in.Append(e.payload, size)) {
    return false;
  }
  e.filePos = static_cast<int64_t>(in.Position());
  return in.ReadValue(e.link) && in.ReadValue(e.reserved);
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
  for (const std::unique_ptr<sHdrEntry>& p : entries_) {
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
  // does (the file shrank since) is not read, so no payload is ever larger
  // than the file.
  const uint64_t length = file.GetLength();
  if (start > length || header.size > length - start) return kDamagedHeader;
  BlockReader in(file, start, header.size);

  // A tail of fewer than 4 bytes is left unread, as it always was.
  uint32_t result = 0;
  while (in.Remaining() >= 4) {
    if (entries_.size() == entries_.capacity()) {
      // Grow geometrically, but never beyond what the rest of the block can
      // hold, so a block of tiny entries cannot make the list reserve more
      // than the file's size.
      const uint64_t room = in.Remaining() / kSmallestEntry + 1;
      entries_.reserve(entries_.size() +
                       static_cast<std::size_t>(std::min<uint64_t>(
                           std::max<std::size_t>(entries_.size(), 16), room)));
    }
    auto e = std::make_unique<sHdrEntry>();
    if (!(old ? ReadOldEntry(in, *e) : ReadEntry(in, *e))) {
      result = kDamagedHeader;
      break;
    }
    Append(std::move(e));
  }
  // Leave the file where reading field by field would have left it.
  file.Seek(static_cast<int64_t>(in.Position()), File::begin);
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
    for (const std::unique_ptr<sHdrEntry>& e : entries_) e->link = -1;
  }
  RunHdrUpgradeChain(*this, HdrUpgradeContext{upgrade, hasEvents});
  return true;
}

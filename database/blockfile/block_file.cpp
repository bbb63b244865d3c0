#include "database/blockfile/block_file.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "core/log/logger.h"
#include "core/text/string_helpers.h"
#include "database/blockfile/block_file_dump.h"
#include "database/blockfile/block_walker.h"
#include "database/blockfile/his_list.h"
#include "database/blockfile/report_file_exception.h"
#include "database/blockfile/wait_cursor.h"
#include "platform/path_text.h"
#include "platform/safe_files.h"
#include "platform/string_resources.h"

using zor::platform::File;
using zor::platform::FileException;

namespace {

// Large blocks are copied through a buffer of this size.
constexpr uint32_t kCopyChunk = 1u << 16;
// The collection of blocks reads ahead this far, and no more than the
// largest piece at once.
constexpr uint64_t kCollectReadAhead = 1u << 16;
constexpr uint64_t kCollectLargestRead = 1u << 24;
// "The history of the file %s could not be updated."
constexpr uint32_t kHistoryNotUpdated = 42820;

// Takes back the owner write bit the stamp gave a read-only file when the
// guard ends, and nothing else: the other bits stay as they are. It goes
// through the open file, so a file put in the name's place meanwhile is
// left alone.
class WriteBitRestore {
 public:
  explicit WriteBitRestore(File& file) : file_(file) {}
  ~WriteBitRestore() {
    if (armed_) Restore();
  }
  WriteBitRestore(const WriteBitRestore&) = delete;
  WriteBitRestore& operator=(const WriteBitRestore&) = delete;
  void Arm() noexcept { armed_ = true; }
  // Disarms once the bit is taken back; armed, the guard's end tries again.
  void Restore() noexcept {
    if (file_.IsOpen() && file_.SetOwnerWritable(false)) armed_ = false;
  }

 private:
  File& file_;
  bool armed_ = false;
};

// Drops the file's handle when the guard ends, unless it was closed.
class AbortOnExit {
 public:
  explicit AbortOnExit(File& file) : file_(file) {}
  ~AbortOnExit() { file_.Abort(); }
  AbortOnExit(const AbortOnExit&) = delete;
  AbortOnExit& operator=(const AbortOnExit&) = delete;

 private:
  File& file_;
};

void LogHistoryNotUpdated(const std::string& fileName) {
  const std::string text =
      FormatString(zor::platform::LoadResourceString(kHistoryNotUpdated).c_str(), fileName.c_str());
  LogTo(kLogMaskMessageBox, LogLevel::Error, "%s", text.c_str());
}

}  // namespace

// ---- Finding blocks --------------------------------------------------------

bool CBlockFile::Find(uint32_t type, BlockHeader& header, uint64_t& headerOffset) {
  BlockWalker walk(*this);
  const int32_t count = walk.Count();
  if (count > kMaxFindBlockCount) {
    Seek(4, begin);
    return false;
  }
  for (int32_t i = 0; i < count && walk.Next(header, headerOffset); ++i) {
    if (header.type == type) {
      Seek(static_cast<int64_t>(headerOffset), begin);
      return true;
    }
  }
  Seek(0, begin);
  return false;
}

bool CBlockFile::FindBlock(uint32_t type) {
  BlockHeader header;
  uint64_t at = 0;
  return Find(type, header, at);
}

bool CBlockFile::SeekPastBlock(uint32_t type) {
  BlockHeader header;
  uint64_t at = 0;
  if (!Find(type, header, at)) return false;
  Seek(static_cast<int64_t>(at + kBlockHeaderSize + header.size), begin);
  return true;
}

bool CBlockFile::SeekEndOfBlocks() {
  BlockWalker walk(*this);
  const int32_t count = walk.Count();
  if (!walk.HasCount() || count < 0) {
    Seek(0, begin);
    return false;
  }
  if (!walk.PassCountedBlocks()) {
    Seek(0, begin);
    return false;
  }
  Seek(static_cast<int64_t>(walk.Position()), begin);
  return true;
}

bool CBlockFile::StartAppend() {
  // The count's 4 bytes cover whatever a shorter file holds.
  if (GetLength() < 4) SetBlockCount(0);
  BlockWalker walk(*this);
  bool impossible = false;
  if (!walk.HasCount() || walk.Count() < 0 || !walk.PassCountedBlocks(&impossible)) {
    Seek(0, begin);
    return false;
  }
  const uint64_t end = walk.Position();
  if (end < GetLength()) {
    // A walk that met an impossible header may have read data as headers
    // and ended early: what lies behind may be counted blocks, and only a
    // killed append is cut there, as the stamp does.
    if (impossible && !OnlyAKilledAppendBehind(end)) {
      Seek(0, begin);
      return false;
    }
    SetLength(end);
  }
  Seek(static_cast<int64_t>(end), begin);
  return true;
}

int32_t CBlockFile::GetBlockCount() {
  Seek(0, begin);
  int32_t count = 0;
  if (Read(&count, sizeof count) != sizeof count) return 0;
  return count;
}

void CBlockFile::SetBlockCount(int32_t count) {
  Seek(0, begin);
  Write(&count, sizeof count);
}

// ---- Stepping --------------------------------------------------------------

bool CBlockFile::BlockFits(uint64_t headerEnd, const BlockHeader& header) {
  const uint64_t length = GetLength();
  return headerEnd <= length && header.size <= length - headerEnd;
}

bool CBlockFile::ReadFirstBlockHeader(BlockHeader& header) {
  if (GetBlockCount() < 1) return false;
  if (Read(&header, kBlockHeaderSize) != kBlockHeaderSize) return false;
  return BlockFits(4 + kBlockHeaderSize, header);
}

bool CBlockFile::ReadNextBlockHeader(BlockHeader& header) {
  const uint64_t at = Seek(header.size, current);
  if (Read(&header, kBlockHeaderSize) != kBlockHeaderSize) return false;
  return BlockFits(at + kBlockHeaderSize, header);
}

bool CBlockFile::SkipBlock() {
  BlockHeader header;
  const uint64_t at = GetPosition();
  if (Read(&header, kBlockHeaderSize) != kBlockHeaderSize) return false;
  if (!BlockFits(at + kBlockHeaderSize, header)) return false;
  Seek(header.size, current);
  return true;
}

// ---- Writing ---------------------------------------------------------------

uint64_t CBlockFile::BeginBlock() {
  // Until the real header replaces it, the placeholder announces a block
  // running past the end of the file: a walk that meets a block cut short
  // stops there instead of reading its data as headers.
  const BlockHeader placeholder{kBlockUnused, UINT32_MAX};
  Write(&placeholder, kBlockHeaderSize);
  return GetPosition();
}

uint64_t CBlockFile::WriteBlock(uint32_t type, const void* data, uint32_t size) {
  const BlockHeader header{type, size};
  Write(&header, kBlockHeaderSize);
  Write(data, size);
  return GetPosition();
}

bool CBlockFile::RewriteBlockInPlace(uint64_t headerOffset, uint32_t type, const void* data,
                                     uint32_t size) {
  BlockHeader header{};
  Seek(static_cast<int64_t>(headerOffset), begin);
  if (Read(&header, kBlockHeaderSize) != kBlockHeaderSize) return false;
  if (header.type != type || header.size != size) return false;
  if (!BlockFits(headerOffset + kBlockHeaderSize, header)) return false;
  Write(data, size);
  return true;
}

uint64_t CBlockFile::WriteBlockHeader(uint64_t dataStart, uint64_t size, uint32_t type) {
  if (size > UINT32_MAX) throw FileException(FileException::genericException, EFBIG, GetFilePath());
  if (dataStart < 4 + kBlockHeaderSize) {
    throw FileException(FileException::badSeek, EINVAL, GetFilePath());
  }
  const BlockHeader header{type, static_cast<uint32_t>(size)};
  Seek(static_cast<int64_t>(dataStart - kBlockHeaderSize), begin);
  Write(&header, kBlockHeaderSize);
  return Seek(static_cast<int64_t>(size), current);
}

bool CBlockFile::AppendChainedRecord(const void* record, uint32_t size, int32_t& first,
                                     int32_t& last, uint64_t dataStart) {
  const uint32_t offset = static_cast<uint32_t>(GetPosition() - dataStart);
  Write(record, size);
  if (first != -1) {
    const uint64_t back = GetPosition();
    Seek(static_cast<int64_t>(dataStart + static_cast<uint32_t>(last)), begin);
    Write(&offset, sizeof offset);
    Seek(static_cast<int64_t>(back), begin);
  }
  last = static_cast<int32_t>(offset);
  if (first == -1) first = last;
  return true;
}

// ---- Copying ---------------------------------------------------------------

bool CBlockFile::CopyBlockTo(CBlockFile* destination, uint32_t type) {
  if (destination == nullptr) return false;
  BlockHeader header;
  uint64_t at = 0;
  if (!Find(type, header, at)) return false;
  Seek(static_cast<int64_t>(at + kBlockHeaderSize), begin);
  destination->Write(&header, kBlockHeaderSize);
  // The block lies inside the file (Find checked), so the copy is bounded by
  // the file; it goes through a fixed buffer all the same.
  std::vector<uint8_t> buffer(std::min(header.size, kCopyChunk));
  uint32_t left = header.size;
  while (left > 0) {
    const uint32_t piece = std::min(left, kCopyChunk);
    if (Read(buffer.data(), piece) != piece) return false;
    destination->Write(buffer.data(), piece);
    left -= piece;
  }
  return true;
}

bool CBlockFile::CollectBlocksAfterEvents(std::vector<uint8_t>& out) {
  out.clear();
  BlockWalker walk(*this);
  const int32_t count = walk.Count();
  BlockHeader header;
  uint64_t at = 0;
  int32_t i = 0;
  for (; i < count; ++i) {
    if (!walk.Next(header, at)) return false;
    if (header.type == kBlockObservationEvents) break;
    if (header.type == kBlockUnused && header.size == 0) {
      i += static_cast<int32_t>(walk.SkipEmptyHeaders());
    }
  }
  if (i >= count) return false;
  // The blocks behind follow one another. They are read in one pass, in
  // pieces, and their headers walked in memory as they arrive: each size is
  // checked against the file's length before its data are read, and reading
  // runs at most one read-ahead piece beyond the block the walk needs, so
  // the bytes behind the last counted block are not read (however many).
  const uint64_t from = walk.Position();
  const uint64_t rest = walk.FileLength() - from;
  uint64_t have = 0;
  Seek(static_cast<int64_t>(from), begin);
  const auto fill = [&](uint64_t upTo) {
    while (have < upTo) {
      const uint64_t want = std::min(std::max(upTo - have, kCollectReadAhead), rest - have);
      const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(want, kCollectLargestRead));
      out.resize(static_cast<std::size_t>(have + piece));
      const uint32_t got = Read(out.data() + have, piece);
      have += got;
      if (got < piece) break;
    }
    return have >= upTo;
  };
  uint64_t end = 0;
  for (++i; i < count; ++i) {
    if (rest - end < kBlockHeaderSize || !fill(end + kBlockHeaderSize)) {
      out.clear();
      return false;
    }
    std::memcpy(&header, out.data() + end, kBlockHeaderSize);
    if (header.size > rest - end - kBlockHeaderSize) {
      out.clear();
      return false;
    }
    end += kBlockHeaderSize + header.size;
  }
  if (!fill(end)) {
    out.clear();
    return false;
  }
  out.resize(static_cast<std::size_t>(end));
  Seek(static_cast<int64_t>(from + end), begin);
  return true;
}

// ---- Repairs ---------------------------------------------------------------

void CBlockFile::DiscardAt(uint64_t headerOffset) {
  const uint32_t unused = kBlockUnused;
  Seek(static_cast<int64_t>(headerOffset), begin);
  Write(&unused, sizeof unused);
}

template <typename Pred>
void CBlockFile::DiscardWhere(Pred discard) {
  if (GetLength() <= 4) return;
  const uint64_t keep = GetPosition();
  BlockWalker walk(*this);
  if (walk.Count() >= 1) {
    BlockHeader header;
    uint64_t at = 0;
    while (walk.NextToEnd(header, at)) {
      // A discarded block stays as it is: rewriting its type changes nothing.
      if (header.type == kBlockUnused) {
        if (header.size == 0) walk.SkipEmptyHeaders();
        continue;
      }
      if (!discard(header.type)) continue;
      DiscardAt(at);
      walk.Resync();
    }
  }
  Seek(static_cast<int64_t>(keep), begin);
}

void CBlockFile::DiscardAllButEvents() {
  DiscardWhere([](uint32_t type) {
    return type != kBlockObservationEvents && type != kBlockObservationEvents2;
  });
}

void CBlockFile::DiscardBlocks(uint32_t type) {
  DiscardWhere([type](uint32_t t) { return t == type; });
}

void CBlockFile::RecountBlocks() {
  const uint64_t keep = GetPosition();
  BlockWalker walk(*this);
  if (!walk.HasCount()) {
    Seek(static_cast<int64_t>(keep), begin);
    return;
  }
  int64_t counted = 0;
  if (walk.Count() >= 1) {
    BlockHeader header;
    uint64_t at = 0;
    while (counted <= kMaxFindBlockCount && walk.NextToEnd(header, at)) {
      ++counted;
      if (header.type == kBlockUnused && header.size == 0) counted += walk.SkipEmptyHeaders();
    }
  }
  // The count walk follows the headers FindBlock's walk does: a new count
  // either covers every block that walk reached or stops where it stopped,
  // so no block readers found is hidden. Only a count above what readers
  // walk is refused.
  if (counted > kMaxFindBlockCount) {
    Log(LogLevel::Warning,
        "The blocks of %s were not recounted: the file holds more blocks than readers walk",
        GetFilePath().c_str());
  } else {
    SetBlockCount(static_cast<int32_t>(counted));
  }
  Seek(static_cast<int64_t>(keep), begin);
}

// ---- Whole-file operations ------------------------------------------------

bool CBlockFile::AddHistoryEntry(const std::string& fileName, int32_t action, uint32_t reserved) {
  if (IsOpen()) return false;
  // The name is used once, as the user running the program, without
  // following a final link or waiting on a FIFO: the file opened here to
  // read is the one whose attribute is given and taken back, and the one
  // stamped. A set-user-id program stamps no file its user could not write.
  const zor::platform::AsRealUser asUser;
  if (!asUser.ok()) return false;
  const zor::platform::UniqueFd named(
      zor::platform::OpenExisting(zor::platform::ToNativePath(fileName).c_str(), O_RDONLY));
  FileException error;
  if (!named) {
    if (errno != ENOENT) ReportFileException(OpenExistingFailure(errno, fileName));
    return false;
  }
  if (!Open("/proc/self/fd/" + std::to_string(named.get()), modeRead | shareDenyNone, &error)) {
    error.m_strFileName = fileName;
    if (error.m_cause != FileException::fileNotFound) ReportFileException(error);
    return false;
  }
  SetFilePath(fileName);
  AbortOnExit dropHandle(*this);
  bool readOnly = false;
  if (!GetReadOnlyOfOpen(readOnly)) return false;
  WriteBitRestore restore(*this);
  if (readOnly) {
    if (!SetOwnerWritable(true)) return false;
    restore.Arm();
  }
  if (!Reopen(modeReadWrite | shareDenyWrite, &error)) {
    ReportFileException(error);
    return false;
  }
  // Write access is granted when a file is opened: the attribute goes back
  // at once, so a process killed during the stamp leaves it read-only.
  if (readOnly) restore.Restore();
  WaitCursor busy;
  try {
    // Nothing is written before the counted blocks are known to be whole
    // and the walk is known to have followed headers rather than data.
    CountedBlocks counted;
    if (!WalkCountedBlocks(counted) ||
        (counted.metImpossibleHeader && !OnlyAKilledAppendBehind(counted.end))) {
      LogHistoryNotUpdated(fileName);
      return false;
    }
    // The walk above has found the block readers take: no second walk.
    CHisList history;
    if (counted.read != SIZE_MAX) history.LoadFrom(*this, counted.history[counted.read].offset);
    history.SetEntry(action, reserved, nullptr, false);

    // Live history blocks that readers do not take (a stamp killed before
    // its discards leaves them) go first: discarded, they change nothing a
    // reader sees, and they are spares like the others. Discarding the one
    // readers take while another stays live would show readers that other
    // one, an older history or one never completed.
    std::vector<uint64_t> spares = counted.spareHistoryOffsets;
    std::vector<uint64_t> unseen;
    for (std::size_t i = 0; i < counted.history.size(); ++i) {
      if (i == counted.read) continue;
      unseen.push_back(counted.history[i].offset);
      if (counted.history[i].header.size == kHisBlockSize) {
        spares.push_back(counted.history[i].offset);
      }
    }
    uint64_t spare = 0;
    const bool reuse = FindSpareHistoryBlock(spares, spare);
    // A new block must be one FindBlock still reads.
    if (!reuse && counted.count >= kMaxFindBlockCount) {
      LogHistoryNotUpdated(fileName);
      return false;
    }
    for (const uint64_t at : unseen) DiscardAt(at);
    if (!unseen.empty()) Flush();

    if (reuse) {
      // The new history goes into a discarded history block, which readers
      // skip, and only a type word makes it live: a write cut short anywhere
      // leaves readers the old history or the new, never a mix of both.
      Seek(static_cast<int64_t>(spare + kBlockHeaderSize), begin);
      Write(&history[0], kHisBlockSize);
      Flush();
      const uint32_t live = kBlockHistory;
      Seek(static_cast<int64_t>(spare), begin);
      Write(&live, sizeof live);
      Flush();
    } else {
      // A new block behind the counted ones. What lies there never reached
      // the count: a killed writer's append, cut off first.
      if (counted.end < GetLength()) SetLength(counted.end);
      Seek(static_cast<int64_t>(counted.end), begin);
      history.Save(*this);
      Flush();
      SetBlockCount(counted.count + 1);
      Flush();
    }
    // Readers take the first live history block: the new one wins, if it
    // lies behind, once the one they took is gone. The old one becomes the
    // spare of the next stamp, so the file keeps its size.
    if (counted.read != SIZE_MAX) DiscardAt(counted.history[counted.read].offset);
    history.Clear();
    Close();
  } catch (const FileException&) {
    Abort();
    LogHistoryNotUpdated(fileName);
    return false;
  }
  return true;
}

bool CBlockFile::WalkCountedBlocks(CountedBlocks& counted) {
  BlockWalker walk(*this);
  counted.count = walk.Count();
  if (!walk.HasCount() || counted.count < 0) return false;
  // Readers would see no history in such a file, whatever is written: the
  // walk is not worth its time (a sparse file may hold billions of empty
  // headers).
  if (counted.count > kMaxFindBlockCount) return false;
  BlockHeader header;
  uint64_t at = 0;
  for (int32_t i = 0; i < counted.count; ++i) {
    if (!walk.Next(header, at)) return false;
    if (IsImpossibleHeader(header)) counted.metImpossibleHeader = true;
    if (header.type == kBlockUnused && header.size == kHisBlockSize) {
      counted.spareHistoryOffsets.push_back(at);
    }
    if (header.type != kBlockHistory && header.type != kBlockHistoryOld) continue;
    const bool taken = counted.read != SIZE_MAX;
    if (!taken || (header.type == kBlockHistory &&
                   counted.history[counted.read].header.type != kBlockHistory)) {
      counted.read = counted.history.size();
    }
    counted.history.push_back({at, header});
  }
  counted.end = walk.Position();
  return true;
}

bool CBlockFile::OnlyAKilledAppendBehind(uint64_t end) {
  const uint64_t length = GetLength();
  if (length <= end) return true;
  // An append killed before it raised the count leaves its block, or the
  // start of it, behind the counted ones: a list's save begins with
  // BeginBlock's placeholder, a stamp's with its history header. A walk
  // that lands on one of them did follow the headers.
  const BlockHeader placeholder{kBlockUnused, UINT32_MAX};
  const BlockHeader history{kBlockHistory, kHisBlockSize};
  BlockHeader found{};
  Seek(static_cast<int64_t>(end), begin);
  const uint32_t got = Read(&found, kBlockHeaderSize);
  if (got != std::min<uint64_t>(length - end, kBlockHeaderSize)) return false;
  if (std::memcmp(&found, &placeholder, got) == 0) return true;
  return length - end <= kBlockHeaderSize + kHisBlockSize &&
         std::memcmp(&found, &history, got) == 0;
}

bool CBlockFile::FindSpareHistoryBlock(const std::vector<uint64_t>& offsets, uint64_t& spare) {
  // Discarded bytes are overwritten only where they read as a history list
  // themselves: each slot empty or holding its own action.
  std::vector<sHisEntry> slots(kHisSlots);
  for (const uint64_t at : offsets) {
    Seek(static_cast<int64_t>(at + kBlockHeaderSize), begin);
    if (Read(slots.data(), kHisBlockSize) != kHisBlockSize) continue;
    bool history = true;
    for (int32_t slot = 0; slot < kHisSlots && history; ++slot) {
      history = slots[slot].action == 0 || (slot > 0 && slots[slot].action == slot);
    }
    if (history) {
      spare = at;
      return true;
    }
  }
  return false;
}

void CBlockFile::DumpBlockFile(std::vector<std::string>& lines) {
  lines.clear();
  DumpBlockFileText(*this, [&lines](std::string_view text) {
    // Whole lines, each ending in '\n'.
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      lines.emplace_back(text.substr(0, end));
      text.remove_prefix(end + 1);
    }
  });
}

void CBlockFile::DumpBlockFile() {
  // The text goes nowhere: no lines are made of it.
  DumpBlockFileText(*this, [](std::string_view) {});
}

uint32_t CBlockFile::GetVersionBlockValue() {
  BlockHeader header;
  uint64_t at = 0;
  if (!Find(kBlockVersion, header, at)) return 0;
  if (header.size < sizeof(uint32_t)) return 0;
  Seek(static_cast<int64_t>(at + kBlockHeaderSize), begin);
  uint32_t value = 0;
  if (Read(&value, sizeof value) != sizeof value) return 0;
  return value;
}

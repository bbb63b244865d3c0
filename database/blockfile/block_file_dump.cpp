#include "database/blockfile/block_file_dump.h"

#include <array>
#include <charconv>
#include <cstring>
#include <memory>

#include "core/text/string_helpers.h"
#include "core/time/system_time.h"
#include "database/blockfile/block_file.h"
#include "database/blockfile/block_walker.h"
#include "database/blockfile/his_list.h"
#include "platform/bytes.h"

namespace {

using zor::platform::File;

constexpr std::size_t kBufferSize = 1u << 16;
// " Block Id " i32 " '" name "' Offset " u64 " Size " i32 "\n", with room
// to spare: the longest type name has 33 characters.
constexpr std::size_t kBlockLineRoom = 160;

// " Block Id <type> '<name>' Offset " of a named type.
struct LinePrefix {
  char text[64];
  std::size_t length;
};

const std::array<LinePrefix, kLastBlockType + 1>& Prefixes() {
  static const auto table = [] {
    std::array<LinePrefix, kLastBlockType + 1> prefixes{};
    for (uint32_t type = 0; type <= kLastBlockType; ++type) {
      const std::string text = FormatString(" Block Id %u '%s' Offset ", type,
                                            std::string(BlockTypeNameView(type)).c_str());
      std::memcpy(prefixes[type].text, text.data(), text.size());
      prefixes[type].length = text.size();
    }
    return prefixes;
  }();
  return table;
}

// The dump's text, collected in one buffer and handed over in whole lines.
class DumpText {
 public:
  explicit DumpText(const std::function<void(std::string_view)>& write)
      : write_(write), buffer_(new char[kBufferSize]) {}
  DumpText(const DumpText&) = delete;
  DumpText& operator=(const DumpText&) = delete;

  void Line(std::string_view text) {
    if (kBufferSize - used_ < text.size() + 1) Flush();
    if (text.size() + 1 > kBufferSize) {
      write_(std::string(text) + '\n');
      return;
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
    buffer_[used_++] = '\n';
  }

  void BlockLine(const BlockHeader& header, uint64_t dataOffset) {
    if (kBufferSize - used_ < kBlockLineRoom) Flush();
    char* p = buffer_.get() + used_;
    char* const end = buffer_.get() + kBufferSize;
    if (header.type <= kLastBlockType) {
      // The line's start is the same for every block of a type: one fixed
      // copy, then the length it really has.
      const LinePrefix& prefix = Prefixes()[header.type];
      std::memcpy(p, prefix.text, sizeof prefix.text);
      p += prefix.length;
    } else {
      p = Put(p, " Block Id ");
      p = std::to_chars(p, end, static_cast<int32_t>(header.type)).ptr;
      p = Put(p, " '");
      p = Put(p, BlockTypeNameView(header.type));
      p = Put(p, "' Offset ");
    }
    p = std::to_chars(p, end, dataOffset).ptr;
    p = Put(p, " Size ");
    p = std::to_chars(p, end, static_cast<int32_t>(header.size)).ptr;
    *p++ = '\n';
    used_ = static_cast<std::size_t>(p - buffer_.get());
  }

  void Flush() {
    if (used_ == 0) return;
    write_(std::string_view(buffer_.get(), used_));
    used_ = 0;
  }

 private:
  static char* Put(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
  }

  const std::function<void(std::string_view)>& write_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

std::string TimeOfDayText(const zor::platform::SYSTEMTIME& st) {
  return FormatTimeOfDay(CZORTime(SystemTimeToTime(st)), 3, ':');
}

// The first block of a type among those readers see, as the walk met it.
struct SeenBlock {
  bool found = false;
  int64_t number = 0;
  uint64_t offset = 0;
  BlockHeader header{};

  void Note(int64_t n, uint64_t at, const BlockHeader& h) {
    if (found) return;
    found = true;
    number = n;
    offset = at;
    header = h;
  }
};

DumpDamage BlockDamage(DumpDamage::Kind kind, const DumpDamage& base, int64_t number,
                       uint64_t offset, const BlockHeader& header) {
  DumpDamage damage = base;
  damage.kind = kind;
  damage.block = number;
  damage.offset = offset;
  damage.type = header.type;
  damage.size = header.size;
  return damage;
}

}  // namespace

DumpDamage DumpBlockFileText(CBlockFile& file, const std::function<void(std::string_view)>& write) {
  DumpText text(write);
  BlockWalker walk(file);
  const int32_t count = walk.Count();
  DumpDamage facts;
  facts.count = count;
  facts.length = walk.FileLength();
  DumpDamage damage = facts;
  if (!walk.HasCount()) {
    damage.kind = DumpDamage::kCountMissing;
  } else if (count < 0) {
    damage.kind = DumpDamage::kNegativeCount;
  }
  text.Line(FormatString("---------- Zor File contains %d blocks ----------", count));

  // One walk names the blocks and finds the history block readers take:
  // the first counted 35, else the first counted 8, while the count is one
  // FindBlock follows.
  SeenBlock history;
  SeenBlock historyOld;
  SeenBlock placeholder;
  const bool readersWalk = count <= kMaxFindBlockCount;
  // Where the counted blocks end, once the walk has passed them.
  uint64_t countedEnd = walk.HasCount() && count == 0 ? 4 : facts.length;
  if (count >= 1) {
    BlockHeader header;
    uint64_t at = 0;
    int64_t whole = 0;
    // A run of empty headers is zeros rather than blocks: its first gets its
    // line, the rest one line together, so a hole does not multiply into
    // gigabytes of text.
    int64_t emptyRun = 0;
    uint64_t lastEmpty = 0;
    const auto endRun = [&] {
      if (emptyRun > 1) {
        text.Line(FormatString(" ... %lld more blocks like it, the last at Offset %llu",
                               static_cast<long long>(emptyRun - 1),
                               static_cast<unsigned long long>(lastEmpty)));
      }
      emptyRun = 0;
    };
    // The last block passed, in case the file has been cut inside it since.
    BlockHeader last{};
    uint64_t lastAt = 0;
    while (walk.NextToEnd(header, at)) {
      ++whole;
      last = header;
      lastAt = at;
      const bool empty = header.type == kBlockUnused && header.size == 0;
      if (!empty || emptyRun == 0) {
        endRun();
        text.BlockLine(header, at + kBlockHeaderSize);
      }
      if (whole == count) countedEnd = walk.Position();
      if (whole <= count) {
        if (empty) placeholder.Note(whole, at, header);
        if (header.type == kBlockHistory) history.Note(whole, at, header);
        if (header.type == kBlockHistoryOld) historyOld.Note(whole, at, header);
      }
      if (!empty) continue;
      ++emptyRun;
      lastEmpty = at + kBlockHeaderSize;
      // The rest of the run at once, up to the last counted block (the
      // walk then goes on behind them only where a block follows the run).
      const int64_t more = walk.SkipEmptyHeaders();
      if (more == 0) continue;
      whole += more;
      emptyRun += more;
      lastEmpty = walk.Position();
      lastAt = walk.Position() - kBlockHeaderSize;
      if (whole == count) countedEnd = walk.Position();
    }
    endRun();
    if (whole < count) {
      // The walk ended inside the counted blocks: say why, from the file as
      // it is now (it may have been cut while it was read).
      DumpDamage now = facts;
      now.length = file.GetLength();
      const uint64_t next = walk.Position();
      const uint64_t left = now.length > next ? now.length - next : 0;
      BlockHeader cut{};
      uint32_t got = 0;
      if (left >= kBlockHeaderSize) {
        file.Seek(static_cast<int64_t>(next), File::begin);
        got = file.Read(&cut, kBlockHeaderSize);
      } else {
        got = static_cast<uint32_t>(left);
      }
      if (now.length < next && whole > 0) {
        // The block passed last no longer fits.
        damage = BlockDamage(DumpDamage::kBlockPastEnd, now, whole, lastAt, last);
      } else if (got == 0) {
        damage = BlockDamage(DumpDamage::kCountBeyondBlocks, now, whole + 1, next, BlockHeader{});
      } else if (got < kBlockHeaderSize) {
        damage = BlockDamage(DumpDamage::kHeaderCut, now, whole + 1, next, BlockHeader{0, got});
      } else {
        damage = BlockDamage(DumpDamage::kBlockPastEnd, now, whole + 1, next, cut);
      }
    }
  }

  CHisList list;
  const SeenBlock& read = history.found ? history : historyOld;
  if (read.found && readersWalk) {
    list.LoadFrom(file, read.offset);
    if (!damage && read.header.size % HisEntrySize(read.header.type) != 0) {
      damage = BlockDamage(DumpDamage::kHistoryUnreadable, facts, read.number, read.offset,
                           read.header);
    }
  } else if (read.found && !damage) {
    damage = BlockDamage(DumpDamage::kHistoryUnreadable, facts, read.number, read.offset,
                         read.header);
  } else if (!readersWalk && !damage) {
    damage = facts;
    damage.kind = DumpDamage::kCountAboveReaders;
  }
  if (!damage && countedEnd < facts.length) {
    damage = facts;
    damage.kind = DumpDamage::kUncountedBytes;
    damage.block = static_cast<int64_t>(count) + 1;
    damage.offset = countedEnd;
    damage.uncounted = facts.length - countedEnd;
  }
  const bool walkWentWrong = damage.kind == DumpDamage::kHeaderCut ||
                             damage.kind == DumpDamage::kBlockPastEnd ||
                             damage.kind == DumpDamage::kCountBeyondBlocks ||
                             (damage.kind == DumpDamage::kUncountedBytes &&
                              !file.OnlyAKilledAppendBehind(countedEnd));
  if (walkWentWrong && placeholder.found) {
    damage = BlockDamage(DumpDamage::kPlaceholderHeader, facts, placeholder.number,
                         placeholder.offset, placeholder.header);
  }
  text.Line("---------- History list -------------------------");
  for (int32_t slot = 0; slot < CHisList::GetSize(); ++slot) {
    const sHisEntry& entry = list[slot];
    if (entry.version == 0) continue;
    text.Line(FormatString("[%d]: version %u, action %d, reserved %u, start time %s", slot + 1,
                           entry.version, entry.action, entry.reserved,
                           TimeOfDayText(entry.start).c_str()));
    text.Line(FormatString("       end time %s, user %s, comment %s",
                           TimeOfDayText(entry.end).c_str(),
                           zor::platform::FieldText(entry.user).c_str(),
                           zor::platform::FieldText(entry.comment).c_str()));
  }
  list.Clear();
  text.Line("---------- Zor File end -------------------------");
  text.Flush();
  return damage;
}

std::string DescribeDumpDamage(const DumpDamage& d) {
  // A block whose header was read, with the name of its type.
  const auto block = [&] {
    return FormatString("block %lld '%s' at offset %llu", static_cast<long long>(d.block),
                        GetBlockTypeName(static_cast<int32_t>(d.type)).c_str(),
                        static_cast<unsigned long long>(d.offset));
  };
  switch (d.kind) {
    case DumpDamage::kNone:
      return "no damage";
    case DumpDamage::kCountMissing:
      return FormatString("the file is %llu bytes long, too short for its 4-byte block count",
                          static_cast<unsigned long long>(d.length));
    case DumpDamage::kNegativeCount:
      return FormatString("the block count %d is negative", d.count);
    case DumpDamage::kHeaderCut:
      return FormatString(
          "block %lld at offset %llu: the file ends %u bytes into its 8-byte header",
          static_cast<long long>(d.block), static_cast<unsigned long long>(d.offset), d.size);
    case DumpDamage::kBlockPastEnd:
      return block() + FormatString(" runs past the end of the file: size %u, %llu bytes there",
                                    d.size,
                                    static_cast<unsigned long long>(d.length - d.offset -
                                                                    kBlockHeaderSize));
    case DumpDamage::kCountBeyondBlocks:
      return FormatString("block %lld of the %d counted is missing: the file ends at offset %llu",
                          static_cast<long long>(d.block), d.count,
                          static_cast<unsigned long long>(d.offset));
    case DumpDamage::kHistoryUnreadable:
      if (d.count > kMaxFindBlockCount) {
        return block() +
               FormatString(" is not read: the count %d is above the %d blocks readers walk",
                            d.count, kMaxFindBlockCount);
      }
      return block() + FormatString(": its size %u is not a whole number of %u-byte entries",
                                    d.size, static_cast<unsigned>(HisEntrySize(d.type)));
    case DumpDamage::kCountAboveReaders:
      return FormatString(
          "the block count %d is above the %d blocks readers walk: they find none of them",
          d.count, kMaxFindBlockCount);
    case DumpDamage::kUncountedBytes:
      return FormatString("block %lld at offset %llu and the %llu bytes from there lie behind the "
                          "%d counted blocks: readers do not see them",
                          static_cast<long long>(d.block),
                          static_cast<unsigned long long>(d.offset),
                          static_cast<unsigned long long>(d.uncounted), d.count);
    case DumpDamage::kPlaceholderHeader:
      return FormatString("block %lld at offset %llu has the empty header {0, 0} of a block write "
                          "cut short: the blocks behind it are its data read as headers",
                          static_cast<long long>(d.block),
                          static_cast<unsigned long long>(d.offset));
  }
  return "damaged";
}

// The text dump of a project database, handed over in large pieces, and the
// first damage it met.
//
//   CBlockFile db;                            // open for reading
//   const DumpDamage damage = DumpBlockFileText(db, [](std::string_view text) {
//     std::fwrite(text.data(), 1, text.size(), stdout);   // whole lines
//   });
//   if (damage) std::fprintf(stderr, "%s: %s\n", path, DescribeDumpDamage(damage).c_str());
//
// The lines are those of CBlockFile::DumpBlockFile, each ending in '\n': the
// count, one line per whole block to the end of the file (not limited by the
// count, but ended behind the counted blocks by a run of {0, 0} headers that
// no block follows, which only zeros leave there; none when the count is
// below 1; of consecutive empty {0, 0} headers only the first, then one line
// for the rest), the history list, an end line. The text is formatted into
// one buffer and handed over whenever it is nearly full (64 KiB), so a dump
// of many blocks makes no string per line.
//
// Damage never stops the dump: it shows what can be read and names the
// first fault, in this order of precedence: a file too short for its count,
// a negative count, a counted block whose header or data the file does not
// hold in full, a count beyond the blocks there, a history block that
// readers cannot read whole or a count above the blocks readers walk
// (kMaxFindBlockCount), bytes behind the counted blocks (readers do not
// see them; an append cut short leaves them). When the walk went wrong
// behind a counted {0, 0} header, that header is named instead: it is the
// placeholder of a block write cut short, and the walk behind it reads the
// block's data as headers. Elsewhere {0, 0} is an empty discarded block, and
// so it is when the bytes behind the counted blocks are no more than the
// history block of a stamp killed before it counted it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CBlockFile;

struct DumpDamage {
  enum Kind {
    kNone,
    kCountMissing,       // the file is shorter than the 4-byte count
    kNegativeCount,      // the count is below 0
    kHeaderCut,          // a counted block's header is not there in full
    kBlockPastEnd,       // a counted block's data run past the end of the file
    kCountBeyondBlocks,  // the file ends where a counted block should start
    kHistoryUnreadable,  // the history block is not read whole
    kCountAboveReaders,  // readers walk no block: the count is above theirs
    kUncountedBytes,     // bytes lie behind the counted blocks
    kPlaceholderHeader,  // a {0, 0} header in front of one of the faults above
  };
  Kind kind = kNone;
  int64_t block = 0;     // the block's number in file order, from 1
  uint64_t offset = 0;   // where its header starts (or should)
  uint32_t type = 0;     // its type, when its header was read
  uint32_t size = 0;     // its size, when its header was read; the bytes
                         // of a cut header
  uint64_t uncounted = 0;  // the bytes behind the counted blocks
  int32_t count = 0;     // the file's count
  uint64_t length = 0;   // the file's length

  explicit operator bool() const noexcept { return kind != kNone; }
};

// Dumps the file through `write`, which gets whole lines, and returns the
// first damage met (kind kNone for a sound file). Read errors throw
// zor::platform::FileException.
DumpDamage DumpBlockFileText(CBlockFile& file, const std::function<void(std::string_view)>& write);

// The damage as one line of text without the file's name, e.g.
// "block 3 'System Definitions' at offset 11395 runs past the end of the
// file: size 1024, 212 bytes there".
std::string DescribeDumpDamage(const DumpDamage& damage);

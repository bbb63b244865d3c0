// A front-to-back walk over the block headers of an open project database.
//
//   BlockWalker walk(file);                  // reads the count at offset 0
//   BlockHeader header;
//   uint64_t at = 0;
//   for (int32_t i = 0; i < walk.Count() && walk.Next(header, at); ++i) {
//     // header.type, header.size; the block's data start at at + 8
//   }
//
// There is no index in the file: finding a block means reading every header
// in front of it. The walk reads ahead in chunks (4 KiB at first, growing
// while blocks follow one another closely, 64 KiB at most and never more
// than the file holds), so many small blocks cost a few large reads rather
// than a read and a seek each; a block larger than the chunk is jumped over.
//
// The walk trusts nothing it reads: it ends at the first header that is not
// there in full and at the first block whose data run past the end of the
// file as its length was when the walk began. Every step moves forward by at
// least the 8 header bytes, so a walk always ends.
//
// The walk moves the file's position as it reads; callers put it where their
// operation leaves it once the walk is over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "database/blockfile/block_types.h"
#include "platform/file.h"

class BlockWalker {
 public:
  // Reads the block count; the walk stands behind it. Read errors throw the
  // file's exception.
  explicit BlockWalker(zor::platform::File& file);
  BlockWalker(const BlockWalker&) = delete;
  BlockWalker& operator=(const BlockWalker&) = delete;

  // False when the file is shorter than the 4 bytes of the count.
  bool HasCount() const noexcept { return hasCount_; }
  // The stored count; 0 for a file shorter than 4 bytes.
  int32_t Count() const noexcept { return count_; }
  uint64_t FileLength() const noexcept { return length_; }

  // Reads the next header and its offset in the file, and moves behind its
  // block. False, without moving, when the header is not there in full or
  // its block runs past the end of the file.
  bool Next(BlockHeader& header, uint64_t& headerOffset);
  // Next for the walks that go on behind the counted blocks to the end of
  // the file (repairs, the dump): behind them, a run of {0, 0} headers ends
  // the walk too unless a block that Next takes follows the run. A {0, 0}
  // header is what discarding an empty block leaves, and a block behind it
  // makes it one; but zeros to the end of the file are no blocks: a file
  // extended with zeros or a hole, or the placeholder older versions wrote
  // for a block they never finished. Read as blocks, a zero tail would
  // count millions of them.
  bool NextToEnd(BlockHeader& header, uint64_t& headerOffset);
  // Steps over the empty {0, 0} headers that follow one another from the
  // position, as Next would one by one, and returns how many: among the
  // counted blocks up to the last of them, behind them the run NextToEnd
  // has just taken for blocks. A run of written zeros goes by at the speed
  // of reading, a hole in a sparse file without reading it.
  int64_t SkipEmptyHeaders();
  // Steps over the counted blocks still ahead (runs of empty ones at once):
  // false when one of them is not there in full. Sets *metImpossibleHeader
  // (when given) where one of their headers is impossible.
  bool PassCountedBlocks(bool* metImpossibleHeader = nullptr);
  // Where the next header starts (4 before the first step).
  uint64_t Position() const noexcept { return next_; }
  // Call after moving the file's position during the walk (to rewrite a
  // header already passed): the next read seeks first.
  void Resync() noexcept { filePosition_ = UINT64_MAX; }

 private:
  // Makes [offset, offset + need) readable from the buffer.
  bool Fill(uint64_t offset, std::size_t need);
  bool Buffered(uint64_t offset, std::size_t need) const noexcept;
  // Where the run of {0, 0} headers from `from` ends: at the first header
  // that is not empty, the file's end, or after `most` of them. Holes are
  // stepped over without reading them.
  uint64_t EndOfEmptyRun(uint64_t from, uint64_t most);

  zor::platform::File& file_;
  uint64_t length_ = 0;
  int32_t count_ = 0;
  bool hasCount_ = false;
  uint64_t next_ = 4;
  int64_t stepped_ = 0;  // headers read
  // The end of the run of {0, 0} headers behind the counted blocks that a
  // block follows, once NextToEnd has met it.
  uint64_t emptyRunEnd_ = 0;
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  std::size_t bufferLength_ = 0;
  // Where the file stands after the walk's last read; unknown at first.
  uint64_t filePosition_ = UINT64_MAX;
  std::size_t chunk_;
};

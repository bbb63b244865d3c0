#include "database/blockfile/block_walker.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kFirstChunk = 4096;
// Larger buffers gain nothing: 64 KiB already brings the walk near the speed of a
// plain read, and above the allocator's mapping threshold every walk would
// pay for fresh pages.
constexpr std::size_t kLargestChunk = 1u << 16;

}  // namespace

BlockWalker::BlockWalker(zor::platform::File& file) : file_(file), chunk_(kFirstChunk) {
  length_ = file_.GetLength();
  if (length_ < 4) {
    // Nothing to walk; the count of such a file is 0.
    file_.Seek(0, zor::platform::File::begin);
    return;
  }
  // The count and, in the same read, the first headers.
  if (!Fill(0, 4)) return;
  std::memcpy(&count_, buffer_.data(), 4);
  hasCount_ = true;
}

bool BlockWalker::Buffered(uint64_t offset, std::size_t need) const noexcept {
  return offset >= bufferStart_ && offset + need <= bufferStart_ + bufferLength_;
}

bool BlockWalker::Fill(uint64_t offset, std::size_t need) {
  if (Buffered(offset, need)) return true;
  // The next header lies within a chunk of where the last read ended: the
  // blocks are small, read more at a time. A jump over a large block starts
  // small again.
  const uint64_t bufferEnd = bufferStart_ + bufferLength_;
  const bool follows = bufferLength_ != 0 && offset >= bufferStart_ &&
                       (offset <= bufferEnd || offset - bufferEnd < chunk_);
  chunk_ = follows ? std::min(chunk_ * 2, kLargestChunk) : kFirstChunk;
  if (offset >= length_) return false;
  const std::size_t want =
      static_cast<std::size_t>(std::min<uint64_t>(chunk_, length_ - offset));
  if (buffer_.size() < want) {
    buffer_.resize(static_cast<std::size_t>(std::min<uint64_t>(kLargestChunk, length_)));
  }
  if (filePosition_ != offset) {
    file_.Seek(static_cast<int64_t>(offset), zor::platform::File::begin);
  }
  const uint32_t got = file_.Read(buffer_.data(), static_cast<uint32_t>(want));
  bufferStart_ = offset;
  bufferLength_ = got;
  filePosition_ = offset + got;
  return got >= need;
}

bool BlockWalker::Next(BlockHeader& header, uint64_t& headerOffset) {
  if (!hasCount_) return false;
  if (next_ > length_ || length_ - next_ < kBlockHeaderSize) return false;
  if (!Fill(next_, kBlockHeaderSize)) return false;
  std::memcpy(&header, buffer_.data() + (next_ - bufferStart_), kBlockHeaderSize);
  const uint64_t dataStart = next_ + kBlockHeaderSize;
  if (header.size > length_ - dataStart) return false;
  headerOffset = next_;
  next_ = dataStart + header.size;
  ++stepped_;
  return true;
}

uint64_t BlockWalker::EndOfEmptyRun(uint64_t from, uint64_t most) {
  uint64_t at = from;
  while (most > 0 && at <= length_ && length_ - at >= kBlockHeaderSize) {
    if (!Buffered(at, kBlockHeaderSize)) {
      // A hole reads as zeros: its headers are empty without reading them,
      // so a sparse file's terabytes cost no more than its data.
      const uint64_t data = std::min(file_.NextDataOffset(at), length_);
      const uint64_t holes = data > at ? std::min((data - at) / kBlockHeaderSize, most) : 0;
      if (holes > 0) {
        at += holes * kBlockHeaderSize;
        most -= holes;
        continue;
      }
    }
    if (!Fill(at, kBlockHeaderSize)) break;
    const uint8_t* p = buffer_.data() + (at - bufferStart_);
    const uint64_t whole = (bufferStart_ + bufferLength_ - at) / kBlockHeaderSize;
    const uint64_t limit = std::min(whole, most);
    uint64_t n = 0;
    for (uint64_t word = 0; n < limit; ++n) {
      std::memcpy(&word, p + n * kBlockHeaderSize, sizeof word);
      if (word != 0) break;
    }
    at += n * kBlockHeaderSize;
    most -= n;
    if (n < limit) break;  // a header that is not empty
  }
  return at;
}

bool BlockWalker::PassCountedBlocks(bool* metImpossibleHeader) {
  BlockHeader header;
  uint64_t at = 0;
  while (stepped_ < count_) {
    if (!Next(header, at)) return false;
    if (metImpossibleHeader && IsImpossibleHeader(header)) *metImpossibleHeader = true;
    if (header.type == kBlockUnused && header.size == 0) SkipEmptyHeaders();
  }
  return true;
}

int64_t BlockWalker::SkipEmptyHeaders() {
  // Among the counted blocks up to the last of them; behind them the run
  // NextToEnd has already read through.
  const uint64_t end = stepped_ < count_
                           ? EndOfEmptyRun(next_, static_cast<uint64_t>(count_ - stepped_))
                           : std::max(next_, emptyRunEnd_);
  const int64_t skipped = static_cast<int64_t>((end - next_) / kBlockHeaderSize);
  next_ = end;
  stepped_ += skipped;
  return skipped;
}

bool BlockWalker::NextToEnd(BlockHeader& header, uint64_t& headerOffset) {
  const uint64_t at = next_;
  if (!Next(header, headerOffset)) return false;
  if (stepped_ <= count_ || header.type != kBlockUnused || header.size != 0 ||
      at < emptyRunEnd_) {
    return true;
  }
  // Empty blocks behind the counted ones, when a block follows them.
  const uint64_t end = EndOfEmptyRun(at, UINT64_MAX);
  BlockHeader behind{};
  if (end < length_ && length_ - end >= kBlockHeaderSize && Fill(end, kBlockHeaderSize)) {
    std::memcpy(&behind, buffer_.data() + (end - bufferStart_), kBlockHeaderSize);
    if (behind.size <= length_ - end - kBlockHeaderSize) {
      emptyRunEnd_ = end;
      return true;
    }
  }
  next_ = at;
  --stepped_;
  return false;
}

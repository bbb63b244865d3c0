#include "database/definitions/record_block.h"

#include <algorithm>
#include <cstring>

#include "core/log/logger.h"
#include "database/blockfile/block_file.h"

using zor::platform::File;

namespace {

// Records are written through a buffer of this size, so that a list of small
// records costs a few writes rather than one per record.
constexpr std::size_t kWriteChunk = std::size_t{1} << 16;

}  // namespace

RecordBlockReader::RecordBlockReader(File& file) : file_(file) {
  const uint64_t at = file_.GetPosition();
  if (file_.Read(&header_, kBlockHeaderSize) != kBlockHeaderSize) {
    header_ = BlockHeader{};
    file_.Seek(static_cast<int64_t>(at), File::begin);
    return;
  }
  hasHeader_ = true;
  position_ = at + kBlockHeaderSize;
  const uint64_t length = file_.GetLength();
  const uint64_t there = length > position_ ? length - position_ : 0;
  cut_ = header_.size > there;
  end_ = position_ + std::min<uint64_t>(header_.size, there);
}

bool RecordBlockReader::Read(void* out, std::size_t n) {
  if (!hasHeader_ || n > Remaining()) return false;
  uint8_t* to = static_cast<uint8_t*>(out);
  std::size_t left = n;
  while (left > 0) {
    const auto k = static_cast<uint32_t>(std::min<std::size_t>(left, UINT32_MAX));
    const uint32_t got = file_.Read(to, k);
    position_ += got;
    if (got != k) {
      // The file shrank under us: nothing behind this point is there.
      end_ = position_;
      cut_ = true;
      return false;
    }
    to += k;
    left -= k;
  }
  return true;
}

bool RecordBlockReader::Read(std::vector<uint8_t>& out, std::size_t n) {
  if (!hasHeader_ || n > Remaining()) return false;
  out.resize(n);
  return Read(out.data(), n);
}

bool RecordBlockReader::Peek(void* out, std::size_t n) {
  const uint64_t at = position_;
  if (!Read(out, n)) return false;
  file_.Seek(static_cast<int64_t>(at), File::begin);
  position_ = at;
  return true;
}

bool RecordBlockReader::Finish(const char* what) {
  if (!hasHeader_) {
    Log(LogLevel::Warning, "The block of the %s is missing its header", what);
    return false;
  }
  if (!cut_ && AtEnd()) return true;
  Log(LogLevel::Warning,
      "The block of the %s (type %u, %u bytes) is damaged: %llu bytes were left unread%s", what,
      header_.type, header_.size, static_cast<unsigned long long>(Remaining()),
      cut_ ? ", the file ends inside it" : "");
  return false;
}

RecordBlockWriter::RecordBlockWriter(CBlockFile& file) : file_(file), start_(file.BeginBlock()) {
  buffer_.reserve(kWriteChunk);
}

void RecordBlockWriter::Write(const void* data, std::size_t n) {
  const auto* from = static_cast<const uint8_t*>(data);
  if (buffer_.size() + n > kWriteChunk) Flush();
  if (n >= kWriteChunk) {
    while (n > 0) {
      const auto k = static_cast<uint32_t>(std::min<std::size_t>(n, UINT32_MAX));
      file_.Write(from, k);
      from += k;
      n -= k;
    }
    return;
  }
  buffer_.insert(buffer_.end(), from, from + n);
}

void RecordBlockWriter::Flush() {
  if (buffer_.empty()) return;
  file_.Write(buffer_.data(), static_cast<uint32_t>(buffer_.size()));
  buffer_.clear();
}

uint64_t RecordBlockWriter::Finish(uint32_t type) {
  Flush();
  return file_.WriteBlockHeader(start_, file_.GetPosition() - start_, type);
}

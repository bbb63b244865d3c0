// Blocks of fixed-size records in the project database file: the form in
// which the object, ES-DTM, height and anchor lists store themselves.
//
//   // Writing at the file's position (the caller raises the block count):
//   RecordBlockWriter out(db);
//   for (const sHeightDef* h : heights) out.Write(h, sizeof *h);
//   out.Finish(kBlockHeightDefinitions);
//
//   // Reading the block whose header the file stands at:
//   RecordBlockReader in(db);
//   sHeightDef h;
//   while (in.Read(&h, sizeof h)) heights.AddCopy(h);
//   in.Finish("height definitions");   // one warning when the block was cut
//
// The reader trusts neither the block's size nor the file: it hands out only
// bytes that lie inside the block and inside the file, and never allocates by
// a size read from it. A record that does not lie in full inside the block is
// not handed out. Read and write errors throw zor::platform::FileException.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "database/blockfile/block_types.h"

class CBlockFile;
namespace zor::platform {
class File;
}

inline constexpr uint32_t kBlockObjectDefinitions = 5;
inline constexpr uint32_t kBlockEsDtmDefinitions = 23;
inline constexpr uint32_t kBlockHeightDefinitionsOld24 = 24;
inline constexpr uint32_t kBlockHeightDefinitionsOld25 = 25;
inline constexpr uint32_t kBlockHeightDefinitionsOld28 = 28;
inline constexpr uint32_t kBlockAnchorDefinitionsOld = 29;
inline constexpr uint32_t kBlockHeightDefinitionsOld30 = 30;
inline constexpr uint32_t kBlockHeightDefinitions = 31;
inline constexpr uint32_t kBlockAnchorDefinitions = 39;

class RecordBlockReader {
 public:
  // Reads the 8-byte block header at the file's position.
  explicit RecordBlockReader(zor::platform::File& file);
  RecordBlockReader(const RecordBlockReader&) = delete;
  RecordBlockReader& operator=(const RecordBlockReader&) = delete;

  // False when the header was not there in full; nothing can be read then.
  bool HasHeader() const noexcept { return hasHeader_; }
  const BlockHeader& Header() const noexcept { return header_; }

  // Block bytes not read yet that the file really holds.
  uint64_t Remaining() const noexcept { return end_ - position_; }
  bool AtEnd() const noexcept { return position_ == end_; }

  // Reads the next n bytes; false, reading nothing, when fewer remain.
  bool Read(void* out, std::size_t n);
  // Reads n bytes into `out` (resized to n).
  bool Read(std::vector<uint8_t>& out, std::size_t n);
  // Reads the next n bytes and steps back over them.
  bool Peek(void* out, std::size_t n);

  // True when every byte of the block was read and the block lies inside the
  // file. Otherwise logs one warning naming `what` and returns false.
  bool Finish(const char* what);

 private:
  zor::platform::File& file_;
  BlockHeader header_{};
  bool hasHeader_ = false;
  uint64_t position_ = 0;
  uint64_t end_ = 0;
  bool cut_ = false;  // the block runs past the end of the file
};

class RecordBlockWriter {
 public:
  // Reserves the block header at the file's position.
  explicit RecordBlockWriter(CBlockFile& file);
  RecordBlockWriter(const RecordBlockWriter&) = delete;
  RecordBlockWriter& operator=(const RecordBlockWriter&) = delete;

  void Write(const void* data, std::size_t n);
  // Writes what is buffered and completes the header with the type and the
  // data length; the file stands at the block's end, which is returned.
  uint64_t Finish(uint32_t type);

 private:
  void Flush();

  CBlockFile& file_;
  uint64_t start_;
  std::vector<uint8_t> buffer_;
};

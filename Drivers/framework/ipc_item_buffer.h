// The driver's view of one named settings buffer with 1-based block and
// record numbers: record r of block b is the r-th record of recordSize bytes
// in block index b - 1 of the Zor::MultiIPCBuffer inside.
//
//   CIpcItemBuffer settings("Settings");
//   Zor::MultiIPCBuffer& buf = settings.GetBuffer();
//   int index = buf.AddBlock(4, sizeof(sObsDef), 64);          // block number index + 1
//   settings.WriteRecord(index + 1, 1, &obs, sizeof obs);      // 1 when written
//   sObsDef copy;
//   for (uint32_t r = 1; r <= buf.GetValidRecordCount(index); ++r)
//     settings.ReadRecord(index + 1, r, &copy, sizeof copy);
//
// Every call checks the block and record numbers against the records the
// block really holds (its byte size over its record size, not the stored
// count) and returns 0 without copying when they are out of range; 1
// otherwise. The sized forms copy the smaller of the block's record size and
// the caller's size and zero the rest of the destination record; prefer them.
// The unsized forms copy exactly GetRecordSize bytes, so the caller's memory
// must hold that many.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "Drivers/framework/ipc_region.h"
#include "Drivers/framework/multi_ipc_buffer.h"

class CIpcItemBuffer {
 public:
  // An empty buffer on the heap.
  CIpcItemBuffer() = default;
  // A named buffer over a region (null: an empty heap region).
  explicit CIpcItemBuffer(std::string name, std::unique_ptr<Zor::IMemoryRegion> region = nullptr)
      : name_(std::move(name)), buffer_(std::move(region)) {}
  // Name and buffer move together and never throw; the buffer moved from
  // keeps no name and no blocks.
  CIpcItemBuffer(CIpcItemBuffer&& other) noexcept
      : name_(std::exchange(other.name_, {})), buffer_(std::move(other.buffer_)) {}
  CIpcItemBuffer& operator=(CIpcItemBuffer&& other) noexcept {
    if (this != &other) {
      name_ = std::exchange(other.name_, {});
      buffer_ = std::move(other.buffer_);
    }
    return *this;
  }

  const std::string& GetName() const noexcept { return name_; }
  Zor::MultiIPCBuffer& GetBuffer() noexcept { return buffer_; }
  const Zor::MultiIPCBuffer& GetBuffer() const noexcept { return buffer_; }

  int ReadRecord(int block, int record, void* dest) const;
  int ReadRecord(int block, int record, void* dest, std::size_t destSize) const;
  int WriteRecord(int block, int record, const void* src);
  int WriteRecord(int block, int record, const void* src, std::size_t srcSize);

 private:
  // The record's offset in its block and the block's record size; false
  // when the block or record number is out of range.
  bool FindRecord(int block, int record, std::size_t* offset, uint32_t* size) const;

  std::string name_;
  Zor::MultiIPCBuffer buffer_;
};

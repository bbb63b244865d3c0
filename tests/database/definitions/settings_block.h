// Settings buffers for the header tests, built so that a read past a block is
// a read past the heap allocation (AddressSanitizer reports it).
//
//   auto settings = BlockBuffer(bytes, /*count=*/3, /*recordSize=*/0);
//   list.ReadFromSettingsBuffer(settings.get(), 1);
//   std::vector<uint8_t> now = BlockBytes(*settings, 1);
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"
#include "Drivers/framework/ipc_region.h"

// A buffer whose block 1, the last bytes of its region, holds exactly `bytes`
// with the given stored record count and record size. The region is fixed.
inline std::unique_ptr<CIpcItemBuffer> BlockBuffer(const std::vector<uint8_t>& bytes,
                                                   uint32_t count, uint32_t recordSize) {
  Zor::MultiIPCBuffer work;
  const int index = work.AddBlock(23, recordSize, 0);
  work.ResizeBlock(index, static_cast<uint32_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(work.GetBlockData(index), bytes.data(), bytes.size());
  work.SetRecordCount(index, count);
  const uint8_t* region = work.GetRegion().data();
  std::vector<uint8_t> exact(region, region + work.GetRegion().size());  // capacity == size
  return std::make_unique<CIpcItemBuffer>(
      "Settings", std::make_unique<Zor::HeapMemoryRegion>(std::move(exact), /*fixed=*/true));
}

// A growable buffer with one empty block of the given record size and capacity.
inline std::unique_ptr<CIpcItemBuffer> EmptyBuffer(uint32_t recordSize, uint32_t capacity) {
  auto settings = std::make_unique<CIpcItemBuffer>("Settings");
  settings->GetBuffer().AddBlock(23, recordSize, capacity);
  return settings;
}

// The bytes of block `item` (from 1).
inline std::vector<uint8_t> BlockBytes(const CIpcItemBuffer& settings, int item) {
  const Zor::MultiIPCBuffer& buf = settings.GetBuffer();
  const uint8_t* data = buf.GetBlockData(item - 1);
  if (data == nullptr) return {};
  return std::vector<uint8_t>(data, data + buf.GetBlockSize(item - 1));
}

// Little-endian bytes appended to a vector, for building expected images.
class ByteWriter {
 public:
  template <typename T>
  ByteWriter& Put(T value) {
    uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes_.insert(bytes_.end(), raw, raw + sizeof(T));
    return *this;
  }
  ByteWriter& Fill(std::size_t n, uint8_t byte) {
    bytes_.insert(bytes_.end(), n, byte);
    return *this;
  }
  // One packed header entry: the 28-byte image (payload reference 0) and the
  // payload.
  ByteWriter& Entry(uint32_t recId, const std::vector<uint8_t>& payload, int32_t link,
                    int32_t reserved, uint32_t filePos, uint8_t flag) {
    Put<uint32_t>(0).Put(recId).Put(static_cast<uint32_t>(payload.size())).Put(link);
    Put(reserved).Put(filePos).Put(flag).Fill(3, 0);
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

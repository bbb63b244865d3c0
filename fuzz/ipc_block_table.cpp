// Arbitrary settings-buffer images (block table, sizes, counts, offsets)
// through the readers and writers: nothing may touch memory outside the
// region or outside the caller's record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // The first bytes steer the calls; the rest is the region image.
  if (size < 8) return 0;
  uint32_t destSize = 0;
  uint32_t newSize = 0;
  std::memcpy(&destSize, data, 2);
  std::memcpy(&newSize, data + 2, 2);
  const bool fixed = (data[4] & 1) != 0;
  const bool stampMagic = (data[4] & 2) != 0;
  data += 8;
  size -= 8;

  std::vector<uint8_t> image(data, data + size);
  // Lets short runs reach the table without first finding the magic.
  if (stampMagic && image.size() >= 4) std::memcpy(image.data(), &Zor::kIpcBufferMagic, 4);
  auto region = std::make_unique<Zor::HeapMemoryRegion>(std::move(image), fixed);
  CIpcItemBuffer items("fuzz", std::move(region));
  Zor::MultiIPCBuffer& buffer = items.GetBuffer();
  std::vector<uint8_t> record(destSize);
  const int blocks = static_cast<int>(buffer.GetBlockCount());
  for (int index = -1; index <= blocks; ++index) {
    const uint8_t* bytes = buffer.GetBlockData(index);
    const uint32_t blockSize = buffer.GetBlockSize(index);
    uint32_t sum = 0;
    for (uint32_t i = 0; bytes != nullptr && i < blockSize; ++i) sum += bytes[i];
    (void)sum;
    const uint32_t valid = buffer.GetValidRecordCount(index);
    for (uint32_t r = 0; r <= valid + 1 && r < 64; ++r) {
      items.ReadRecord(index + 1, static_cast<int>(r), record.data(), record.size());
      items.WriteRecord(index + 1, static_cast<int>(r), record.data(), record.size());
      // The unsized form copies the block's record size: only with room for it.
      if (buffer.GetRecordSize(index) <= record.size())
        items.ReadRecord(index + 1, static_cast<int>(r), record.data());
    }
    buffer.SetRecordCount(index, buffer.GetRecordCount(index));
  }
  if (blocks > 0) {
    buffer.ResizeBlock(static_cast<int>(newSize % static_cast<uint32_t>(blocks)), newSize, destSize);
    for (int index = 0; index < static_cast<int>(buffer.GetBlockCount()); ++index) {
      uint8_t* bytes = buffer.GetBlockData(index);
      if (bytes != nullptr) std::memset(bytes, 0xA5, buffer.GetBlockSize(index));
    }
  }
  buffer.AddBlock(1, destSize & 0xFF, newSize & 0xFF);
  return 0;
}

#include "Drivers/framework/ipc_item_buffer.h"

#include <algorithm>
#include <cstring>

bool CIpcItemBuffer::FindRecord(int block, int record, std::size_t* offset, uint32_t* size) const {
  if (block < 1 || record < 1) return false;
  const int index = block - 1;
  // The capacity comes from the block's real byte size, never the stored count.
  if (static_cast<uint32_t>(record) > buffer_.GetRecordCapacity(index)) return false;
  *size = buffer_.GetRecordSize(index);
  *offset = std::size_t{*size} * static_cast<uint32_t>(record - 1);
  return true;
}

int CIpcItemBuffer::ReadRecord(int block, int record, void* dest) const {
  std::size_t offset = 0;
  uint32_t size = 0;
  if (dest == nullptr || !FindRecord(block, record, &offset, &size)) return 0;
  std::memcpy(dest, buffer_.GetBlockData(block - 1) + offset, size);
  return 1;
}

int CIpcItemBuffer::ReadRecord(int block, int record, void* dest, std::size_t destSize) const {
  std::size_t offset = 0;
  uint32_t size = 0;
  if (dest == nullptr || !FindRecord(block, record, &offset, &size)) return 0;
  const std::size_t n = std::min<std::size_t>(size, destSize);
  std::memcpy(dest, buffer_.GetBlockData(block - 1) + offset, n);
  std::memset(static_cast<uint8_t*>(dest) + n, 0, destSize - n);
  return 1;
}

int CIpcItemBuffer::WriteRecord(int block, int record, const void* src) {
  std::size_t offset = 0;
  uint32_t size = 0;
  if (src == nullptr || !FindRecord(block, record, &offset, &size)) return 0;
  std::memcpy(buffer_.GetBlockData(block - 1) + offset, src, size);
  return 1;
}

int CIpcItemBuffer::WriteRecord(int block, int record, const void* src, std::size_t srcSize) {
  std::size_t offset = 0;
  uint32_t size = 0;
  if (src == nullptr || !FindRecord(block, record, &offset, &size)) return 0;
  uint8_t* at = buffer_.GetBlockData(block - 1) + offset;
  const std::size_t n = std::min<std::size_t>(size, srcSize);
  std::memcpy(at, src, n);
  std::memset(at + n, 0, size - n);
  return 1;
}

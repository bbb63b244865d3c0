#include "Drivers/framework/multi_ipc_buffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "platform/bytes.h"

namespace Zor {

namespace {

constexpr std::size_t kHeaderSize = sizeof(sIpcBufferHeader);
constexpr std::size_t kInfoSize = sizeof(sIpcBlockInfo);
// Offsets and sizes are stored in 32 bits.
constexpr uint64_t kMaxRegionSize = std::numeric_limits<uint32_t>::max();

std::size_t InfoOffset(int index) {
  return kHeaderSize + static_cast<std::size_t>(index) * kInfoSize;
}

}  // namespace

MultiIPCBuffer::MultiIPCBuffer() : region_(std::make_unique<HeapMemoryRegion>()) { Format(); }

MultiIPCBuffer::MultiIPCBuffer(std::unique_ptr<IMemoryRegion> region)
    : region_(region ? std::move(region) : std::make_unique<HeapMemoryRegion>()) {}

MultiIPCBuffer::MultiIPCBuffer(MultiIPCBuffer&& other) noexcept
    : region_(std::move(other.region_)), exclusive_(std::exchange(other.exclusive_, false)) {}

MultiIPCBuffer& MultiIPCBuffer::operator=(MultiIPCBuffer&& other) noexcept {
  if (this == &other) return *this;
  region_ = std::move(other.region_);
  exclusive_ = std::exchange(other.exclusive_, false);
  return *this;
}

IMemoryRegion& MultiIPCBuffer::Region() const noexcept {
  // Fixed at size 0: resize(0) succeeds without touching it and every other
  // size fails, and its data are null, so it is never written and can be
  // shared by every moved-from buffer of every thread. It lives in storage
  // that is never destroyed: a static object made before its first use is
  // destroyed after it, and may still read it from its destructor.
  alignas(HeapMemoryRegion) static unsigned char storage[sizeof(HeapMemoryRegion)];
  static HeapMemoryRegion* const empty = new (storage) HeapMemoryRegion({}, /*fixed=*/true);
  return region_ ? *region_ : *empty;
}

bool MultiIPCBuffer::Format() {
  if (!region_) {  // moved from: a region of its own on first use
    try {
      region_ = std::make_unique<HeapMemoryRegion>();
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  if (!Region().resize(kHeaderSize) && Region().size() < kHeaderSize) return false;
  std::memset(Region().data(), 0, Region().size());
  const sIpcBufferHeader header{kIpcBufferMagic, 0, 0, 0};
  std::memcpy(Region().data(), &header, sizeof header);
  return true;
}

bool MultiIPCBuffer::ReadHeader(sIpcBufferHeader& header) const {
  std::span<const uint8_t> bytes(Region().data(), Region().size());
  return zor::platform::GetLE(bytes, 0, header) && header.magic == kIpcBufferMagic;
}

uint32_t MultiIPCBuffer::GetBlockCount() const {
  sIpcBufferHeader header{};
  if (!ReadHeader(header)) return 0;
  const uint64_t fit = (Region().size() - kHeaderSize) / kInfoSize;
  return static_cast<uint32_t>(std::min<uint64_t>(header.blockCount, fit));
}

std::size_t MultiIPCBuffer::TableEnd() const { return InfoOffset(static_cast<int>(GetBlockCount())); }

bool MultiIPCBuffer::ReadInfo(int index, sIpcBlockInfo& info) const {
  if (index < 0 || static_cast<uint32_t>(index) >= GetBlockCount()) return false;
  std::span<const uint8_t> bytes(Region().data(), Region().size());
  return zor::platform::GetLE(bytes, InfoOffset(index), info);
}

void MultiIPCBuffer::WriteInfo(int index, const sIpcBlockInfo& info) {
  std::span<uint8_t> bytes(Region().data(), Region().size());
  zor::platform::SetLE(bytes, InfoOffset(index), info);
}

bool MultiIPCBuffer::ReadPlacedInfo(int index, sIpcBlockInfo& info) const {
  if (!ReadInfo(index, info)) return false;
  // Data inside the table would let a write through the block corrupt it.
  return info.dataOffset >= TableEnd() &&
         zor::platform::InBounds(Region().size(), info.dataOffset, info.byteSize);
}

int MultiIPCBuffer::AddBlock(uint32_t id, uint32_t recordSize, uint32_t recordCapacity) {
  const uint64_t byteSize = uint64_t{recordSize} * recordCapacity;
  if (byteSize > kMaxRegionSize) return -1;
  sIpcBufferHeader header{};
  if (!ReadHeader(header) && !(Format() && ReadHeader(header))) return -1;
  const uint32_t count = GetBlockCount();
  if (count >= static_cast<uint32_t>(std::numeric_limits<int>::max())) return -1;
  const std::size_t oldSize = Region().size();
  const std::size_t tableEnd = InfoOffset(static_cast<int>(count));
  const uint64_t newSize = uint64_t{oldSize} + kInfoSize + byteSize;
  if (newSize > kMaxRegionSize || !Region().resize(static_cast<std::size_t>(newSize))) return -1;

  // Open a slot for the descriptor: everything behind the table moves up.
  uint8_t* base = Region().data();
  if (oldSize > tableEnd) std::memmove(base + tableEnd + kInfoSize, base + tableEnd, oldSize - tableEnd);
  std::memset(base + tableEnd, 0, kInfoSize);
  std::memset(base + oldSize + kInfoSize, 0, static_cast<std::size_t>(byteSize));

  header.magic = kIpcBufferMagic;
  header.blockCount = count + 1;
  std::memcpy(base, &header, sizeof header);
  for (uint32_t i = 0; i < count; ++i) {
    sIpcBlockInfo info{};
    if (!ReadInfo(static_cast<int>(i), info)) continue;
    if (info.dataOffset >= tableEnd) {
      info.dataOffset += static_cast<uint32_t>(kInfoSize);
      WriteInfo(static_cast<int>(i), info);
    }
  }
  sIpcBlockInfo info{};
  info.id = id;
  info.byteSize = static_cast<uint32_t>(byteSize);
  info.recordSize = recordSize;
  info.dataOffset = static_cast<uint32_t>(oldSize + kInfoSize);
  WriteInfo(static_cast<int>(count), info);
  return static_cast<int>(count);
}

int MultiIPCBuffer::FindBlock(uint32_t id) const {
  const uint32_t count = GetBlockCount();
  for (uint32_t i = 0; i < count; ++i) {
    sIpcBlockInfo info{};
    if (ReadInfo(static_cast<int>(i), info) && info.id == id) return static_cast<int>(i);
  }
  return -1;
}

uint32_t MultiIPCBuffer::GetBlockId(int index) const {
  sIpcBlockInfo info{};
  return ReadInfo(index, info) ? info.id : 0;
}

bool MultiIPCBuffer::ResizeBlock(int index, uint32_t newByteSize) {
  sIpcBlockInfo info{};
  if (!ReadInfo(index, info)) return false;
  return ResizeBlock(index, newByteSize, info.recordSize);
}

bool MultiIPCBuffer::ResizeBlock(int index, uint32_t newByteSize, uint32_t newRecordSize) {
  sIpcBlockInfo info{};
  if (!ReadPlacedInfo(index, info)) return false;
  const std::size_t oldSize = Region().size();
  const std::size_t oldEnd = std::size_t{info.dataOffset} + info.byteSize;
  const uint64_t newRegionSize = uint64_t{oldSize} - info.byteSize + newByteSize;
  if (newRegionSize > kMaxRegionSize) return false;

  const uint8_t* base = Region().data();
  std::vector<uint8_t> former(base + info.dataOffset, base + oldEnd);
  std::vector<uint8_t> tail(base + oldEnd, base + oldSize);
  if (!Region().resize(static_cast<std::size_t>(newRegionSize))) return false;

  uint8_t* data = Region().data() + info.dataOffset;
  if (!tail.empty()) std::memcpy(data + newByteSize, tail.data(), tail.size());
  std::memset(data, 0, newByteSize);
  if (info.recordSize > 0 && newRecordSize > 0) {
    const uint32_t kept = std::min(info.byteSize / info.recordSize, newByteSize / newRecordSize);
    const uint32_t width = std::min(info.recordSize, newRecordSize);
    for (uint32_t r = 0; r < kept; ++r) {
      std::memcpy(data + std::size_t{r} * newRecordSize, former.data() + std::size_t{r} * info.recordSize,
                  width);
    }
  }

  const int64_t delta = int64_t{newByteSize} - int64_t{info.byteSize};
  const uint32_t count = GetBlockCount();
  for (uint32_t i = 0; i < count; ++i) {
    if (static_cast<int>(i) == index) continue;
    sIpcBlockInfo other{};
    if (!ReadInfo(static_cast<int>(i), other)) continue;
    if (other.dataOffset < oldEnd || other.dataOffset > oldSize) continue;
    other.dataOffset = static_cast<uint32_t>(other.dataOffset + delta);
    WriteInfo(static_cast<int>(i), other);
  }
  info.byteSize = newByteSize;
  info.recordSize = newRecordSize;
  WriteInfo(index, info);
  return true;
}

uint8_t* MultiIPCBuffer::GetBlockData(int index) {
  sIpcBlockInfo info{};
  return ReadPlacedInfo(index, info) ? Region().data() + info.dataOffset : nullptr;
}

const uint8_t* MultiIPCBuffer::GetBlockData(int index) const {
  sIpcBlockInfo info{};
  return ReadPlacedInfo(index, info) ? Region().data() + info.dataOffset : nullptr;
}

uint32_t MultiIPCBuffer::GetBlockSize(int index) const {
  sIpcBlockInfo info{};
  return ReadPlacedInfo(index, info) ? info.byteSize : 0;
}

uint32_t MultiIPCBuffer::GetRecordSize(int index) const {
  sIpcBlockInfo info{};
  return ReadInfo(index, info) ? info.recordSize : 0;
}

uint32_t MultiIPCBuffer::GetRecordCount(int index) const {
  sIpcBlockInfo info{};
  return ReadInfo(index, info) ? info.recordCount : 0;
}

uint32_t MultiIPCBuffer::GetRecordCapacity(int index) const {
  sIpcBlockInfo info{};
  if (!ReadPlacedInfo(index, info) || info.recordSize == 0) return 0;
  return info.byteSize / info.recordSize;
}

uint32_t MultiIPCBuffer::GetValidRecordCount(int index) const {
  return std::min(GetRecordCount(index), GetRecordCapacity(index));
}

void MultiIPCBuffer::SetRecordCount(int index, uint32_t count) {
  sIpcBlockInfo info{};
  if (!ReadInfo(index, info)) return;
  info.recordCount = count;
  if (exclusive_) {
    ++info.accessCount;  // wraps
    sIpcBufferHeader header{};
    if (ReadHeader(header)) {
      header.modified = 1;
      std::memcpy(Region().data(), &header, sizeof header);
    }
  }
  WriteInfo(index, info);
}

uint32_t MultiIPCBuffer::GetRingIndex(int index) const {
  sIpcBlockInfo info{};
  return ReadInfo(index, info) ? info.ringIndex : 0;
}

void MultiIPCBuffer::SetRingIndex(int index, uint32_t ringIndex) {
  sIpcBlockInfo info{};
  if (!ReadInfo(index, info)) return;
  info.ringIndex = ringIndex;
  WriteInfo(index, info);
}

double MultiIPCBuffer::GetBlockTime(int index) const {
  sIpcBlockInfo info{};
  return ReadInfo(index, info) ? info.time : 0.0;
}

void MultiIPCBuffer::SetBlockTime(int index, double time) {
  sIpcBlockInfo info{};
  if (!ReadInfo(index, info)) return;
  info.time = time;
  WriteInfo(index, info);
}

uint32_t MultiIPCBuffer::GetAccessCount(int index) const {
  sIpcBlockInfo info{};
  return ReadInfo(index, info) ? info.accessCount : 0;
}

bool MultiIPCBuffer::IsModified() const {
  sIpcBufferHeader header{};
  return ReadHeader(header) && header.modified != 0;
}

void MultiIPCBuffer::ClearModified() {
  sIpcBufferHeader header{};
  if (!ReadHeader(header)) return;
  header.modified = 0;
  std::memcpy(Region().data(), &header, sizeof header);
}

}  // namespace Zor

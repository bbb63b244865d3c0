// A block table over one byte region: the settings buffer that the controller
// fills and every driver process reads. Each block is a table of fixed-size
// records (or, for packed blocks, a byte string) with its valid record count.
//
//   Zor::MultiIPCBuffer buffer;                       // own, empty heap region
//   int obs = buffer.AddBlock(/*id=*/4, /*recordSize=*/240, /*capacity=*/64);
//   uint8_t* rec = buffer.GetBlockData(obs);          // 64 * 240 zero bytes
//   ...
//   {
//     Zor::ExclusiveHold hold(buffer);                // writer side
//     buffer.SetRecordCount(obs, 3);                  // marks modified, counts access
//   }
//   uint32_t n = buffer.GetValidRecordCount(obs);     // reader side: 3
//
// Block indices are 0-based (a block number minus 1). The caller holds the
// buffer's lock around these calls; none of them takes it.
//
// Everything in the region, the table included, may come from another
// process and is untrusted. A block whose descriptor points outside the
// region or into the table has no data (null, size 0). An index outside the
// table gives null / 0 and the setters do nothing. GetRecordCount returns the
// stored count as it stands (packed blocks keep a count of entries there);
// table readers take GetValidRecordCount, which never exceeds the records the
// block really holds.
//
// Region layout (little-endian): an sIpcBufferHeader, the table of
// sIpcBlockInfo descriptors (blockCount of them), then the blocks' bytes. The
// region is exactly as long as the bytes in use; adding or resizing a block
// resizes the region and moves the bytes behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Drivers/framework/ipc_region.h"

namespace Zor {

struct sIpcBufferHeader {
  uint32_t magic;       // kIpcBufferMagic when the region is formatted
  uint32_t blockCount;  // descriptors that follow the header
  uint32_t modified;    // 1 after a change made while held exclusively
  uint32_t reserved;    // zero
};
static_assert(sizeof(sIpcBufferHeader) == 16);
static_assert(offsetof(sIpcBufferHeader, blockCount) == 4);
static_assert(offsetof(sIpcBufferHeader, modified) == 8);

struct sIpcBlockInfo {
  uint32_t id;           // the owner's name for the block
  uint32_t byteSize;     // bytes of data
  uint32_t recordSize;   // bytes per record; 0 for a block of no records
  uint32_t recordCount;  // valid records (or packed entries), as stored
  uint32_t ringIndex;    // next record a ring writer fills
  uint32_t accessCount;  // incremented by each exclusive SetRecordCount
  uint32_t dataOffset;   // from the start of the region
  uint32_t reserved;     // zero
  double time;           // the owner's time stamp of the last change
};
static_assert(sizeof(sIpcBlockInfo) == 40);
static_assert(offsetof(sIpcBlockInfo, byteSize) == 4);
static_assert(offsetof(sIpcBlockInfo, recordSize) == 8);
static_assert(offsetof(sIpcBlockInfo, recordCount) == 12);
static_assert(offsetof(sIpcBlockInfo, ringIndex) == 16);
static_assert(offsetof(sIpcBlockInfo, accessCount) == 20);
static_assert(offsetof(sIpcBlockInfo, dataOffset) == 24);
static_assert(offsetof(sIpcBlockInfo, time) == 32);

inline constexpr uint32_t kIpcBufferMagic = 0x4350495Au;  // "ZIPC"

class MultiIPCBuffer {
 public:
  // An empty, formatted buffer on its own heap region.
  MultiIPCBuffer();
  // Attaches to a region as it stands (a null region becomes an empty heap
  // region). An unformatted region shows no blocks until Format or AddBlock.
  explicit MultiIPCBuffer(std::unique_ptr<IMemoryRegion> region);

  MultiIPCBuffer(const MultiIPCBuffer&) = delete;
  MultiIPCBuffer& operator=(const MultiIPCBuffer&) = delete;
  // A buffer moved from shows a shared, read-only empty region: like a
  // buffer attached to an empty region it shows no blocks and takes any call,
  // and Format or AddBlock gives it a heap region of its own (failing, as
  // when the region cannot grow, if memory runs out). The moves allocate
  // nothing and never throw, so containers and std::swap move buffers
  // without losing one.
  MultiIPCBuffer(MultiIPCBuffer&& other) noexcept;
  MultiIPCBuffer& operator=(MultiIPCBuffer&& other) noexcept;

  // Empties the buffer: a header with no blocks. False when the region
  // cannot hold the header.
  bool Format();

  // Appends a zeroed block of recordSize * recordCapacity bytes with record
  // count 0 (formatting an unformatted region first). Returns its index, or
  // -1 when the sizes overflow 32 bits or the region cannot grow.
  int AddBlock(uint32_t id, uint32_t recordSize, uint32_t recordCapacity);

  // Index of the first block with that id, or -1.
  int FindBlock(uint32_t id) const;

  // Descriptors that the region really holds (the stored count, bounded).
  uint32_t GetBlockCount() const;
  uint32_t GetBlockId(int index) const;

  // Changes the block's size to newByteSize (and its record size), moving the
  // blocks behind it. The data are zeroed and then hold as many of the former
  // records as fit, each cut to the smaller record size. The record count is
  // left as it was. False (nothing changed) for a bad index or when the region
  // cannot take the new size.
  bool ResizeBlock(int index, uint32_t newByteSize);
  bool ResizeBlock(int index, uint32_t newByteSize, uint32_t newRecordSize);

  // The block's first data byte, or null. Valid until the next AddBlock,
  // ResizeBlock or Format; GetBlockSize bytes may be read and written.
  uint8_t* GetBlockData(int index);
  const uint8_t* GetBlockData(int index) const;
  uint32_t GetBlockSize(int index) const;

  uint32_t GetRecordSize(int index) const;
  uint32_t GetRecordCount(int index) const;
  // Records of recordSize that fit in the block (0 when recordSize is 0).
  uint32_t GetRecordCapacity(int index) const;
  // min(GetRecordCount, GetRecordCapacity).
  uint32_t GetValidRecordCount(int index) const;

  // Stores the count as given; when the buffer is held exclusively it also
  // marks the buffer modified and increments the block's access counter.
  void SetRecordCount(int index, uint32_t count);

  uint32_t GetRingIndex(int index) const;
  void SetRingIndex(int index, uint32_t ringIndex);
  double GetBlockTime(int index) const;
  void SetBlockTime(int index, double time);
  uint32_t GetAccessCount(int index) const;

  // The exclusive hold of this view. With a heap region there is no other
  // process to exclude, so the hold is only the state SetRecordCount checks.
  void AcquireExclusive() noexcept { exclusive_ = true; }
  void ReleaseExclusive() noexcept { exclusive_ = false; }
  bool IsHeldExclusively() const noexcept { return exclusive_; }

  bool IsModified() const;
  void ClearModified();

  IMemoryRegion& GetRegion() noexcept { return Region(); }
  const IMemoryRegion& GetRegion() const noexcept { return Region(); }

 private:
  bool ReadHeader(sIpcBufferHeader& header) const;
  bool ReadInfo(int index, sIpcBlockInfo& info) const;
  void WriteInfo(int index, const sIpcBlockInfo& info);
  // Reads the descriptor and checks that its data lie inside the block area.
  bool ReadPlacedInfo(int index, sIpcBlockInfo& info) const;
  std::size_t TableEnd() const;
  // The region, or the shared empty one while there is none (moved from).
  IMemoryRegion& Region() const noexcept;

  std::unique_ptr<IMemoryRegion> region_;  // null after a move
  bool exclusive_ = false;
};

// Holds a buffer exclusively for the lifetime of the object.
class ExclusiveHold {
 public:
  explicit ExclusiveHold(MultiIPCBuffer& buffer) : buffer_(buffer) { buffer_.AcquireExclusive(); }
  ~ExclusiveHold() { buffer_.ReleaseExclusive(); }
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;

 private:
  MultiIPCBuffer& buffer_;
};

}  // namespace Zor

#include "Drivers/framework/multi_ipc_buffer.h"

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Zor::MultiIPCBuffer;

// Fills a block's bytes with a recognisable pattern: record r, byte i -> r * 16 + i.
void FillRecords(MultiIPCBuffer& buffer, int index) {
  uint8_t* data = buffer.GetBlockData(index);
  const uint32_t rs = buffer.GetRecordSize(index);
  for (uint32_t i = 0; i < buffer.GetBlockSize(index); ++i)
    data[i] = static_cast<uint8_t>((i / rs) * 16 + i % rs);
}

std::vector<uint8_t> BlockBytes(const MultiIPCBuffer& buffer, int index) {
  const uint8_t* data = buffer.GetBlockData(index);
  return std::vector<uint8_t>(data, data + buffer.GetBlockSize(index));
}

TEST(MultiIPCBuffer, BlocksAreAddedZeroedAndKeepTheirDataWhenOthersFollow) {
  MultiIPCBuffer buffer;
  EXPECT_EQ(buffer.GetBlockCount(), 0u);
  const int a = buffer.AddBlock(4, 8, 3);
  ASSERT_EQ(a, 0);
  FillRecords(buffer, a);
  const std::vector<uint8_t> before = BlockBytes(buffer, a);

  const int b = buffer.AddBlock(5, 16, 2);
  ASSERT_EQ(b, 1);
  EXPECT_EQ(buffer.GetBlockCount(), 2u);
  EXPECT_EQ(BlockBytes(buffer, a), before);
  EXPECT_EQ(BlockBytes(buffer, b), std::vector<uint8_t>(32, 0));
  EXPECT_EQ(buffer.GetBlockSize(a), 24u);
  EXPECT_EQ(buffer.GetRecordSize(b), 16u);
  EXPECT_EQ(buffer.GetRecordCapacity(b), 2u);
  EXPECT_EQ(buffer.GetRecordCount(b), 0u);
  EXPECT_EQ(buffer.FindBlock(5), 1);
  EXPECT_EQ(buffer.FindBlock(6), -1);
  EXPECT_EQ(buffer.GetBlockId(0), 4u);
  // The region holds header, table and data and nothing more.
  EXPECT_EQ(buffer.GetRegion().size(), 16u + 2 * 40 + 24 + 32);
  EXPECT_EQ(buffer.AddBlock(7, 0x10000, 0x10000), -1);  // 2^32 bytes
}

TEST(MultiIPCBuffer, AMovedFromBufferIsEmptyAndUsable) {
  MultiIPCBuffer source;
  FillRecords(source, source.AddBlock(4, 8, 3));
  const std::vector<uint8_t> data = BlockBytes(source, 0);
  source.AcquireExclusive();

  MultiIPCBuffer built(std::move(source));
  EXPECT_EQ(BlockBytes(built, 0), data);
  EXPECT_TRUE(built.IsHeldExclusively());
  EXPECT_EQ(source.GetBlockCount(), 0u);  // NOLINT(bugprone-use-after-move)
  EXPECT_FALSE(source.IsHeldExclusively());
  EXPECT_EQ(source.GetBlockData(0), nullptr);
  ASSERT_EQ(source.AddBlock(9, 4, 2), 0);
  EXPECT_EQ(source.GetRecordCapacity(0), 2u);

  MultiIPCBuffer assigned;
  assigned = std::move(built);
  EXPECT_EQ(BlockBytes(assigned, 0), data);
  EXPECT_EQ(built.FindBlock(4), -1);  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(built.Format());
  MultiIPCBuffer& same = assigned;
  assigned = std::move(same);
  EXPECT_EQ(BlockBytes(assigned, 0), data);
}

TEST(MultiIPCBuffer, ResizeKeepsTheRecordsThatFitAndMovesTheBlocksBehind) {
  MultiIPCBuffer buffer;
  const int a = buffer.AddBlock(1, 4, 3);
  const int b = buffer.AddBlock(2, 2, 2);
  FillRecords(buffer, a);
  FillRecords(buffer, b);
  const std::vector<uint8_t> behind = BlockBytes(buffer, b);

  ASSERT_TRUE(buffer.ResizeBlock(a, 20));  // 5 records, 2 new ones zero
  EXPECT_EQ(BlockBytes(buffer, a),
            (std::vector<uint8_t>{0, 1, 2, 3, 16, 17, 18, 19, 32, 33, 34, 35, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(BlockBytes(buffer, b), behind);

  ASSERT_TRUE(buffer.ResizeBlock(a, 6));  // one whole record; the partial one is zero
  EXPECT_EQ(BlockBytes(buffer, a), (std::vector<uint8_t>{0, 1, 2, 3, 0, 0}));
  EXPECT_EQ(BlockBytes(buffer, b), behind);

  buffer.SetRecordCount(a, 1);
  ASSERT_TRUE(buffer.ResizeBlock(a, 0));
  EXPECT_EQ(buffer.GetBlockSize(a), 0u);
  EXPECT_NE(buffer.GetBlockData(a), nullptr);
  EXPECT_EQ(buffer.GetRecordCount(a), 1u);       // stored as it was
  EXPECT_EQ(buffer.GetValidRecordCount(a), 0u);  // but nothing to read
  EXPECT_EQ(BlockBytes(buffer, b), behind);
  EXPECT_EQ(buffer.GetRegion().size(), 16u + 2 * 40 + 0 + 4);
  EXPECT_FALSE(buffer.ResizeBlock(2, 8));
  EXPECT_FALSE(buffer.ResizeBlock(-1, 8));
}

TEST(MultiIPCBuffer, ResizeWithANewRecordSizeCutsEachRecord) {
  MultiIPCBuffer buffer;
  const int a = buffer.AddBlock(1, 4, 3);
  FillRecords(buffer, a);
  ASSERT_TRUE(buffer.ResizeBlock(a, 12, 2));  // records cut to 2 bytes
  EXPECT_EQ(buffer.GetRecordSize(a), 2u);
  EXPECT_EQ(BlockBytes(buffer, a), (std::vector<uint8_t>{0, 1, 16, 17, 32, 33, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(buffer.ResizeBlock(a, 6, 3));  // widened: third byte zero, two records fit
  EXPECT_EQ(BlockBytes(buffer, a), (std::vector<uint8_t>{0, 1, 0, 16, 17, 0}));
}

TEST(MultiIPCBuffer, RecordCountCountsAccessOnlyWhenHeldExclusively) {
  MultiIPCBuffer buffer;
  const int a = buffer.AddBlock(1, 4, 3);
  buffer.SetRecordCount(a, 2);
  EXPECT_EQ(buffer.GetRecordCount(a), 2u);
  EXPECT_EQ(buffer.GetAccessCount(a), 0u);
  EXPECT_FALSE(buffer.IsModified());
  {
    Zor::ExclusiveHold hold(buffer);
    EXPECT_TRUE(buffer.IsHeldExclusively());
    buffer.SetRecordCount(a, 3);
    buffer.SetRecordCount(a, 3);
  }
  EXPECT_FALSE(buffer.IsHeldExclusively());
  EXPECT_EQ(buffer.GetAccessCount(a), 2u);
  EXPECT_TRUE(buffer.IsModified());
  buffer.ClearModified();
  EXPECT_FALSE(buffer.IsModified());
  buffer.SetRecordCount(9, 1);  // no such block: nothing happens
  EXPECT_EQ(buffer.GetRecordCount(9), 0u);
}

// A buffer image as another process might leave it, with its table patched.
class MultiIPCBufferImage : public ::testing::Test {
 protected:
  void SetUp() override {
    MultiIPCBuffer writer;
    writer.AddBlock(1, 8, 4);
    writer.AddBlock(2, 4, 2);
    const Zor::IMemoryRegion& r = writer.GetRegion();
    image_.assign(r.data(), r.data() + r.size());
  }
  void PatchInfo(int index, std::size_t field, uint32_t value) {
    std::memcpy(image_.data() + 16 + index * 40 + field, &value, 4);
  }
  MultiIPCBuffer Attach(bool fixed = true) {
    return MultiIPCBuffer(std::make_unique<Zor::HeapMemoryRegion>(image_, fixed));
  }
  std::vector<uint8_t> image_;
};

TEST_F(MultiIPCBufferImage, CountsAndSizesAreBoundedByTheRegion) {
  PatchInfo(0, offsetof(Zor::sIpcBlockInfo, recordCount), 1000);
  PatchInfo(1, offsetof(Zor::sIpcBlockInfo, recordSize), 0);
  PatchInfo(1, offsetof(Zor::sIpcBlockInfo, recordCount), 5);
  MultiIPCBuffer buffer = Attach();
  EXPECT_EQ(buffer.GetRecordCount(0), 1000u);
  EXPECT_EQ(buffer.GetValidRecordCount(0), 4u);
  EXPECT_EQ(buffer.GetRecordCapacity(1), 0u);
  EXPECT_EQ(buffer.GetValidRecordCount(1), 0u);
}

TEST_F(MultiIPCBufferImage, BlocksOutsideTheRegionOrInsideTheTableHaveNoData) {
  PatchInfo(0, offsetof(Zor::sIpcBlockInfo, byteSize), static_cast<uint32_t>(image_.size()));
  PatchInfo(1, offsetof(Zor::sIpcBlockInfo, dataOffset), 16);  // over the table
  MultiIPCBuffer buffer = Attach();
  for (int index : {0, 1}) {
    EXPECT_EQ(buffer.GetBlockData(index), nullptr);
    EXPECT_EQ(buffer.GetBlockSize(index), 0u);
    EXPECT_EQ(buffer.GetValidRecordCount(index), 0u);
    EXPECT_FALSE(buffer.ResizeBlock(index, 4));
  }
}

TEST_F(MultiIPCBufferImage, TableCountBeyondTheRegionAndUnformattedRegions) {
  const uint32_t huge = 0x7FFFFFFF;
  std::memcpy(image_.data() + 4, &huge, 4);
  MultiIPCBuffer buffer = Attach();
  // The header and two descriptors leave room for (size - 16) / 40 descriptors.
  EXPECT_EQ(buffer.GetBlockCount(), (image_.size() - 16) / 40);

  image_[0] ^= 0xFF;  // no magic: not a buffer
  MultiIPCBuffer foreign = Attach(/*fixed=*/false);
  EXPECT_EQ(foreign.GetBlockCount(), 0u);
  EXPECT_EQ(foreign.GetBlockData(0), nullptr);
  EXPECT_EQ(foreign.AddBlock(3, 4, 1), 0);  // formats it first
  EXPECT_EQ(foreign.GetBlockCount(), 1u);
}

TEST_F(MultiIPCBufferImage, AFixedRegionRefusesToGrowAndStaysIntact) {
  MultiIPCBuffer buffer = Attach(/*fixed=*/true);
  EXPECT_EQ(buffer.AddBlock(3, 4, 1), -1);
  EXPECT_FALSE(buffer.ResizeBlock(0, 64));
  EXPECT_EQ(std::vector<uint8_t>(buffer.GetRegion().data(),
                                 buffer.GetRegion().data() + buffer.GetRegion().size()),
            image_);
}

}  // namespace

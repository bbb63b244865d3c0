#include "Drivers/framework/ipc_item_buffer.h"

#include <array>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

namespace {

struct Rec {
  uint32_t id;
  double value;
};

class IpcItemBuffer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(items_.GetBuffer().AddBlock(10, sizeof(Rec), 3), 0);  // block 1
    ASSERT_EQ(items_.GetBuffer().AddBlock(20, 4, 2), 1);            // block 2
  }
  CIpcItemBuffer items_{"Settings"};
};

TEST_F(IpcItemBuffer, RecordsRoundTripWithOneBasedNumbers) {
  for (int r = 1; r <= 3; ++r) {
    const Rec rec{static_cast<uint32_t>(r), r * 1.5};
    EXPECT_EQ(items_.WriteRecord(1, r, &rec), 1);
  }
  Rec out{};
  EXPECT_EQ(items_.ReadRecord(1, 2, &out), 1);
  EXPECT_EQ(out.id, 2u);
  EXPECT_EQ(out.value, 3.0);
  // Record 2 lies one record size into block index 0.
  uint32_t id = 0;
  std::memcpy(&id, items_.GetBuffer().GetBlockData(0) + sizeof(Rec), 4);
  EXPECT_EQ(id, 2u);
  EXPECT_EQ(items_.GetName(), "Settings");
}

TEST_F(IpcItemBuffer, OutOfRangeNumbersCopyNothing) {
  // The stored count does not widen the block.
  items_.GetBuffer().SetRecordCount(0, 100);
  const Rec src{7, 7.0};
  Rec dest{99, 99.0};
  for (auto [block, record] : {std::pair{1, 0}, {1, 4}, {0, 1}, {-3, 1}, {3, 1}, {1, -1}}) {
    SCOPED_TRACE(testing::Message() << block << "/" << record);
    EXPECT_EQ(items_.ReadRecord(block, record, &dest), 0);
    EXPECT_EQ(items_.ReadRecord(block, record, &dest, sizeof dest), 0);
    EXPECT_EQ(items_.WriteRecord(block, record, &src), 0);
    EXPECT_EQ(items_.WriteRecord(block, record, &src, sizeof src), 0);
    EXPECT_EQ(dest.id, 99u);
  }
  EXPECT_EQ(items_.ReadRecord(1, 1, nullptr), 0);
  EXPECT_EQ(items_.WriteRecord(1, 1, nullptr, 4), 0);
}

TEST_F(IpcItemBuffer, SizedFormsCopyTheSmallerSizeAndZeroTheRest) {
  const std::array<uint8_t, 4> wide = {1, 2, 3, 4};
  ASSERT_EQ(items_.WriteRecord(2, 2, wide.data(), wide.size()), 1);

  // A caller record larger than the block's: the tail is zeroed.
  std::array<uint8_t, 8> big;
  big.fill(0xEE);
  ASSERT_EQ(items_.ReadRecord(2, 2, big.data(), big.size()), 1);
  EXPECT_EQ(big, (std::array<uint8_t, 8>{1, 2, 3, 4, 0, 0, 0, 0}));

  // A caller record smaller than the block's: only its bytes are copied.
  std::array<uint8_t, 3> guard = {0xEE, 0xEE, 0xEE};
  ASSERT_EQ(items_.ReadRecord(2, 2, guard.data(), 2), 1);
  EXPECT_EQ(guard, (std::array<uint8_t, 3>{1, 2, 0xEE}));

  // Writing a short record zeroes the rest of the block's record and nothing after it.
  const uint8_t one = 9;
  ASSERT_EQ(items_.WriteRecord(2, 1, &one, 1), 1);
  const uint8_t* data = items_.GetBuffer().GetBlockData(1);
  EXPECT_EQ(std::vector<uint8_t>(data, data + 8), (std::vector<uint8_t>{9, 0, 0, 0, 1, 2, 3, 4}));
}

}  // namespace

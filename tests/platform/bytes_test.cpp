#include "platform/bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/checked_int.h"

namespace zor::platform {
namespace {

TEST(Bytes, GetAndSetCheckEveryBoundInSixtyFourBits) {
  std::vector<uint8_t> buf(8, 0);
  EXPECT_TRUE(SetLE<uint32_t>(buf, 4, 0x04030201u));
  EXPECT_FALSE(SetLE<uint32_t>(buf, 5, 1u));
  EXPECT_FALSE(SetLE<uint32_t>(buf, UINT64_MAX - 1, 1u));  // offset + width wraps
  uint32_t v = 0;
  EXPECT_TRUE(GetLE(std::span<const uint8_t>(buf), 4, v));
  EXPECT_EQ(v, 0x04030201u);
  EXPECT_EQ(buf[4], 1);
  EXPECT_FALSE(GetLE(std::span<const uint8_t>(buf), 6, v));
  EXPECT_EQ(GetLEOr<uint16_t>(buf, 7, 99), 99);
  EXPECT_EQ(GetLEOr<uint16_t>(buf, 6, 99), 0x0403);
}

TEST(Bytes, TextFieldsReadToWidthAndWriteWithTerminator) {
  std::vector<uint8_t> buf = {'a', 'b', 'c', 'd', 0, 'x'};
  EXPECT_EQ(GetText(buf, 0, 3), "abc");   // no terminator needed
  EXPECT_EQ(GetText(buf, 0, 6), "abcd");  // stops at zero
  EXPECT_EQ(GetText(buf, 5, 10), "x");    // clipped to the buffer
  EXPECT_EQ(GetText(buf, 9, 1), "");
  EXPECT_TRUE(SetText(buf, 0, 4, "hello"));
  EXPECT_EQ(GetText(buf, 0, 6), "hel");
  EXPECT_EQ(buf[3], 0);
  EXPECT_FALSE(SetText(buf, 4, 4, "x"));
  EXPECT_FALSE(SetText(buf, 0, 0, "x"));

  char field[4];
  SetFieldText(field, "abcdef");
  EXPECT_EQ(FieldText(field), "abc");
  char full[3] = {'x', 'y', 'z'};
  EXPECT_EQ(FieldText(full), "xyz");
}

TEST(CheckedInt, NanAndOutOfRangeGiveIntegerIndefinite) {
  EXPECT_EQ(DoubleToInt32(2.9), 2);
  EXPECT_EQ(DoubleToInt32(-2.9), -2);
  EXPECT_EQ(DoubleToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(DoubleToInt32(-2147483648.9), INT32_MIN);
  EXPECT_EQ(DoubleToInt32(2147483648.0), INT32_MIN);
  EXPECT_EQ(DoubleToInt32(std::nan("")), INT32_MIN);
  EXPECT_EQ(DoubleToInt32(std::numeric_limits<double>::infinity()), INT32_MIN);
  EXPECT_EQ(DoubleToInt64(1e19), INT64_MIN);
  EXPECT_EQ(DoubleToInt64(-3.5), -3);
}

}  // namespace
}  // namespace zor::platform

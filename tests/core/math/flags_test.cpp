#include "core/math/flags.h"

#include <bit>

#include <gtest/gtest.h>

namespace {

TEST(Flags, TestFlags) {
  EXPECT_TRUE(TestFlags(0, 0));
  EXPECT_FALSE(TestFlags(5, 0));
  EXPECT_TRUE(TestFlags(7, 5));
  EXPECT_FALSE(TestFlags(4, 5));
  EXPECT_FALSE(TestFlags(0, 1));
  EXPECT_TRUE(TestFlags(0xFFFFFFFFu, 0x80000001u));
}

TEST(Flags, SetAndToggle) {
  uint32_t value = 0b1001;
  SetFlags(&value, 0b0110, true);
  EXPECT_EQ(value, 0b1111u);
  SetFlags(&value, 0b0011, false);
  EXPECT_EQ(value, 0b1100u);
  uint8_t byte = 0x0F;
  SetFlags(&byte, uint8_t{0xF0}, true);
  EXPECT_EQ(byte, 0xFF);
  SetFlags(&byte, uint8_t{0x81}, false);
  EXPECT_EQ(byte, 0x7E);

  value = 0b0101;
  EXPECT_TRUE(ToggleFlags(&value, 0b0110));
  EXPECT_EQ(value, 0b0111u);
  EXPECT_FALSE(ToggleFlags(&value, 0b0110));
  EXPECT_EQ(value, 0b0001u);
}

TEST(Flags, CountBitsMatchesPopcount) {
  for (unsigned v = 0; v < 256; ++v)
    EXPECT_EQ(CountBits8(static_cast<uint8_t>(v)), std::popcount(v)) << v;
  for (uint32_t v = 0; v < 0x10000; ++v) {
    if (CountBits16(v) != std::popcount(v)) FAIL() << v;
  }
  // Only the low 16 bits count.
  EXPECT_EQ(CountBits16(0xFFFF0001u), 1);
}

}  // namespace

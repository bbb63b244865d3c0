#include "database/catalogue/chart_datum_part.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "platform/bytes.h"

namespace {

struct Part {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kChartDatumPartSize, 0x5A);

  int32_t Word(std::size_t n) const {
    return zor::platform::GetLEOr<int32_t>(bytes, 4 * n, INT32_MIN);
  }
  double Value(std::size_t at) const { return zor::platform::GetLEOr(bytes, at, -1.0); }
  int32_t Kind(int32_t kind) const { return GetChartDatumKind(bytes, kind); }
};

Part Init(int32_t id, int32_t code, double v1, double v2) {
  Part p;
  EXPECT_TRUE(InitChartDatumPart(p.bytes, id, code, v1, v2));
  return p;
}

TEST(ChartDatumPart, ACodeAboveOneMarksTheIdsAsDerived) {
  const Part p = Init(7, 900, 1.25, 2.5);
  EXPECT_EQ(p.Word(0), 7);
  EXPECT_EQ(p.Word(1), -2);
  EXPECT_EQ(p.Word(2), 900);
  EXPECT_EQ(p.Word(69), -2);
  EXPECT_EQ(p.Word(70), 1000);  // codes up to 999
  EXPECT_EQ(p.Value(552), 1.25);
  EXPECT_EQ(p.Value(560), 2.5);
  EXPECT_EQ(p.Word(3), 0);  // the rest is zeroed
  EXPECT_EQ(p.Word(68), 0);
  EXPECT_EQ(p.Kind(0), 2);  // a value is set
  EXPECT_EQ(p.Kind(204), 5);

  const Part mid = Init(7, 1500, 0.0, 0.0);
  EXPECT_EQ(mid.Word(2), 1500);
  EXPECT_EQ(mid.Word(70), 1500);
  EXPECT_EQ(mid.Kind(0), 2);  // word 70 in 1001..1998

  const Part plain = Init(7, 500, 0.0, 0.0);
  EXPECT_EQ(plain.Kind(0), 1);
  EXPECT_EQ(plain.Kind(204), 0);
}

TEST(ChartDatumPart, ACodeBelowOneKeepsTheSumOfCodeAndIdAndDropsTheValue) {
  const Part p = Init(2, -5, 3.0, 4.0);
  EXPECT_EQ(p.Word(0), 2);
  EXPECT_EQ(p.Word(1), 3);  // |-5 + 2|
  EXPECT_EQ(p.Word(2), -5);
  EXPECT_EQ(p.Word(69), 3);
  EXPECT_EQ(p.Word(70), 1000);
  EXPECT_EQ(p.Value(552), 0.0);
  EXPECT_EQ(p.Value(560), 4.0);
  EXPECT_EQ(p.Kind(0), 0);  // word 2 outside 2..998
  EXPECT_EQ(p.Kind(204), 4);

  // The sum of the extremes stays a 32-bit word without undefined arithmetic.
  const Part extreme = Init(-1, INT32_MIN, 0.0, 0.0);
  EXPECT_EQ(extreme.Word(1), extreme.Word(69));
}

TEST(ChartDatumPart, ALargeCodeCarriesItsHighHalfInWord70) {
  const Part one = Init(4, (1200 << 16) | 1, 0.0, 0.0);
  EXPECT_EQ(one.Word(2), 1);
  EXPECT_EQ(one.Word(70), 1200);
  EXPECT_EQ(one.Word(1), 4);
  EXPECT_EQ(one.Word(69), -2);  // word 2 is 1 and word 70 above 1000

  const Part low = Init(4, (900 << 16) | 1, 0.0, 0.0);
  EXPECT_EQ(low.Word(70), 900);
  EXPECT_EQ(low.Word(69), 4);

  const Part two = Init(4, (1900 << 16) | 200, 0.0, 0.0);
  EXPECT_EQ(two.Word(2), 200);
  EXPECT_EQ(two.Word(70), 1900);
  EXPECT_EQ(two.Word(1), -2);
  EXPECT_EQ(two.Kind(0), 2);
}

TEST(ChartDatumPart, AShortPartIsNotWrittenAndReadsAsZeros) {
  std::vector<uint8_t> shortPart(kChartDatumPartSize - 1, 0x5A);
  EXPECT_FALSE(InitChartDatumPart(shortPart, 1, 1, 1.0, 1.0));
  EXPECT_EQ(shortPart, std::vector<uint8_t>(kChartDatumPartSize - 1, 0x5A));
  EXPECT_EQ(GetChartDatumKind({}, 204), 4);
  EXPECT_EQ(GetChartDatumKind({}, 0), 0);
}

}  // namespace

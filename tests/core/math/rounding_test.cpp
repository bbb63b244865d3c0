#include "core/math/rounding.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Rounding, RoundToInt) {
  EXPECT_EQ(RoundToInt(2.5), 3);
  EXPECT_EQ(RoundToInt(-2.5), -3);
  EXPECT_EQ(RoundToInt(-0.4), 0);
  EXPECT_EQ(RoundToInt(2147483647.4), INT_MAX);
  EXPECT_EQ(RoundToInt(-2147483648.4), INT_MIN);
  EXPECT_EQ(RoundToInt(2147483647.5), INT_MIN);  // out of range: integer indefinite
  EXPECT_EQ(RoundToInt(kNaN), INT_MIN);
  EXPECT_EQ(RoundToInt(-kInf), INT_MIN);
  // Just below a half and odd values beyond 2^52: v + 0.5 itself rounds.
  const double belowHalf = std::nextafter(0.5, 0.0);
  EXPECT_EQ(RoundToInt(belowHalf), 0);
  EXPECT_EQ(RoundToInt(-belowHalf), 0);
  EXPECT_EQ(RoundToInt(std::nextafter(1.5, 0.0)), 1);
}

TEST(Rounding, ResolutionAndMultiple) {
  EXPECT_EQ(RoundToResolution(1.005, 100), 1.0);  // the product is 100.49999999999999
  EXPECT_EQ(RoundToResolution(1.006, 100), 1.01);
  EXPECT_EQ(RoundToResolution(3e9, 1), 3e9);
  EXPECT_EQ(RoundToResolution(-3e9, 1), -3e9);
  EXPECT_EQ(RoundToResolution(12.34, 0.0), 12.34);
  EXPECT_TRUE(std::isnan(RoundToResolution(kNaN, 10)));
  EXPECT_EQ(RoundToMultiple(7.3, 0.5), 7.5);
  EXPECT_EQ(RoundToMultiple(-7.25, 0.5), -7.5);
  EXPECT_EQ(RoundToMultiple(7.3, 0.0), 0.0);
  EXPECT_EQ(RoundToMultiple(7.3, kInf), 7.3);
}

TEST(Rounding, HalfAwayFromZero) {
  const double zero = RoundHalfAwayFromZero(-0.004, 2);
  EXPECT_EQ(zero, 0.0);
  EXPECT_FALSE(std::signbit(zero));
  EXPECT_EQ(RoundHalfAwayFromZero(-1.5, 0), -2.0);
  EXPECT_EQ(RoundHalfAwayFromZero(0.125, 2), 0.13);
  EXPECT_EQ(RoundHalfAwayFromZero(-0.125, 2), -0.13);
  EXPECT_EQ(RoundHalfAwayFromZero(125.0, -1), 130.0);
  EXPECT_EQ(RoundHalfAwayFromZero(-124.0, -1), -120.0);
  EXPECT_EQ(RoundHalfAwayFromZero(250.0, -2), 300.0);
  EXPECT_EQ(RoundHalfAwayFromZero(1.23456789, 5), 1.23457);
  EXPECT_EQ(RoundHalfAwayFromZero(12345.678, 22), 12345.678);
  EXPECT_DOUBLE_EQ(RoundHalfAwayFromZero(1e-30, 30), 1e-30);  // beyond the exact powers
  EXPECT_EQ(RoundToDecimals(-2.675, 2), RoundHalfAwayFromZero(-2.675, 2));
  EXPECT_EQ(RoundToDecimals(2.5, 0), 3.0);
  EXPECT_EQ(RoundHalfAwayFromZero(std::nextafter(0.5, 0.0), 0), 0.0);
  EXPECT_EQ(RoundHalfAwayFromZero(-std::nextafter(0.5, 0.0), 0), 0.0);
  // Whole values stay as they are, odd ones beyond 2^52 included.
  for (double v : {4503599627370497.0, -4503599627370497.0, 9007199254740991.0, 1e300})
    EXPECT_EQ(RoundHalfAwayFromZero(v, 0), v);
}

TEST(Rounding, HalfAwayFromZeroKeepsWhatCannotBeScaled) {
  EXPECT_TRUE(std::isnan(RoundHalfAwayFromZero(kNaN, 2)));
  EXPECT_EQ(RoundHalfAwayFromZero(kInf, 2), kInf);
  EXPECT_EQ(RoundHalfAwayFromZero(-kInf, -2), -kInf);
  EXPECT_EQ(RoundHalfAwayFromZero(1e300, 10), 1e300);       // 1e310 overflows
  EXPECT_EQ(RoundHalfAwayFromZero(DBL_MAX, -308), DBL_MAX);  // 2e308 overflows
  EXPECT_EQ(RoundHalfAwayFromZero(1.5, INT_MAX), 1.5);
  EXPECT_EQ(RoundHalfAwayFromZero(1.5, INT_MIN), 0.0);
  EXPECT_EQ(RoundHalfAwayFromZero(5.0, -400), 0.0);
}

TEST(Rounding, NiceStep) {
  struct Case {
    double value, step;
    int subdivisions;
  };
  const Case cases[] = {
      {1.0, 2.0, 2},   {3.0, 5.0, 5},    {7.0, 10.0, 5},   {10.0, 20.0, 2},
      {0.5, 2.0, 2},   {0.05, 0.2, 2},   {0.01, 0.02, 2},  {-3.0, -5.0, 5},
      {1234.0, 2000.0, 2}, {4321.0, 5000.0, 5}, {0.0, 0.0, 2}, {kNaN, 0.0, 2},
      {kInf, 0.0, 2},  {-kInf, 0.0, 2},
  };
  for (const Case& c : cases) {
    double step = -99.0;
    int subdivisions = -99;
    NiceStep(c.value, &step, &subdivisions);
    EXPECT_DOUBLE_EQ(step, c.step) << c.value;
    EXPECT_EQ(subdivisions, c.subdivisions) << c.value;
  }
  int subdivisions = 0;
  NiceStep(3.0, nullptr, &subdivisions);
  EXPECT_EQ(subdivisions, 5);
}

}  // namespace

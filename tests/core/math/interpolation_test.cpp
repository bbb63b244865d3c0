#include "core/math/interpolation.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

TEST(Interpolation, ClampingAndEqualAbscissas) {
  EXPECT_EQ(InterpolateLinear(0, 10, 0, 100, 15, false), 100.0);
  EXPECT_EQ(InterpolateLinear(0, 10, 0, 100, 15, true), 150.0);
  EXPECT_EQ(InterpolateClamped(10, 0, 100, 0, -5), 0.0);  // descending samples
  EXPECT_EQ(InterpolateUnclamped(0, 10, 100, 0, 12), -20.0);
  EXPECT_EQ(InterpolateLinear(5, 5, 2, 4, 7, false), 3.0);  // no division by zero
  EXPECT_EQ(InterpolateUnclamped(5, 5, 2, 4, 1e9), 3.0);
  EXPECT_EQ(Lerp(2.0, 4.0, 8.0), 12.0);
}

TEST(Interpolation, CheckedAndWithin) {
  double y = -1.0;
  EXPECT_FALSE(InterpolateChecked(0, 10, 0, 100, 15, &y));
  EXPECT_EQ(y, 150.0);  // written even when out of range
  y = -1.0;
  EXPECT_FALSE(InterpolateWithin(0, 10, 0, 100, 15, &y));
  EXPECT_EQ(y, -1.0);
  // The ends give the samples exactly, whatever the ratio would round to.
  EXPECT_TRUE(InterpolateWithin(0.1, 0.7, 1.0 / 3.0, 2.0 / 3.0, 0.7, &y));
  EXPECT_EQ(y, 2.0 / 3.0);
  EXPECT_FALSE(InterpolateWithin(0, 10, 0, 100, std::numeric_limits<double>::quiet_NaN(), &y));
  EXPECT_TRUE(std::isnan(y));
  EXPECT_TRUE(InterpolateChecked(5, 5, 2, 4, 7, nullptr));
}

}  // namespace

#include "core/math/scalar_helpers.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tests/support/extreme_doubles.h"

namespace {

TEST(ScalarHelpers, WrapOnceFoldsASingleRange) {
  EXPECT_EQ(WrapOnce(-30, 360), 330.0);
  EXPECT_EQ(WrapOnce(370, 360), 10.0);
  EXPECT_EQ(WrapOnce(800, 360), 440.0);  // one fold only
  EXPECT_EQ(WrapOnce(5, 0), 5.0);
}

TEST(ScalarHelpers, EllipseRadius) {
  EXPECT_EQ(EllipseRadiusAt(0, 2, 3), 3.0);
  EXPECT_EQ(EllipseRadiusAt(90, 2, 3), 2.0);
  EXPECT_EQ(EllipseRadiusAt(45, 0, 3), 1.0);
  for (double theta = -180.0; theta <= 180.0; theta += 7.5) {
    const double c = std::cos(theta * M_PI / 180.0), s = std::sin(theta * M_PI / 180.0);
    EXPECT_NEAR(EllipseRadiusAt(theta, 2, 3), std::sqrt(9 * c * c + 4 * s * s), 1e-14) << theta;
  }
}

TEST(ScalarHelpers, ExtremeArguments) {
  // NaN compared false both ways and returned x unfolded; an infinite range
  // left 45 alone but made -45 NaN (inf - inf).
  for (double range : {kNaNValue, kInfValue, -kInfValue})
    for (double x : {45.0, -45.0, 0.0}) EXPECT_TRUE(std::isnan(WrapOnce(x, range))) << x << range;
  EXPECT_TRUE(std::isnan(WrapOnce(kNaNValue, 360)));
  EXPECT_EQ(WrapOnce(kDenormValue, 0), kDenormValue);
  EXPECT_TRUE(std::isnan(EllipseRadiusAt(kNaNValue, 2, 3)));
  EXPECT_TRUE(std::isnan(EllipseRadiusAt(45, 2, kNaNValue)));
  EXPECT_EQ(EllipseRadiusAt(45, kNaNValue, 0), 1.0);  // a zero semi-axis
  EXPECT_EQ(EllipseRadiusAt(0, 2, DBL_MAX), kInfValue);  // the squares overflow
}

}  // namespace

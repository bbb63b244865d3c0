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
  // NaN compared false both ways and returned x unfolded.
  for (double x : {45.0, -45.0, 0.0}) EXPECT_TRUE(std::isnan(WrapOnce(x, kNaNValue))) << x;
  // An infinite range runs the two steps like any other: [0, inf) holds 45
  // and 0; a step that meets inf - inf gives NaN.
  EXPECT_EQ(WrapOnce(45, kInfValue), 45.0);
  EXPECT_EQ(WrapOnce(0, kInfValue), 0.0);
  EXPECT_EQ(WrapOnce(DBL_MAX, kInfValue), DBL_MAX);
  EXPECT_EQ(WrapOnce(45, -kInfValue), kInfValue);
  EXPECT_EQ(WrapOnce(0, -kInfValue), kInfValue);
  EXPECT_TRUE(std::isnan(WrapOnce(-45, kInfValue)));
  EXPECT_TRUE(std::isnan(WrapOnce(-45, -kInfValue)));
  EXPECT_TRUE(std::isnan(WrapOnce(kInfValue, kInfValue)));
  EXPECT_TRUE(std::isnan(WrapOnce(kNaNValue, 360)));
  EXPECT_EQ(WrapOnce(kDenormValue, 0), kDenormValue);
  EXPECT_TRUE(std::isnan(EllipseRadiusAt(kNaNValue, 2, 3)));
  EXPECT_TRUE(std::isnan(EllipseRadiusAt(45, 2, kNaNValue)));
  EXPECT_EQ(EllipseRadiusAt(45, kNaNValue, 0), 1.0);  // a zero semi-axis
  EXPECT_EQ(EllipseRadiusAt(0, 2, DBL_MAX), kInfValue);  // the squares overflow
}

}  // namespace

#include "core/math/plane_geometry.h"

#include <cmath>
#include <array>
#include <cfloat>
#include <random>

#include <gtest/gtest.h>

#include "tests/support/extreme_doubles.h"

namespace {

constexpr double kEps = 1e-12;

TEST(PlaneGeometry, Rotations) {
  double x = 3.0, y = 4.0;
  RotateMinus90(&x, &y);
  EXPECT_EQ(x, 4.0);
  EXPECT_EQ(y, -3.0);
  RotatePlus90(&x, &y);
  Rotate180(&x, &y);
  EXPECT_EQ(x, -3.0);
  EXPECT_EQ(y, -4.0);
  x = 1.0, y = 0.0;
  RotatePoint(&x, &y, 90.0);  // counter-clockwise
  EXPECT_NEAR(x, 0.0, kEps);
  EXPECT_NEAR(y, 1.0, kEps);
  RotatePoint(nullptr, &y, 30.0);
}

TEST(PlaneGeometry, BearingsRunClockwiseFromNorth) {
  EXPECT_EQ(BearingDeg(1, 0), 90.0);
  EXPECT_EQ(BearingDeg(0, -1), 180.0);
  EXPECT_EQ(BearingDeg(-1, 0), 270.0);
  EXPECT_EQ(BearingDeg(0, 0), 0.0);
  EXPECT_FALSE(std::signbit(BearingRad(-0.0, 1.0)));
  const double b = BearingDeg(-1e-300, 1.0);  // atan2 is -1e-300
  EXPECT_TRUE(b >= 0.0 && b < 360.0);

  double x, y, z;
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> bearing(0.0, 360.0);
  for (int i = 0; i < 200; ++i) {  // bearing and distance back from the point
    const double b = bearing(rng);
    PolarToPoint(5.0, -7.0, 12.5, b, &x, &y);
    EXPECT_NEAR(Length2D(x - 5.0, y + 7.0), 12.5, kEps);
    EXPECT_NEAR(std::remainder(BearingDeg(x - 5.0, y + 7.0) - b, 360.0), 0.0, 1e-10);
  }
  PolarToPoint3D(0, 0, 10, 2.0, 180.0, 30.0, &x, &y, &z);
  EXPECT_NEAR(y, -std::sqrt(3.0), kEps);
  EXPECT_NEAR(z, 11.0, kEps);
}

TEST(PlaneGeometry, VesselOffsetsFollowTheHeading) {
  double x, y;
  OffsetToGrid(100, 100, 2.0, 10.0, 90.0, &x, &y);  // heading east: starboard is south
  EXPECT_NEAR(x, 110.0, kEps);
  EXPECT_NEAR(y, 98.0, kEps);
  OffsetToGrid(0, 0, 0.0, 10.0, 225.0, &x, &y);
  EXPECT_NEAR(BearingDeg(x, y), 225.0, 1e-10);
  RotateAbout(100, 100, 1.0, 1.0, 3.0, 11.0, 90.0, &x, &y);
  EXPECT_NEAR(x, 110.0, kEps);
  EXPECT_NEAR(y, 98.0, kEps);
}

TEST(PlaneGeometry, SpeedAcrossMidnight) {
  EXPECT_EQ(SpeedFromDelta(3, 4, -5), 1.0);
  EXPECT_EQ(SpeedFromDelta(3, 4, 5 - 86400), 1.0);
  EXPECT_EQ(SpeedFromDelta(3, 4, 0), 0.0);
  EXPECT_EQ(SpeedFromDelta(3, 4, -86400), 0.0);  // not inf
  EXPECT_EQ(SpeedFromDelta(3, 4, -86405), 1.0);  // not negative
}

TEST(PlaneGeometry, PolarDifferences) {
  EXPECT_NEAR(ProjectedLengthDifference(30, 2, 90, 5, 30), 2.0 - 5.0 * 0.5, kEps);
  EXPECT_NEAR(ProjectedLengthDifference(350, 4, 10, 4, 0), 0.0, kEps);
  double distance, bearing;
  PolarDifference(10, 0, 10, 90, &distance, &bearing);  // (0,10) to (10,0)
  EXPECT_NEAR(distance, std::sqrt(200.0), kEps);
  EXPECT_NEAR(bearing, 135.0, 1e-10);

  // P1 10 m on bearing 90; P2 the foot on bearing 0 of 20 m on bearing 60.
  PolarPointsDistance(100, 100, 10, 90, 0, 0, 20, 60, &distance, &bearing, true);
  EXPECT_NEAR(distance, std::sqrt(200.0), 1e-10);
  EXPECT_NEAR(bearing, 135.0, 1e-9);
  // The same with frames 30 degrees apart, given relative and absolute.
  for (bool relative : {true, false}) {
    double d, b;
    PolarPointsDistance(100, 100, 10, relative ? 90 : 60, relative ? 30 : 0, 30, 20,
                        relative ? 60 : 30, &d, &b, relative);
    EXPECT_NEAR(d, distance, 1e-10);
    EXPECT_NEAR(b, bearing, 1e-9);
  }
}

TEST(PlaneGeometry, DirectionBetween) {
  const double a = 0.0, b = 350.0, c = 20.0, outside = 100.0;
  EXPECT_TRUE(DirectionBetween(&a, &b, &c));  // across the seam
  EXPECT_TRUE(DirectionBetween(&a, &c, &b));
  EXPECT_FALSE(DirectionBetween(&outside, &b, &c));
  EXPECT_FALSE(DirectionBetween(&b, &b, &c));
  EXPECT_FALSE(DirectionBetween(nullptr, &b, &c));
}

// NaN in any argument gives NaN out; infinities and DBL_MAX give the
// formula's own values.
TEST(PlaneGeometry, ExtremeArguments) {
  ForEachExtremeArgument(std::array<double, 6>{1, 2, 3, 10, 90, 30}, [](const auto& a) {
    if (!std::isnan(a[0] + a[1] + a[2] + a[3] + a[4] + a[5])) return;
    double x, y, z, d, b;
    PolarToPoint3D(a[0], a[1], a[2], a[3], a[4], a[5], &x, &y, &z);
    EXPECT_TRUE(std::isnan(x) || std::isnan(y) || std::isnan(z));
    OffsetToGrid(a[0], a[1], a[2], a[3], a[4], &x, &y);
    PolarPointsDistance(a[0], a[1], a[2], a[3], a[4], a[5], 2.0, 3.0, &d, &b, true);
    if (!std::isnan(a[0] + a[1] + a[2] + a[3] + a[4])) return;
    EXPECT_TRUE(std::isnan(x) || std::isnan(y));
    EXPECT_TRUE(std::isnan(d) && std::isnan(b));
    EXPECT_TRUE(std::isnan(ProjectedLengthDifference(a[0], a[1], a[2], a[3], a[4])));
  });
  EXPECT_TRUE(std::isnan(BearingDeg(kNaNValue, 1)));
  EXPECT_EQ(BearingDeg(kInfValue, 0), 90.0);
  EXPECT_EQ(BearingDeg(0, -kInfValue), 180.0);
  EXPECT_EQ(BearingDeg(-DBL_MAX, 0), 270.0);
  EXPECT_EQ(Length2D(DBL_MAX, 0), kInfValue);  // the squares overflow
  EXPECT_TRUE(std::isnan(SpeedFromDelta(3, 4, kNaNValue)));
  EXPECT_EQ(SpeedFromDelta(3, 4, kInfValue), 0.0);
  EXPECT_EQ(SpeedFromDelta(3, 4, -kInfValue), 0.0);
  EXPECT_EQ(SpeedFromDelta(3, 4, kDenormValue), kInfValue);
  double x = 3, y = 4;
  RotatePoint(&x, &y, kInfValue);
  EXPECT_TRUE(std::isnan(x) && std::isnan(y));
  const double a = kNaNValue, b = 0, c = 20;
  EXPECT_FALSE(DirectionBetween(&a, &b, &c));
}

}  // namespace

#include "core/math/great_circle_crossings.h"

#include <cmath>

#include <gtest/gtest.h>

#include "core/math/great_circle.h"

namespace {

double Gap(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

// The crossing lies on the track from (lat0, lon0) on course, ahead.
void ExpectOnTrackAhead(double lat0, double lon0, double course, double lat, double lon) {
  double d, b;
  GreatCircleDistance(lat0, lon0, lat, lon, &d, &b);
  if (d < 1e-6) return;
  EXPECT_NEAR(Gap(b, course), 0.0, 1e-7) << lat0 << " " << lon0;
}

TEST(GreatCircleIntersection, CrossingOfTwoTracks) {
  double lat, lon;
  ASSERT_TRUE(
      GreatCircleIntersection(51.8853, 0.2545, 108.547, 49.0034, 2.5735, 32.435, &lat, &lon));
  EXPECT_NEAR(lat, 50.9078, 1e-4);
  EXPECT_NEAR(lon, 4.5084, 1e-4);
  ExpectOnTrackAhead(51.8853, 0.2545, 108.547, lat, lon);
  ExpectOnTrackAhead(49.0034, 2.5735, 32.435, lat, lon);
  // Long tracks, across the date line.
  ASSERT_TRUE(GreatCircleIntersection(-10.0, 170.0, 80.0, 20.0, -170.0, 200.0, &lat, &lon));
  ExpectOnTrackAhead(-10.0, 170.0, 80.0, lat, lon);
  ExpectOnTrackAhead(20.0, -170.0, 200.0, lat, lon);
}

TEST(GreatCircleIntersection, StartsAndDegenerateTracks) {
  double lat, lon, b;
  // A course straight at the other start crosses exactly there.
  GreatCircleDistance(10.0, 10.0, 12.0, 15.0, nullptr, &b);
  ASSERT_TRUE(GreatCircleIntersection(10.0, 10.0, b, 12.0, 15.0, 300.0, &lat, &lon));
  EXPECT_NEAR(lat, 12.0, 1e-9);
  EXPECT_NEAR(lon, 15.0, 1e-9);
  // Behind one of the starts.
  EXPECT_FALSE(
      GreatCircleIntersection(51.8853, 0.2545, 288.547, 49.0034, 2.5735, 32.435, &lat, &lon));
  EXPECT_EQ(lat, 0.0);
  EXPECT_FALSE(GreatCircleIntersection(0, 0, 90, 0, 10, 270, &lat, &lon));  // one great circle
  EXPECT_FALSE(GreatCircleIntersection(5, 5, 10, 5, 5, 80, &lat, &lon));    // one start
  EXPECT_FALSE(GreatCircleIntersection(90, 0, 10, 5, 5, 80, &lat, &lon));   // from a pole
}

TEST(GreatCircleCrossingTime, TimeToReachALine) {
  double t, d, lat, lon;
  // East-bound at 12 knots towards the meridian 2 degrees east.
  ASSERT_TRUE(GreatCircleCrossingTime(0, 0, 12, 90, -5, 2, 0, &t, &d, &lat, &lon));
  EXPECT_NEAR(d, 120.0, 1e-9);
  EXPECT_NEAR(t, 36000.0, 1e-6);
  EXPECT_NEAR(lat, 0.0, 1e-9);
  EXPECT_NEAR(lon, 2.0, 1e-9);
  // West-bound it meets the same great circle on the far side.
  ASSERT_TRUE(GreatCircleCrossingTime(0, 0, 12, 270, -5, 2, 0, &t, &d, &lat, &lon));
  EXPECT_NEAR(d, 10800.0 - 120.0, 1e-8);
  EXPECT_NEAR(lon, -178.0, 1e-9);
  // On the line now.
  ASSERT_TRUE(GreatCircleCrossingTime(0, 2, 12, 45, -5, 2, 0, &t, &d, &lat, &lon));
  EXPECT_NEAR(t, 0.0, 1e-6);
  // No solution.
  lat = 7;
  EXPECT_FALSE(GreatCircleCrossingTime(0, 0, 0.0, 90, -5, 2, 0, &t, &d, &lat, &lon));
  EXPECT_EQ(t, -1.0);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(lat, 7.0);
  EXPECT_FALSE(GreatCircleCrossingTime(0, 0, 10, 90, 0, 30, 90, &t, &d, &lat, &lon));
  EXPECT_EQ(t, -1.0);
}

}  // namespace

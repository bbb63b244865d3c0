#include "core/math/rhumb_line.h"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "core/math/great_circle.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

double Gap(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

// The course of the rhumb line from 1 to 2, from the Mercator latitudes in the
// asinh(tan) form: independent of the functions under test.
double ReferenceCourse(double lat1, double lon1, double lat2, double lon2) {
  const double dm = std::asinh(std::tan(lat2 * kDeg)) - std::asinh(std::tan(lat1 * kDeg));
  return std::atan2(std::remainder(lon2 - lon1, 360.0) * kDeg, dm) / kDeg;
}

TEST(RhumbLine, DestinationAndDistanceRoundTrip) {
  double lat, lon, d, c;
  ASSERT_TRUE(RhumbDestination(60.0, 10.0, 90.0, 60.0, &lat, &lon));
  EXPECT_EQ(lat, 60.0);
  EXPECT_NEAR(lon, 12.0, 1e-12);  // a minute of longitude is half a mile at 60
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> la(-80, 80), lo(-180, 180), cs(0, 360), ds(0.1, 3000);
  for (int i = 0; i < 200; ++i) {
    const double lat1 = la(gen), lon1 = lo(gen), course = cs(gen), dist = ds(gen);
    if (!RhumbDestination(lat1, lon1, course, dist, &lat, &lon)) continue;
    ASSERT_TRUE(RhumbDistance(lat1, lon1, lat, lon, &d, &c));
    // Longitude differences beyond 180 are taken the other way round.
    const double dm = std::asinh(std::tan(lat * kDeg)) - std::asinh(std::tan(lat1 * kDeg));
    if (std::fabs(std::tan(course * kDeg) * dm / kDeg) > 179) continue;
    EXPECT_NEAR(d, dist, 1e-8 * dist) << lat1 << " " << course;
    EXPECT_NEAR(Gap(c, course), 0.0, 1e-9);
    EXPECT_NEAR(Gap(c, ReferenceCourse(lat1, lon1, lat, lon)), 0.0, 1e-9);
    // Never shorter than the great circle.
    double gc;
    GreatCircleDistance(lat1, lon1, lat, lon, &gc, nullptr);
    EXPECT_GE(d, gc - 1e-9);
  }
}

TEST(RhumbLine, NearlyEastWestCoursesKeepTheirAccuracy) {
  // 1e-7 degrees off east: the latitude change is 1.7e-9 degrees over 10
  // degrees of longitude, carried by the Mercator difference of two close
  // latitudes.
  double lat, lon, d, c;
  RhumbDestination(50.0, 0.0, 90.0 - 1e-7, 600.0 * std::cos(50.0 * kDeg), &lat, &lon);
  // 10 degrees, and 1.2e-9 more for the slight rise in latitude.
  EXPECT_NEAR(lon, 10.0 + 1.17e-9, 2e-11);
  RhumbDistance(50.0, 0.0, lat, lon, &d, &c);
  EXPECT_NEAR(d, 600.0 * std::cos(50.0 * kDeg), 1e-7);
  EXPECT_NEAR(c, 90.0 - 1e-7, 1e-10);
}

TEST(RhumbLine, PolesFallBackToTheGreatCircle) {
  double lat, lon, gLat, gLon, d, c, gd, gc;
  EXPECT_FALSE(RhumbDestination(89.5, 20.0, 10.0, 60.0, &lat, &lon));
  GreatCircleDestination(89.5, 20.0, 10.0, 60.0, &gLat, &gLon, nullptr);
  EXPECT_EQ(lat, gLat);
  EXPECT_EQ(lon, gLon);
  EXPECT_FALSE(RhumbDistance(89.999999995, 0.0, 80.0, 10.0, &d, &c));
  GreatCircleDistance(89.999999995, 0.0, 80.0, 10.0, &gd, &gc);
  EXPECT_EQ(d, gd);
  EXPECT_EQ(c, gc);
  EXPECT_FALSE(RhumbDistance(NAN, 0, 0, 0, &d, &c));
}

TEST(RhumbLine, MidpointLiesOnTheLine) {
  double lat, lon, c1, c2;
  ASSERT_TRUE(RhumbMidpoint(10.0, -30.0, 50.0, 20.0, &lat, &lon));
  EXPECT_EQ(lat, 30.0);
  RhumbDistance(10.0, -30.0, lat, lon, nullptr, &c1);
  RhumbDistance(10.0, -30.0, 50.0, 20.0, nullptr, &c2);
  EXPECT_NEAR(c1, c2, 1e-10);
  // Across the date line the longitude comes back folded.
  RhumbMidpoint(0.0, 175.0, 10.0, -171.0, &lat, &lon);
  EXPECT_GT(lon, -180.0);
  EXPECT_LE(lon, 180.0);
  EXPECT_NEAR(Gap(lon, 182.0), 0.0, 0.1);
  EXPECT_TRUE(RhumbMidpoint(40.0, 350.0, 40.0, 10.0, &lat, &lon));
  EXPECT_NEAR(lon, 0.0, 1e-12);
  EXPECT_FALSE(RhumbMidpoint(-90.0, 10.0, 0.0, 30.0, &lat, &lon));
  EXPECT_NEAR(lon, 20.0, 1e-12);
}

TEST(RhumbLine, CrossingsAheadOnly) {
  double lat, lon, c;
  ASSERT_TRUE(RhumbMeridianCrossing(10.0, 0.0, 45.0, 5.0, &lat));
  RhumbDistance(10.0, 0.0, lat, 5.0, nullptr, &c);
  EXPECT_NEAR(c, 45.0, 1e-9);
  EXPECT_FALSE(RhumbMeridianCrossing(10.0, 0.0, 225.0, 5.0, &lat));  // behind
  EXPECT_EQ(lat, 0.0);
  EXPECT_FALSE(RhumbMeridianCrossing(10.0, 0.0, 0.0, 5.0, &lat));    // along a meridian
  EXPECT_FALSE(RhumbMeridianCrossing(80.0, 0.0, 1.0, 170.0, &lat));  // spirals into the pole
  EXPECT_TRUE(RhumbMeridianCrossing(10.0, 0.0, 45.0, 0.0, &lat));    // its own meridian
  EXPECT_NEAR(lat, 10.0, 1e-12);

  ASSERT_TRUE(RhumbIntersection(0.0, 0.0, 45.0, 0.0, 10.0, 315.0, &lat, &lon));
  RhumbDistance(0.0, 0.0, lat, lon, nullptr, &c);
  EXPECT_NEAR(c, 45.0, 1e-9);
  RhumbDistance(0.0, 10.0, lat, lon, nullptr, &c);
  EXPECT_NEAR(c, 315.0, 1e-9);
  EXPECT_NEAR(lon, 5.0, 1e-9);
  EXPECT_FALSE(RhumbIntersection(0.0, 0.0, 225.0, 0.0, 10.0, 315.0, &lat, &lon));
  EXPECT_FALSE(RhumbIntersection(0.0, 0.0, 45.0, 0.0, 10.0, 45.0, &lat, &lon));
  EXPECT_EQ(lon, 0.0);
}

}  // namespace

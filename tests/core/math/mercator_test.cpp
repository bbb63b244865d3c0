#include "core/math/mercator.h"

#include <cmath>
#include <utility>

#include <gtest/gtest.h>

namespace {

constexpr double kDeg = M_PI / 180.0;

// ln tan(pi/4 + lat/2) = asinh(tan lat): an independent form.
double ReferenceMercator(double lat) { return std::asinh(std::tan(lat * kDeg)) / kDeg; }

TEST(MercatorLatitude, ValuesAndInverse) {
  EXPECT_EQ(MercatorLatitude(0.0), 0.0);
  for (double lat = -85.0; lat <= 85.0; lat += 4.25) {
    EXPECT_NEAR(MercatorLatitude(lat), ReferenceMercator(lat), 1e-12 * (1 + std::fabs(lat)));
    EXPECT_NEAR(InverseMercatorLatitude(MercatorLatitude(lat)), lat, 1e-12);
  }
  EXPECT_NEAR(InverseMercatorLatitude(MercatorLatitude(60.0)), 60.0, 1e-13);
  EXPECT_EQ(MercatorLatitude(-7.5), -MercatorLatitude(7.5));
  EXPECT_LT(MercatorLatitude(-90.0), -2000.0);
  EXPECT_NEAR(InverseMercatorLatitude(INFINITY), 90.0, 1e-13);
  EXPECT_NEAR(InverseMercatorLatitude(-INFINITY), -90.0, 1e-13);
}

TEST(MercatorLatitude, DifferenceKeepsAccuracyForCloseLatitudes) {
  EXPECT_NEAR(MercatorLatitudeDifference(10.0, 70.0),
              ReferenceMercator(70.0) - ReferenceMercator(10.0), 1e-12);
  EXPECT_EQ(MercatorLatitudeDifference(33.0, 33.0), 0.0);
  // Two latitudes 1e-10 degrees apart: the difference is dLat / cos(lat) to
  // within dLat^2; the plain difference of logarithms would lose ~6 digits.
  const double lat = 52.3;
  const double d = (lat + 1e-10) - lat;  // the difference the doubles really have
  const double expected = d / std::cos((lat + d / 2) * kDeg);
  EXPECT_NEAR(MercatorLatitudeDifference(lat, lat + d), expected, 1e-12 * expected);
  EXPECT_NEAR(MercatorLatitudeDifference(lat + d, lat), -expected, 1e-12 * expected);
  // One latitude near a pole, the other far from it: the tangents' ratio is
  // tiny or huge, and the difference as accurate as its two terms.
  for (const auto& [a, b] : {std::pair{89.999975341559178, -89.908987465776747},
                             std::pair{-89.99999, 10.0}, std::pair{89.9999999, 0.5},
                             std::pair{-45.0, 89.99999}}) {
    const double expected = ReferenceMercator(b) - ReferenceMercator(a);
    EXPECT_NEAR(MercatorLatitudeDifference(a, b), expected, 1e-11 * std::fabs(expected)) << a;
    EXPECT_NEAR(MercatorLatitudeDifference(b, a), -expected, 1e-11 * std::fabs(expected)) << a;
  }
  // Down to the pole: huge, not NaN from rounding.
  for (double lat1 : {-89.0, -30.0, 0.0, 17.3, 60.0})
    EXPECT_LT(MercatorLatitudeDifference(lat1, -90.0), -1800.0) << lat1;
}

}  // namespace

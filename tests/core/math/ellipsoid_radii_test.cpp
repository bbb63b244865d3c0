#include "core/math/ellipsoid_radii.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

constexpr double kA = 6378137.0;
constexpr double kInvF = 298.257223563;
constexpr double kDeg = M_PI / 180.0;

TEST(EllipsoidRadii, SphereEquatorAndPole) {
  double m, n;
  ASSERT_TRUE(EllipsoidRadii(37.0, &m, &n, kA, 0.0));
  EXPECT_EQ(m, kA);
  EXPECT_EQ(n, kA);
  const double f = 1 / kInvF;
  const double e2 = (2 - f) * f;
  EllipsoidRadii(0.0, &m, &n, kA, kInvF);
  EXPECT_EQ(n, kA);
  EXPECT_NEAR(m, kA * (1 - e2), 1e-8);
  // At the pole both radii are a^2 / b.
  const double b = kA * (1 - f);
  EllipsoidRadii(90.0, &m, &n, kA, kInvF);
  EXPECT_NEAR(m, kA * kA / b, 1e-7);
  EXPECT_NEAR(n, kA * kA / b, 1e-7);
  // A flattening of 1 leaves no ellipsoid: W = 0 at the pole.
  EXPECT_FALSE(EllipsoidRadii(90.0, &m, &n, kA, 1.0));
  EXPECT_FALSE(EllipsoidRadii(std::nan(""), &m, &n, kA, kInvF));
}

TEST(EllipsoidRadii, SmallDifferencesInMetres) {
  // A sphere whose minute of arc is exactly 1852 m.
  const double r = 1852.0 * 60.0 / kDeg;
  double east, north;
  ASSERT_TRUE(LatLonDeltaToMetres(60.0, 1.0 / 60, 1.0 / 60, &east, &north, r, 0.0));
  EXPECT_NEAR(north, 1852.0, 1e-9);
  EXPECT_NEAR(east, 926.0, 1e-9);
  LatLonDeltaToMetresWithRadii(0.0, 1e-3, -1e-3, &east, &north, 6.3e6, 6.4e6, 100.0);
  EXPECT_NEAR(north, (6.3e6 + 100.0) * 1e-3 * kDeg, 1e-9);
  EXPECT_NEAR(east, -(6.4e6 + 100.0) * 1e-3 * kDeg, 1e-9);
}

TEST(EllipsoidRadii, CartesianOnTheSurfaceRoundTrips) {
  const double f = 1 / kInvF;
  const double e2 = (2 - f) * f;
  for (double lat = -89.0; lat <= 89.0; lat += 11.0) {
    for (double lon : {-179.0, -45.5, 0.0, 120.25}) {
      const double n = kA / std::sqrt(1 - e2 * std::sin(lat * kDeg) * std::sin(lat * kDeg));
      const double x = n * std::cos(lat * kDeg) * std::cos(lon * kDeg);
      const double y = n * std::cos(lat * kDeg) * std::sin(lon * kDeg);
      const double z = n * (1 - e2) * std::sin(lat * kDeg);
      double la, lo;
      ASSERT_TRUE(CartesianToLatLon(x, y, z, &la, &lo, kInvF, true));
      EXPECT_NEAR(la, lat, 1e-12);
      EXPECT_NEAR(lo, lon, 1e-12);
      CartesianToLatLon(x, y, z, &la, &lo, kInvF, false);
      EXPECT_NEAR(la, lat * kDeg, 1e-14);
    }
  }
  double la = 1, lo = 1;
  EXPECT_TRUE(CartesianToLatLon(0, 0, 0, &la, &lo, kInvF, true));
  EXPECT_EQ(la, 0.0);
  EXPECT_EQ(lo, 0.0);
  EXPECT_FALSE(CartesianToLatLon(std::nan(""), 0, 0, &la, &lo, 0.0, true));
}

}  // namespace

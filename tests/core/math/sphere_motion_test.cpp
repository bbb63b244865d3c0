#include "core/math/sphere_motion.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <complex>

#include <gtest/gtest.h>

#include "core/math/great_circle.h"

namespace {

using Complex = std::complex<long double>;

// The displacement (north + i east, metres) of the clothoid step by
// composite Simpson's rule in long double: the integral of the velocity
// turned by the heading.
Complex ReferenceStep(double t, double psi0, double w, double k, double vx, double vy, double ax,
                      double ay) {
  const int n = 20000;
  const long double h = static_cast<long double>(t) / n;
  Complex sum = 0;
  for (int i = 0; i <= n; ++i) {
    const long double s = h * i;
    const long double psi = psi0 + w * s + 0.5L * k * s * s;
    const Complex body(vy + ay * s, vx + ax * s);
    const long double weight = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
    sum += weight * body * Complex(std::cos(psi), std::sin(psi));
  }
  return sum * (h / 3);
}

// The step as north and east metres, from (0, 0) on the equator.
Complex Step(double t, double psi0, double w, double k, double vx, double vy, double ax,
             double ay) {
  double lat = 0, lon = 0;
  EXPECT_TRUE(MoveClothoid(t, &lat, &lon, &psi0, &vx, &vy, &w, ax, ay, k));
  double d, b;
  GreatCircleDistance(0, 0, lat, lon, &d, &b);
  return std::polar<long double>(d * 1852.0, b * M_PI / 180.0);
}

TEST(SphereMotion, MoveStraight) {
  double lat = 0, lon = 0, value = 1, course = 90, speed = 1852;
  ASSERT_TRUE(MoveStraight(1.0, &lat, &lon, &value, &course, &speed, 0.5, 0.0, 2.0));
  EXPECT_NEAR(lat, 0.0, 1e-12);
  EXPECT_NEAR(lon, 1.0 / 60, 1e-12);
  EXPECT_EQ(value, 1.5);
  EXPECT_EQ(course, 92.0);  // turned after the move
  EXPECT_EQ(speed, 1852.0);
  // A deceleration that would run backwards changes nothing.
  EXPECT_FALSE(MoveStraight(10.0, &lat, &lon, &value, &course, &speed, 0.5, -500.0, 0.0));
  EXPECT_FALSE(MoveStraight(NAN, &lat, &lon, &value, &course, &speed, 0.5, 0.0, 0.0));
  EXPECT_FALSE(MoveStraight(1.0, &lat, &lon, &value, &course, &speed, NAN, 0.0, 0.0));
  EXPECT_NEAR(lon, 1.0 / 60, 1e-12);
  EXPECT_EQ(value, 1.5);
}

TEST(SphereMotion, MoveTurningFollowsTheCircle) {
  const double lat = 50, lon = -4, speed = 12, rot = 30;  // knots, degrees per minute
  double la, lo, h, cLat, cLon, d, b;
  for (double r : {rot, -rot}) {
    ASSERT_TRUE(MoveTurning(60, lat, lon, 10, 10, speed, r, &la, &lo, &h, &cLat, &cLon));
    EXPECT_NEAR(h, r > 0 ? 40.0 : 340.0, 1e-12);
    // The centre lies abeam on the side of the turn at the turning radius.
    // Miles run in the minutes a full circle takes, over 2 pi.
    const double radius = speed / 60 * (360.0 / std::fabs(r)) / (2 * M_PI);
    GreatCircleDistance(lat, lon, cLat, cLon, &d, &b);
    EXPECT_NEAR(d, radius, 1e-9);
    EXPECT_NEAR(b, r > 0 ? 100.0 : 280.0, 1e-6);
    GreatCircleDistance(cLat, cLon, la, lo, &d, nullptr);
    EXPECT_NEAR(d, radius, 1e-9);
    // 30 degrees of the circle: the chord 2 R sin(15).
    GreatCircleDistance(lat, lon, la, lo, &d, nullptr);
    EXPECT_NEAR(d, 2 * radius * std::sin(15 * M_PI / 180), 1e-6);
  }
  // A full circle comes back to the start.
  MoveTurning(12 * 60, lat, lon, 10, 10, speed, rot, &la, &lo, &h, &cLat, &cLon);
  EXPECT_NEAR(la, lat, 1e-9);
  EXPECT_NEAR(lo, lon, 1e-9);
  // Hardly turning: straight, the "centre" far abeam.
  MoveTurning(3600, 0, 0, 5, 90, 10, 0.001, &la, &lo, &h, &cLat, &cLon);
  EXPECT_NEAR(lo, 10.0 / 60, 1e-12);
  EXPECT_EQ(h, 5.0);
  EXPECT_NEAR(cLat, -1000.0 / 60, 1e-9);
  EXPECT_FALSE(MoveTurning(NAN, 0, 0, 5, 90, 10, 3, &la, &lo, &h, &cLat, &cLon));
}

TEST(SphereMotion, MoveClothoidRegimesAgreeWithQuadrature) {
  struct Case {
    double t, psi0, w, k, vx, vy, ax, ay, tolerance;
  };
  const Case cases[] = {
      {10, 0.3, 0.0, 0.0, 0.5, 10, 0.2, 0.1, 1e-9},     // straight
      {10, 0.3, 5e-5, 5e-7, 0.5, 10, 0.2, 0.1, 2e-4},   // almost straight: polynomial
      {10, 1.3, 0.05, 0.0, 0.5, 10, 0.2, 0.1, 1e-8},    // circular
      {10, 1.3, 0.05, 8e-7, 0.5, 10, 0.2, 0.1, 2e-3},   // circular, rate change dropped
      {1, 0.3, 0.05, 0.01, 0.5, 10, 0.0, 0.0, 1e-8},    // clothoid
      {10, 0.3, 0.05, 0.01, 0.5, 10, 0.2, 0.1, 1e-6},   // clothoid with acceleration
      {30, -2.0, -0.2, 0.01, -1.0, 8, 0.0, 0.3, 1e-6},  // through a change of turn
      {10, 1.3, 0.0, -1e-3, 0.5, 10, 0.1, 0.0, 1e-6},
  };
  for (const Case& c : cases) {
    const Complex got = Step(c.t, c.psi0, c.w, c.k, c.vx, c.vy, c.ax, c.ay);
    const Complex want = ReferenceStep(c.t, c.psi0, c.w, c.k, c.vx, c.vy, c.ax, c.ay);
    EXPECT_LT(static_cast<double>(std::abs(got - want)), c.tolerance)
        << c.w << " " << c.k << " " << static_cast<double>(std::abs(got - want));
  }
  // The state moves on to the end of the step.
  double lat = 0, lon = 0, psi = 1.0, vx = 1, vy = 2, w = 0.1;
  ASSERT_TRUE(MoveClothoid(2.0, &lat, &lon, &psi, &vx, &vy, &w, 0.5, -0.5, 0.01));
  EXPECT_DOUBLE_EQ(psi, 1.0 + 0.2 + 0.02);
  EXPECT_EQ(vx, 2.0);
  EXPECT_EQ(vy, 1.0);
  EXPECT_DOUBLE_EQ(w, 0.12);
  EXPECT_FALSE(MoveClothoid(2.0, &lat, &lon, &psi, &vx, &vy, &w, NAN, 0, 0));
  EXPECT_FALSE(MoveClothoid(2.0, nullptr, &lon, &psi, &vx, &vy, &w, 0, 0, 0));
  EXPECT_DOUBLE_EQ(w, 0.12);
}

// A step whose inner destination fails (a distance that overflows, a
// Fresnel argument inf / inf) fails as a whole and writes nothing: the
// straight branch of MoveTurning returned true with its position unset.
TEST(SphereMotion, AFailedInnerStepFailsTheStep) {
  constexpr double kSentinel = 123.0;
  // A straight step of dt DBL_MAX either way, and a turn of DBL_MAX degrees
  // per minute whose heading overflows.
  const std::array<std::array<double, 2>, 6> steps{{{DBL_MAX, 0.0},
                                                     {-DBL_MAX, 0.0},
                                                     {DBL_MAX, -0.005},
                                                     {-DBL_MAX, 0.005},
                                                     {100.0, DBL_MAX},
                                                     {100.0, -DBL_MAX}}};
  for (const auto& [dt, rot] : steps) {
    double la = kSentinel, lo = kSentinel, h = kSentinel, cLat = kSentinel, cLon = kSentinel;
    EXPECT_FALSE(MoveTurning(dt, 0, 0, 5, 90, 10, rot, &la, &lo, &h, &cLat, &cLon)) << rot;
    for (double v : {la, lo, h, cLat, cLon}) EXPECT_EQ(v, kSentinel) << dt << ' ' << rot;
  }
  double la = kSentinel, lo = kSentinel;
  EXPECT_FALSE(MoveTurning(10, 0, 0, 5, 90, DBL_MAX, 0, &la, &lo, nullptr, nullptr, nullptr));
  EXPECT_EQ(la, kSentinel);
  EXPECT_EQ(lo, kSentinel);

  double lat = 1, lon = 2, value = 3, course = 4, speed = 5;
  EXPECT_FALSE(MoveStraight(DBL_MAX, &lat, &lon, &value, &course, &speed, 0, 0, 0));
  EXPECT_EQ(lat + lon + value + course + speed, 15.0);

  double psi = 1.0, vx = 1, vy = 2, w = 0.1;
  for (double k : {DBL_MAX, -DBL_MAX}) {
    EXPECT_FALSE(MoveClothoid(1.0, &lat, &lon, &psi, &vx, &vy, &w, 0, 0, k));
    EXPECT_EQ(lat, 1.0);
    EXPECT_EQ(lon, 2.0);
    EXPECT_EQ(psi + vx + vy, 4.0);
    EXPECT_EQ(w, 0.1);
  }
}

}  // namespace

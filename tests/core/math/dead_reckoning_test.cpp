#include "core/math/dead_reckoning.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

constexpr double kDeg = M_PI / 180.0;

// Where a turn at constant rate ends, by rotating the start about the
// circle's centre: independent of chords and mean headings.
void RotateAboutCentre(double speed, double heading, double rate, double dt, double* x, double* y) {
  const double radius = speed / std::fabs(rate * kDeg);
  const double side = rate > 0 ? 90.0 : -90.0;
  const double cx = radius * std::sin((heading + side) * kDeg);
  const double cy = radius * std::cos((heading + side) * kDeg);
  // Direction from the centre to the point turns with the heading.
  const double from = (heading + side + 180.0 + rate * dt) * kDeg;
  *x = cx + radius * std::sin(from);
  *y = cy + radius * std::cos(from);
}

TEST(DeadReckon, HalfCircleAndStraight) {
  double e = 0, n = 0;
  ASSERT_TRUE(DeadReckon(&e, &n, 1.0, 0.0, 9.0, 20.0));
  EXPECT_NEAR(e, 40.0 / M_PI, 1e-12);
  EXPECT_NEAR(n, 0.0, 1e-12);
  e = n = 0;
  ASSERT_TRUE(DeadReckonStraight(&e, &n, 2.0, 30.0, 5.0));
  EXPECT_NEAR(e, 5.0, 1e-12);
  EXPECT_NEAR(n, 10.0 * std::cos(30 * kDeg), 1e-12);
  EXPECT_FALSE(DeadReckon(&e, &n, 1.0, 0.0, 9.0, 0.0));
  EXPECT_FALSE(DeadReckon(&e, &n, 0.0, 0.0, 9.0, 3.0));
  EXPECT_FALSE(DeadReckon(nullptr, &n, 1.0, 0.0, 9.0, 3.0));
}

TEST(DeadReckon, AnyTurnEitherWayFollowsTheCircle) {
  // Turns past half a circle anticlockwise, and several whole circles, take
  // the same care as the others.
  for (double rate : {9.0, -9.0, 0.5, -0.5}) {
    for (double dt : {1.0, 15.0, 25.0, 39.0, 41.0, 100.0, 123.4}) {
      double e = 0, n = 0, x, y;
      ASSERT_TRUE(DeadReckon(&e, &n, 3.0, 70.0, rate, dt));
      RotateAboutCentre(3.0, 70.0, rate, dt, &x, &y);
      EXPECT_NEAR(e, x, 1e-9) << rate << " " << dt;
      EXPECT_NEAR(n, y, 1e-9) << rate << " " << dt;
    }
  }
}

// Exact circular motion, integrated: with w the rate in radians per second
// and R = speed / w, east = R (cos h - cos(h + w dt)) and north =
// R (sin(h + w dt) - sin h). Negative time steps and speeds run the circle
// backwards; a turn past half a circle then used to take a complementary
// arc whose length assumed a forward run (2.5 times the run off).
TEST(DeadReckon, NegativeStepsAndSpeedsFollowTheCircle) {
  double e = 0, n = 0;
  ASSERT_TRUE(DeadReckon(&e, &n, 1.0, 0.0, 9.0, -30.0));
  EXPECT_NEAR(e, 20.0 / M_PI, 1e-12);
  EXPECT_NEAR(n, 20.0 / M_PI, 1e-12);
  for (double speed : {1.0, -2.5}) {
    for (double rate : {0.5, 3.0, 9.0, 45.0, 170.0}) {
      for (double rateSign : {1.0, -1.0}) {
        for (double dt : {0.7, 5.0, 19.0, 20.0, 21.0, 30.0, 39.0, 41.0, 100.0, 123.4}) {
          for (double dtSign : {1.0, -1.0}) {
            for (double heading : {0.0, 77.0, 300.0}) {
              const double r = rate * rateSign;
              const double t = dt * dtSign;
              const double w = r * kDeg;
              const double radius = speed / w;
              const double h = heading * kDeg;
              const double east = radius * (std::cos(h) - std::cos(h + w * t));
              const double north = radius * (std::sin(h + w * t) - std::sin(h));
              const double tolerance = 1e-12 * (std::fabs(radius) + std::fabs(speed * t));
              double x = 0, y = 0;
              ASSERT_TRUE(DeadReckon(&x, &y, speed, heading, r, t));
              EXPECT_NEAR(x, east, tolerance) << speed << ' ' << r << ' ' << t << ' ' << heading;
              EXPECT_NEAR(y, north, tolerance) << speed << ' ' << r << ' ' << t << ' ' << heading;
              x = 10.0;
              y = -4.0;
              ASSERT_TRUE(DeadReckonScaled(&x, &y, speed, heading, r, 2.0, -0.5, t));
              EXPECT_NEAR(x, 10.0 + east / 2.0, tolerance) << speed << ' ' << r << ' ' << t;
              EXPECT_NEAR(y, -4.0 - north / 0.5, 4.0 * tolerance) << speed << ' ' << r << ' ' << t;
            }
          }
        }
      }
    }
  }
}

TEST(DeadReckon, ThereAndBack) {
  double e = 500.0, n = -200.0;
  ASSERT_TRUE(DeadReckon(&e, &n, 4.5, 12.0, 2.5, 30.0));
  // Back along the same arc: reversed heading, turning the other way.
  ASSERT_TRUE(DeadReckon(&e, &n, 4.5, 12.0 + 2.5 * 30.0 + 180.0, -2.5, 30.0));
  EXPECT_NEAR(e, 500.0, 1e-9);
  EXPECT_NEAR(n, -200.0, 1e-9);
}

TEST(DeadReckon, ScaledGridsAndBadInput) {
  double x = 4.0, y = 50.0;
  ASSERT_TRUE(DeadReckonScaledStraight(&x, &y, 10.0, 90.0, 1000.0, 2000.0, 10.0));
  EXPECT_NEAR(x, 4.1, 1e-12);
  EXPECT_NEAR(y, 50.0, 1e-12);
  EXPECT_FALSE(DeadReckonScaled(&x, &y, 10.0, 90.0, 1.0, 0.0005, 1.0, 10.0));
  EXPECT_FALSE(DeadReckonScaled(&x, &y, 10.0, 90.0, 1.0, NAN, 1.0, 10.0));
  // NaN in, nothing moved and no success.
  EXPECT_FALSE(DeadReckon(&x, &y, NAN, 90.0, 1.0, 10.0));
  EXPECT_FALSE(DeadReckon(&x, &y, 1.0, 90.0, INFINITY, 10.0));
  EXPECT_NEAR(x, 4.1, 1e-12);
  EXPECT_NEAR(y, 50.0, 1e-12);
}

TEST(ClosestApproach, AgreesWithSampledDistances) {
  double t, d, x1, y1, x2, y2;
  EXPECT_EQ(ClosestApproach(0, 0, 5, 45, 100, 0, 5, 45, &t, &d, &x1, &y1, &x2, &y2), 0.0);
  EXPECT_DOUBLE_EQ(d, 100.0);
  EXPECT_EQ(x2, 100.0);
  // Crossing courses: the sampled minimum of the distance.
  const double tc = ClosestApproach(0, 0, 6, 30, 900, 200, 4, 290, &t, &d, &x1, &y1, &x2, &y2);
  double best = INFINITY, bestT = 0;
  for (double s = -100; s < 400; s += 0.01) {
    const double dx = 6 * s * std::sin(30 * kDeg) - (900 + 4 * s * std::sin(290 * kDeg));
    const double dy = 6 * s * std::cos(30 * kDeg) - (200 + 4 * s * std::cos(290 * kDeg));
    if (std::hypot(dx, dy) < best) {
      best = std::hypot(dx, dy);
      bestT = s;
    }
  }
  EXPECT_NEAR(tc, bestT, 0.01);
  EXPECT_NEAR(d, best, 1e-6);
  EXPECT_NEAR(std::hypot(x1 - x2, y1 - y2), d, 1e-9);
  // Moving apart: the closest approach lies in the past.
  EXPECT_LT(ClosestApproach(0, 0, 5, 180, 0, 10, 5, 0, &t, &d, &x1, &y1, &x2, &y2), 0.0);
}

}  // namespace

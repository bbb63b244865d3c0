#include "core/math/arcs.h"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "core/math/angles.h"
#include "core/math/plane_lines.h"
#include "tests/support/extreme_doubles.h"

namespace {

double Dist(double x1, double y1, double x2, double y2) { return std::hypot(x2 - x1, y2 - y1); }

TEST(ArcMeasures, LengthHeightAndHalfCircles) {
  EXPECT_DOUBLE_EQ(ArcLength(10, 0, 0, 5), 5 * M_PI);
  EXPECT_DOUBLE_EQ(ArcLength(10, 0, 0, -5), 5 * M_PI);
  EXPECT_EQ(ArcLength(10, 0, 0, 4), 10.0);  // no arc fits: the chord
  EXPECT_EQ(ArcLength(0, 0, 3, 0), 3.0);
  EXPECT_EQ(ArcLength(3, 4, 0, INFINITY), 5.0);  // infinite radius is straight
  // A chord that rounding made a hair longer than the diameter is still the
  // half circle, not the chord.
  const double c = 10.0 * (1 + 1e-12);
  EXPECT_NEAR(ArcLength(c, 0, 0, 5), 5 * M_PI, 1e-6);
  EXPECT_NEAR(ArcLengthFromChord(0, 0, c, 0, 5), 5 * M_PI, 1e-6);
  EXPECT_NEAR(ArcHeight(c, 0, 5), 5.0, 1e-12);
  // Beyond that the chord, never NaN.
  EXPECT_EQ(ArcLengthFromChord(0, 0, 10.5, 0, 5), 10.5);
  EXPECT_EQ(ArcHeight(0, 0, 10, 0, 5), 5.0);
  EXPECT_EQ(ArcHeight(0, 0, 10, 0, 4), 0.0);
  // Flat arcs: the height r (1 - cos a) = 2 r sin^2(a / 2), sin a = h / r,
  // keeps its relative accuracy; r - sqrt(r^2 - h^2) would keep only the
  // digits that r's last place leaves.
  for (double r : {1e3, 1e6, -1e9, 1e12}) {
    for (double half : {1.0, 0.25, 30.0}) {
      const double q = half / r;
      const double sine = std::sin(std::asin(q) / 2.0);
      const double expected = 2.0 * r * sine * sine;
      EXPECT_NEAR(ArcHeight(2 * half, 0, r), std::fabs(expected), 1e-14 * std::fabs(expected))
          << r << ' ' << half;
      double mx = 0, my = 0;
      ArcMidpoint(0, 0, 2 * half, 0, r, &mx, &my);
      EXPECT_NEAR(std::fabs(my), std::fabs(expected), 1e-14 * std::fabs(expected)) << r;
    }
  }
}

TEST(ArcMeasures, LengthAndHeightAgreeWithTheCentre) {
  const double x1 = 1000.0, y1 = 2000.0, x2 = 1030.0, y2 = 2040.0;
  for (double r : {26.0, 40.0, -70.0, 1e4}) {
    double cx, cy;
    ASSERT_TRUE(CircleCentreFromChord(&x1, &y1, &x2, &y2, &r, &cx, &cy, false));
    EXPECT_NEAR(Dist(cx, cy, x1, y1), std::fabs(r), 1e-9);
    EXPECT_NEAR(Dist(cx, cy, x2, y2), std::fabs(r), 1e-9);
    // Clockwise arcs have their centre on the right.
    EXPECT_EQ(SideOfLine(x1, y1, x2, y2, cx, cy), r > 0 ? 1 : -1);
    double ax, ay;
    CircleCentreFromChord(&x1, &y1, &x2, &y2, &r, &ax, &ay, true);
    EXPECT_NEAR(ax, cx, 1e-9);
    EXPECT_NEAR(ay, cy, 1e-9);
    const double angle = std::acos(((x1 - cx) * (x2 - cx) + (y1 - cy) * (y2 - cy)) / (r * r));
    EXPECT_NEAR(ArcLengthBetween(x1, y1, x2, y2, r), angle * std::fabs(r), 1e-9);
    // Height: radius less the centre's distance from the chord's middle.
    const double h = std::fabs(r) - Dist(cx, cy, (x1 + x2) / 2, (y1 + y2) / 2);
    EXPECT_NEAR(ArcHeight(x1, y1, x2, y2, r), h, 1e-9);
    double mx, my;
    ArcMidpoint(x1, y1, x2, y2, r, &mx, &my);
    EXPECT_NEAR(Dist(cx, cy, mx, my), std::fabs(r), 1e-9);
    EXPECT_NEAR(Dist(x1, y1, mx, my), Dist(x2, y2, mx, my), 1e-9);
    // The tangents are perpendicular to the radii.
    const double ts = ArcTangentBearing(x1, y1, x2, y2, r, true);
    const double te = ArcTangentBearing(x1, y1, x2, y2, r, false);
    EXPECT_NEAR(std::sin(ts) * (x1 - cx) + std::cos(ts) * (y1 - cy), 0.0, 1e-9);
    EXPECT_NEAR(std::sin(te) * (x2 - cx) + std::cos(te) * (y2 - cy), 0.0, 1e-9);
  }
  double cx = 7, cy = 7;
  const double r0 = 0.0, r3 = 3.0;
  EXPECT_FALSE(CircleCentreFromChord(&x1, &y1, &x2, &y2, &r0, &cx, &cy, false));
  EXPECT_FALSE(CircleCentreFromChord(&x1, &y1, &x2, &y2, &r3, &cx, &cy, true));  // too short
  EXPECT_FALSE(CircleCentreFromChord(&x1, &y1, &x1, &y1, &r3, &cx, &cy, false));
  EXPECT_FALSE(CircleCentreFromChord(nullptr, &y1, &x2, &y2, &r3, &cx, &cy, false));
  EXPECT_EQ(cx, 7.0);
}

TEST(ArcDirections, TangentsCentresAndBearings) {
  EXPECT_DOUBLE_EQ(ArcTangentBearing(0, 10, 5, true), 1.5 * M_PI);
  EXPECT_DOUBLE_EQ(ArcTangentBearing(0, 10, 5, false), 0.5 * M_PI);
  EXPECT_DOUBLE_EQ(ArcTangentBearingDeg(0, 0, 0, 10, -5, true), 90.0);
  EXPECT_EQ(ArcTangentBearingDeg(3, 3, 0, true), 45.0);

  double cx, cy;
  EXPECT_DOUBLE_EQ(CircleThrough3Points(0, 0, 2, 0, 0, 2, &cx, &cy), std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(cx, 1.0);
  EXPECT_DOUBLE_EQ(cy, 1.0);
  cx = 9;
  EXPECT_EQ(CircleThrough3Points(0, 0, 1, 1, 2, 2, &cx, &cy), -1.0);
  EXPECT_EQ(CircleThrough3Points(0, 0, NAN, 1, 2, 0, &cx, &cy), -1.0);
  EXPECT_EQ(cx, 9.0);

  double b1, b2;
  const double c0 = 0, px = -0.1736, py = 0.9848, qx = 0.1736, qy = 0.9848;  // 350 and 10
  EXPECT_FALSE(ArcBearings(&px, &py, &qx, &qy, &c0, &c0, &b1, &b2));
  EXPECT_NEAR(b1, 350.0, 0.01);
  EXPECT_NEAR(b2, 370.0, 0.01);
  EXPECT_TRUE(ArcBearings(&qx, &qy, &px, &py, &c0, &c0, &b1, &b2));
  EXPECT_NEAR(b1, 350.0, 0.01);
  EXPECT_NEAR(b2, 370.0, 0.01);
}

TEST(ArcSteps, StepAngle) {
  const double a = 30.0, r = 100.0;
  // Equal ends: the full circle, 628 m in steps of at most 10 m.
  EXPECT_DOUBLE_EQ(ArcStepAngle(&a, &a, &r, 4, 10.0), 360.0 / 62);
  const double b = 120.0;
  EXPECT_DOUBLE_EQ(ArcStepAngle(&a, &b, &r, 20, 1000.0), 90.0 / 20);
  EXPECT_EQ(ArcStepAngle(&a, &b, &r, 4, 0.01), 0.1);  // tiny steps are raised
  // More steps than an int holds: still the finest step, not minSteps.
  EXPECT_EQ(ArcStepAngle(&a, &b, &r, 4, 1e-9), 0.1);
  EXPECT_EQ(ArcStepAngle(&a, &b, &r, 4, 0.0), 0.1);
  // No step count at all would divide by zero: one step.
  EXPECT_EQ(ArcStepAngle(&a, &b, &r, 0, 1e9), 90.0);
  EXPECT_EQ(ArcStepAngle(&a, &b, &r, -5, 1e9), 90.0);
  EXPECT_TRUE(std::isnan(ArcStepAngle(nullptr, &b, &r, 4, 1.0)));
}

TEST(ArcAdvance, PointsAlongAndOffTheArc) {
  // A clockwise quarter circle of radius 100 from (0, 0) heading north:
  // the centre is at (100, 0) and the end at (100, 100), heading east.
  const double len = 50 * M_PI;
  double x, y, chord, mean;
  ArcAdvance(0, 0, len, 0, 90, &x, &y);
  EXPECT_NEAR(x, 100.0, 1e-9);
  EXPECT_NEAR(y, 100.0, 1e-9);
  EXPECT_NEAR(ChordFromArc(len, 0, 90, &chord, &mean), 100 * std::sqrt(2.0), 1e-9);
  EXPECT_EQ(mean, 45.0);
  // Across north, and 5 m to starboard of the end heading (south of the end).
  ArcAdvance(0, 0, len, 315, 45, &x, &y);
  EXPECT_NEAR(x, 0.0, 1e-9);
  EXPECT_NEAR(y, 100 * std::sqrt(2.0), 1e-9);
  ArcAdvanceOffset(0, 0, 5, len, 0, 90, &x, &y);
  EXPECT_NEAR(x, 100.0, 1e-9);
  EXPECT_NEAR(y, 95.0, 1e-9);
  // From 3 m to port at the start to 5 m to starboard at the end.
  ArcOffsetToOffset(-3, 0, -3, 0, 5, len, 0, 90, &x, &y);
  EXPECT_NEAR(x, 100.0, 1e-9);
  EXPECT_NEAR(y, 95.0, 1e-9);
}

// Headings written whole turns apart name the same arc: the chord and its
// direction follow the exact circular arc of the shorter turn. The chord used
// a once-folded turn and the direction the mended mean, so headings more than
// 540 degrees apart gave the chord of one turn along the mean of another.
TEST(ArcAdvance, HeadingsWholeTurnsApartFollowTheShorterArc) {
  double chord = 0, mean = 0;
  EXPECT_NEAR(ChordFromArc(10, 0, 600, &chord, &mean), 10 * std::sin(M_PI / 3) / (M_PI / 3), 1e-12);
  EXPECT_EQ(mean, 300.0);
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> heading(0.0, 360.0);
  std::uniform_real_distribution<double> turnOf(-179.0, 179.0);
  const double kDeg = M_PI / 180.0;
  for (int i = 0; i < 2000; ++i) {
    const double h1 = heading(rng);
    const double turn = turnOf(rng);
    if (std::fabs(turn) < 1.0) continue;
    const double length = 50.0;
    // The exact end of an arc of that length turning by `turn`.
    const double radius = length / (turn * kDeg);
    const double ex = radius * (std::cos(h1 * kDeg) - std::cos((h1 + turn) * kDeg));
    const double ey = radius * (std::sin((h1 + turn) * kDeg) - std::sin(h1 * kDeg));
    for (int turns : {-3, -2, -1, 0, 1, 2, 3}) {
      const double h2 = h1 + turn + 360.0 * turns;
      double x, y;
      ArcAdvance(1.0, 2.0, length, h1, h2, &x, &y);
      ASSERT_NEAR(x, 1.0 + ex, 1e-9) << h1 << " -> " << h2;
      ASSERT_NEAR(y, 2.0 + ey, 1e-9) << h1 << " -> " << h2;
      const double end = (h1 + turn) * kDeg;
      ArcAdvanceOffset(1.0, 2.0, 4.0, length, h1, h2, &x, &y);
      ASSERT_NEAR(x, 1.0 + ex + 4.0 * std::cos(end), 1e-9) << h1 << " -> " << h2;
      ASSERT_NEAR(y, 2.0 + ey - 4.0 * std::sin(end), 1e-9) << h1 << " -> " << h2;
      ArcOffsetToOffset(1.0, 2.0, -3.0, 10.0, 4.0, 10.0 + length, h1, h2, &x, &y);
      const double start = h1 * kDeg;
      ASSERT_NEAR(x, 1.0 + 3.0 * std::cos(start) + ex + 4.0 * std::cos(end), 1e-9) << h1;
      ASSERT_NEAR(y, 2.0 - 3.0 * std::sin(start) + ey - 4.0 * std::sin(end), 1e-9) << h1;
      ASSERT_NEAR(ChordFromArc(length, h1, h2, &chord, &mean), std::hypot(ex, ey), 1e-9);
      ASSERT_NEAR(NormalizeAngle180(mean - (h1 + turn / 2)), 0.0, 1e-9);
    }
  }
}

// NaN in gives NaN (or failure); an infinite radius is straight everywhere.
TEST(ArcMeasures, ExtremeArguments) {
  for (double v : kExtremeDoubles) {
    if (!std::isnan(v)) continue;
    EXPECT_TRUE(std::isnan(ArcLength(10, 0, 0, v)));
    EXPECT_TRUE(std::isnan(ArcLengthFromChord(0, 0, 10, v, 6)));
    EXPECT_TRUE(std::isnan(ArcHeight(10, v, 6)));
    EXPECT_TRUE(std::isnan(ArcTangentBearing(v, 10, 6, true)));
    EXPECT_TRUE(std::isnan(ArcStepAngle(&v, &v, &v, 3, 1)));
  }
  double x = -7, y = -7;
  // A NaN radius passed the chord test and gave the chord's midpoint.
  const double nan = kNaNValue;
  const double x1 = 0, y1 = 0, x2 = 10, y2 = 0;
  for (bool byAngles : {false, true}) {
    EXPECT_FALSE(CircleCentreFromChord(&x1, &y1, &x2, &y2, &nan, &x, &y, byAngles));
    EXPECT_EQ(x, -7.0);
  }
  for (double r : {kInfValue, -kInfValue}) {
    EXPECT_EQ(ArcLength(10, 0, 0, r), 10.0);
    EXPECT_EQ(ArcHeight(10, 0, r), 0.0);
    EXPECT_EQ(ArcTangentBearingDeg(10, 0, r, true), 90.0);
    // The arc height 0 * infinity made the midpoint NaN.
    EXPECT_EQ(ArcMidpoint(0, 0, 10, 0, r, &x, &y), M_PI / 2);
    EXPECT_EQ(x, 5.0);
    EXPECT_EQ(y, 0.0);
  }
  EXPECT_EQ(CircleThrough3Points(0, 0, 2, 0, kNaNValue, 2, &x, &y), -1.0);
  // A NaN radius or step leaves the minimum count, as the int conversion's
  // INT32_MIN does.
  const double start = 0, end = 90, radius = kNaNValue;
  EXPECT_EQ(ArcStepAngle(&start, &end, &radius, 3, 1.0), 30.0);
  EXPECT_EQ(ArcStepAngle(&start, &end, &kInfValue, 3, 1.0), 0.1);
}

}  // namespace

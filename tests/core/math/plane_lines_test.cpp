#include "core/math/plane_lines.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "core/math/plane_geometry.h"
#include "tests/support/extreme_doubles.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Distance of p from the line through a on bearing b, written independently.
double OffLine(double ax, double ay, double b, double px, double py) {
  const double r = b * M_PI / 180.0;
  return std::fabs(std::sin(r) * (py - ay) - std::cos(r) * (px - ax));
}

TEST(PlaneLines, SidesAndProjections) {
  EXPECT_EQ(Orientation(0, 0, 1, 0, 0, 1), 1);
  EXPECT_EQ(Orientation(0, 0, 1, 1, kNaN, 2), 0);
  EXPECT_EQ(SideOfLine(0, 0, 0, 10, -1, 5), -1);
  EXPECT_EQ(SideOfLine(0, 0, 0, 10, 1, 5), 1);
  EXPECT_EQ(SideOfLine(0, 0, 1, 0, 5, 1e-11), 0);
  EXPECT_EQ(SegmentParameter(0, 0, 10, 0, 5, 3), 0.5);
  EXPECT_EQ(SegmentParameter(0, 0, 10, 0, 1e-12, 0), 0.0);
  EXPECT_EQ(SegmentParameter(0, 0, 10, 0, 20, 0), 2.0);
  EXPECT_EQ(SegmentParameter(3, 3, 3, 3, 8, 9), 0.0);  // a point segment

  EXPECT_DOUBLE_EQ(SignedDistanceToLine(0, 0, 0, 10, 3, 4), 3.0);
  EXPECT_DOUBLE_EQ(SignedDistanceToLine(0, 0, 0, 10, -3, 4), -3.0);
  EXPECT_DOUBLE_EQ(SignedDistanceToLine(0, 0, 10, 0, 4, 3), -3.0);  // north of eastward: left
  EXPECT_EQ(SignedDistanceToLine(2, 2, 2, 2, 5, 5), 0.0);
  // Squared lengths that under- or overflow.
  EXPECT_DOUBLE_EQ(SignedDistanceToLine(0, 0, 0, 1e-160, 3e-160, 4e-160), 3e-160);
  EXPECT_DOUBLE_EQ(SignedDistanceToLine(0, 0, 0, 1e160, -3e160, 4e160), -3e160);
  // Close to a long line: 1 - cos^2 of a cosine rounded to 1 would read 0.
  EXPECT_DOUBLE_EQ(SignedDistanceToLine(0, 0, 1000, 0, 1e6, 1e-3), -1e-3);
  EXPECT_DOUBLE_EQ(SignedDistanceToLine(0, 0, 1000, 0, 1e6, -1e-7), 1e-7);
  const double tiny = std::ldexp(1.0, -19);  // a whole number of units of 5e5's last place
  EXPECT_DOUBLE_EQ(SignedDistanceToLine(5e5, 6e6, 5e5, 6e6 + 1000, 5e5 + tiny, 6e6 + 3e3), tiny);
  // Against the cross product worked out in long double over random lines,
  // points near them above all.
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> coordinate(-1e6, 1e6);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 20000; ++i) {
    const double x1 = coordinate(rng), y1 = coordinate(rng);
    const double x2 = coordinate(rng), y2 = coordinate(rng);
    const double t = 3.0 * unit(rng);
    const double off = std::pow(10.0, -12.0 * std::fabs(unit(rng))) * unit(rng);
    const double px = x1 + t * (x2 - x1) - off * (y2 - y1);
    const double py = y1 + t * (y2 - y1) + off * (x2 - x1);
    // The differences as the doubles give them; their cross product in
    // quadruple precision, where the products are exact.
    const double ux = x2 - x1;
    const double uy = y2 - y1;
    const __float128 cross = static_cast<__float128>(ux) * (py - y1) -
                             static_cast<__float128>(uy) * (px - x1);
    const long double length = std::sqrt(static_cast<long double>(ux) * ux +
                                         static_cast<long double>(uy) * uy);
    const double expected = static_cast<double>(-static_cast<long double>(cross) / length);
    ASSERT_NEAR(SignedDistanceToLine(x1, y1, x2, y2, px, py), expected,
                1e-15 * std::fabs(expected))
        << x1 << ' ' << y1 << ' ' << x2 << ' ' << y2 << ' ' << px << ' ' << py;
  }
}

TEST(PlaneLines, PointInTriangle) {
  EXPECT_TRUE(PointInTriangle(1, 1, 0, 0, 0, 4, 4, 0, true));
  EXPECT_TRUE(PointInTriangle(0, 0, 0, 0, 4, 0, 0, 4, false));  // a corner
  EXPECT_FALSE(PointInTriangle(0, 0, 0, 0, 4, 0, 0, 4, true));
  EXPECT_TRUE(PointInTriangle(2, 0, 0, 0, 4, 0, 0, 4, false));  // an edge
  EXPECT_FALSE(PointInTriangle(6, 0, 0, 0, 4, 0, 0, 4, false));  // an edge's line, outside
  // Collinear corners have no inside: only points on them count, loosely.
  EXPECT_FALSE(PointInTriangle(1, 0, 0, 0, 2, 0, 4, 0, true));
  EXPECT_TRUE(PointInTriangle(1, 0, 0, 0, 2, 0, 4, 0, false));
  EXPECT_FALSE(PointInTriangle(9, 0, 0, 0, 2, 0, 4, 0, false));
  EXPECT_FALSE(PointInTriangle(kNaN, 1, 0, 0, 4, 0, 0, 4, false));
}

TEST(PlaneLines, BearingLines) {
  double x = -1, y = -1;
  ASSERT_TRUE(IntersectBearingLines(0, 0, 45, 10, 0, 315, &x, &y));
  EXPECT_NEAR(x, 5.0, 1e-12);
  EXPECT_NEAR(y, 5.0, 1e-12);
  ASSERT_TRUE(IntersectBearingLines(0, 1, 45, 3, 0, 180, &x, &y));  // north-south second
  EXPECT_EQ(x, 3.0);
  EXPECT_NEAR(y, 4.0, 1e-12);
  ASSERT_TRUE(IntersectBearingLines(3, 0, 360, 0, 1, 45 - 720, &x, &y));  // whole turns off
  EXPECT_EQ(x, 3.0);
  EXPECT_NEAR(y, 4.0, 1e-12);
  // Parallel or coincident, also across turns, and NaN: fail with (0, 0).
  for (double b2 : {30.0, 210.0, 390.0, -150.0, 30.0 + 5e-11, kNaN}) {
    x = y = -1;
    EXPECT_FALSE(IntersectBearingLines(0, 0, 30, 5, 1, b2, &x, &y)) << b2;
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
  }
  EXPECT_FALSE(IntersectBearingLines(0, 0, 1e-11, 5, 1, 359.99999999999999, &x, &y));
}

// The crossing lies on both lines, and the three forms agree.
TEST(PlaneLines, IntersectionLiesOnBothLines) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> coordinate(-1000.0, 1000.0);
  std::uniform_real_distribution<double> bearing(-360.0, 720.0);
  for (int i = 0; i < 5000; ++i) {
    const double x1 = coordinate(rng), y1 = coordinate(rng), b1 = bearing(rng);
    const double x2 = coordinate(rng), y2 = coordinate(rng), b2 = bearing(rng);
    if (std::fabs(std::sin((b1 - b2) * M_PI / 180.0)) < 0.05) continue;
    double x, y, x3, y3, x4, y4, lx, ly;
    ASSERT_TRUE(IntersectBearingLines(x1, y1, b1, x2, y2, b2, &x, &y));
    const double scale = 1.0 + std::hypot(x, y);
    ASSERT_LT(OffLine(x1, y1, b1, x, y), 1e-9 * scale) << b1 << " " << b2;
    ASSERT_LT(OffLine(x2, y2, b2, x, y), 1e-9 * scale) << b1 << " " << b2;
    PolarToPoint(x1, y1, 50.0, b1, &x3, &y3);
    PolarToPoint(x2, y2, 50.0, b2, &x4, &y4);
    ASSERT_TRUE(IntersectLines(x1, y1, x3, y3, x2, y2, x4, y4, &lx, &ly));
    ASSERT_NEAR(lx, x, 1e-8 * scale);
    ASSERT_TRUE(LineIntersection(x1, y1, x3, y3, x2, y2, x4, y4, &lx, &ly));
    ASSERT_NEAR(ly, y, 1e-8 * scale);
  }
}

// Steep lines (nearly north-south but not snapped) far from the grid origin:
// the crossing agrees with the one worked out in quadruple precision from the
// same points, where slope and intercept would carry the rounding of t x.
TEST(PlaneLines, SteepLinesFarFromTheOriginCrossAccurately) {
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 2000; ++i) {
    const double x1 = 5e5 + 1e3 * unit(rng), y1 = 6e6 + 1e3 * unit(rng);
    const double lean = std::pow(10.0, -9.0 + 4.0 * unit(rng)) * (i % 2 == 0 ? 1 : -1);
    const double x2 = x1 + lean * 1000.0, y2 = y1 + (i % 3 == 0 ? -1000.0 : 1000.0);
    const double x3 = x1 - 300.0 * unit(rng) - 10.0, y3 = y1 + 500.0 * unit(rng);
    const double x4 = x1 + 300.0 * unit(rng) + 10.0, y4 = y1 + 500.0 * unit(rng);
    double x = 0, y = 0;
    ASSERT_TRUE(LineIntersection(x1, y1, x2, y2, x3, y3, x4, y4, &x, &y)) << i;
    using Q = __float128;
    const Q dx12 = Q(x2) - x1, dy12 = Q(y2) - y1, dx34 = Q(x4) - x3, dy34 = Q(y4) - y3;
    const Q t = ((Q(x3) - x1) * dy34 - (Q(y3) - y1) * dx34) / (dx12 * dy34 - dy12 * dx34);
    const double ex = static_cast<double>(x1 + t * dx12);
    const double ey = static_cast<double>(y1 + t * dy12);
    ASSERT_NEAR(x, ex, 1e-8) << i << ' ' << lean;
    ASSERT_NEAR(y, ey, 1e-8) << i << ' ' << lean;
  }
}

TEST(PlaneLines, IntersectLinesAndDegenerateSegments) {
  double x = -1, y = -1;
  ASSERT_TRUE(IntersectLines(0, 0, 1, 1, 100, 0, 99, 1, &x, &y));  // beyond both ends
  EXPECT_EQ(x, 50.0);
  EXPECT_EQ(y, 50.0);
  EXPECT_FALSE(IntersectLines(0, 0, 10, 0, 0, 5, 10, 5, &x, &y));  // parallel
  EXPECT_EQ(x, 0.0);
  EXPECT_FALSE(IntersectLines(0, 0, 10, 0, 20, 0, 30, 0, &x, &y));  // coincident
  EXPECT_FALSE(IntersectLines(0, 0, kNaN, 1, 0, 5, 10, 5, &x, &y));
  x = y = -1;
  // A point segment has no bearing and must not pass for a north-south line.
  EXPECT_FALSE(LineIntersection(0, 0, 0, 0, -1, 1, 1, 1, &x, &y));
  EXPECT_FALSE(LineIntersection(0, 0, 10, 10, 20, 20, 15, 15, &x, &y));  // coincident
  EXPECT_FALSE(SegmentIntersection(0, 0, 0, 0, -1, 0, 1, 0, &x, &y));
  EXPECT_EQ(x, -1.0);  // written only on success
}

TEST(PlaneLines, SegmentIntersection) {
  double x = -1, y = -1;
  ASSERT_TRUE(SegmentIntersection(-4, -4, 4, 4, -3, 1, 3, 1, &x, &y));
  EXPECT_NEAR(x, 1.0, 1e-12);
  ASSERT_TRUE(SegmentIntersection(0, -5, 0, 5, 1, 2, -1, 2, &x, &y));  // axis-parallel
  EXPECT_EQ(x, 0.0);
  EXPECT_NEAR(y, 2.0, 1e-12);
  EXPECT_FALSE(SegmentIntersection(0, -5, 0, 5, -1, 7, 1, 7, &x, &y));
  EXPECT_FALSE(SegmentIntersection(0, 0, 10, 10, 10, 10, 20, 0, &x, &y));  // shared end

  bool eastward = false;
  ASSERT_TRUE(SegmentIntersectionDirected(10, 10, 0, 0, 0, 10, 10, 0, &x, &y, &eastward));
  EXPECT_FALSE(eastward);
  ASSERT_TRUE(SegmentIntersectionDirected(0, 0, 10, 0, 10, -5, 10, 5, &x, &y, &eastward));
  EXPECT_TRUE(eastward);  // ends count
  EXPECT_EQ(x, 10.0);
  // A north-south first segment is judged along y.
  EXPECT_TRUE(SegmentIntersectionDirected(0, 0, 0, 10, -1, 4, 1, 4, &x, &y, &eastward));
  EXPECT_FALSE(SegmentIntersectionDirected(0, 0, 0, 10, -1, 40, 1, 40, &x, &y, &eastward));
}

// A first segment within the snapping tolerance of north-south lies on the
// snapped line x = x1, so x alone accepted crossings far beyond its ends.
TEST(PlaneLines, DirectedSegmentNearlyNorthSouthIsJudgedAlongY) {
  double x = -1, y = -1;
  bool eastward = false;
  EXPECT_FALSE(SegmentIntersectionDirected(0, 0, 1e-12, 10, -1, 100, 1, 100, &x, &y, &eastward));
  EXPECT_EQ(x, -1.0);  // untouched on failure
  for (double lean : {0.0, 1e-14, -1e-14, 1e-12, -1e-12, 1e-11, -1e-11, 1e-3, -1e-3}) {
    for (double length : {10.0, -10.0, 5000.0, -5000.0}) {  // northward and southward
      const double x1 = 3.0, y1 = -7.0;
      const double x2 = x1 + lean * std::fabs(length), y2 = y1 + length;
      for (double share : {-1.0, -0.01, 1.01, 2.0, 10.0}) {  // beyond the ends
        const double cx = x1 + share * (x2 - x1), cy = y1 + share * length;
        EXPECT_FALSE(SegmentIntersectionDirected(x1, y1, x2, y2, cx - 1, cy - 0.5, cx + 1, cy + 0.5,
                                                 &x, &y, &eastward))
            << lean << ' ' << length << ' ' << share;
      }
      for (double share : {0.001, 0.1, 0.5, 0.999}) {  // on the segment
        const double cx = x1 + share * (x2 - x1), cy = y1 + share * length;
        ASSERT_TRUE(SegmentIntersectionDirected(x1, y1, x2, y2, cx - 1, cy - 0.5, cx + 1, cy + 0.5,
                                                &x, &y, &eastward))
            << lean << ' ' << length << ' ' << share;
        EXPECT_NEAR(y, cy, 1e-6 * std::fabs(length));
      }
    }
  }
}

// The crossing of a segment snapped to north-south lies on the snapped line
// x = x1, never strictly inside its x range: such a segment crossed nothing.
TEST(PlaneLines, SegmentSnappedToNorthSouthIsJudgedAlongY) {
  double x = -1, y = -1;
  for (double lean : {1e-12, -1e-12, 1e-14}) {
    for (double length : {10.0, -10.0}) {
      const double dx = lean * std::fabs(length);
      // First and second segment near-vertical in turn.
      EXPECT_TRUE(SegmentIntersection(2, 0, 2 + dx, length, 0, length / 2, 5, length / 2, &x, &y))
          << lean << ' ' << length;
      EXPECT_NEAR(x, 2.0, 1e-9);
      EXPECT_NEAR(y, length / 2, 1e-9);
      EXPECT_TRUE(SegmentIntersection(0, length / 2, 5, length / 2, 2, 0, 2 + dx, length, &x, &y))
          << lean << ' ' << length;
      EXPECT_FALSE(SegmentIntersection(2, 0, 2 + dx, length, 0, 2 * length, 5, 2 * length, &x, &y));
      EXPECT_FALSE(SegmentIntersection(0, 2 * length, 5, 2 * length, 2, 0, 2 + dx, length, &x, &y));
      EXPECT_FALSE(SegmentIntersection(2, 0, 2 + dx, length, 3, length / 2, 5, length / 2, &x, &y));
    }
  }
}

TEST(PlaneLines, LineCircle) {
  double xa = -1, ya = -1, xb = -1, yb = -1;
  ASSERT_EQ(IntersectLineCircle(-10, 0, 10, 0, 0, 0, 5, &xa, &ya, &xb, &yb), 2);
  EXPECT_EQ(xa, 5.0);
  EXPECT_EQ(xb, -5.0);
  ASSERT_EQ(IntersectLineCircle(-10, 5, 10, 5, 0, 0, 5, &xa, &ya, &xb, &yb), 1);  // tangent
  EXPECT_EQ(ya, 5.0);
  EXPECT_EQ(xb, 0.0);
  EXPECT_EQ(yb, 0.0);
  EXPECT_EQ(IntersectLineCircle(-10, 6, 10, 6, 0, 0, 5, &xa, &ya, &xb, &yb), 0);
  EXPECT_EQ(xa, 0.0);
  // A point gives no line: no NaN crossing counted.
  EXPECT_EQ(IntersectLineCircle(5, 0, 5, 0, 0, 0, 5, &xa, &ya, &xb, &yb), 0);
  EXPECT_EQ(IntersectLineCircle(kNaN, 0, 5, 0, 0, 0, 5, &xa, &ya, &xb, &yb), 0);

  std::mt19937_64 rng(9);  // both crossings on the circle and on the line
  std::uniform_real_distribution<double> coordinate(-100.0, 100.0);
  for (int i = 0; i < 1000; ++i) {
    const double x1 = coordinate(rng), y1 = coordinate(rng), x2 = coordinate(rng);
    const double y2 = coordinate(rng), cx = coordinate(rng), cy = coordinate(rng);
    const double r = std::fabs(coordinate(rng));
    if (IntersectLineCircle(x1, y1, x2, y2, cx, cy, r, &xa, &ya, &xb, &yb) != 2) {
      EXPECT_GT(std::fabs(SignedDistanceToLine(x1, y1, x2, y2, cx, cy)), r * (1 - 1e-9));
      continue;
    }
    const double b = BearingDeg(x2 - x1, y2 - y1);
    ASSERT_NEAR(std::hypot(xa - cx, ya - cy), r, 1e-9 * (1 + r));
    ASSERT_NEAR(std::hypot(xb - cx, yb - cy), r, 1e-9 * (1 + r));
    ASSERT_LT(OffLine(x1, y1, b, xa, ya) + OffLine(x1, y1, b, xb, yb), 1e-7);
  }
}

}  // namespace

// NaN anywhere gives NaN (or the documented 0 for p1 == p2, p == p1); an
// infinite coordinate gives NaN too, and DBL_MAX coordinates stay in range.
// A NaN coordinate used to negate ilogb(NaN) = INT_MIN.
TEST(PlaneLines, ExtremeArguments) {
  ForEachExtremeArgument(std::array<double, 6>{0, 0, 0, 10, 3, 4}, [](const auto& a) {
    const double d = SignedDistanceToLine(a[0], a[1], a[2], a[3], a[4], a[5]);
    const bool finite = std::all_of(a.begin(), a.end(), [](double v) { return std::isfinite(v); });
    if (!finite)
      EXPECT_TRUE(std::isnan(d)) << a[0] << ' ' << a[1] << ' ' << a[2] << ' ' << a[3] << ' '
                                 << a[4] << ' ' << a[5];
    else
      EXPECT_TRUE(std::isfinite(d));
  });
  EXPECT_EQ(SignedDistanceToLine(1, 2, 1, 2, kNaN, 0), 0.0);  // p1 == p2
  EXPECT_TRUE(std::isnan(SignedDistanceToLine(0, 0, 0, kNaN, 3, 4)));  // ilogb(0) beside NaN
  EXPECT_DOUBLE_EQ(SignedDistanceToLine(0, 0, 0, 10, DBL_MAX, 4), DBL_MAX);
  EXPECT_EQ(SignedDistanceToLine(DBL_MAX, 0, 0, 10, 3, 4), -6.0);
  EXPECT_EQ(SignedDistanceToLine(0, 0, 0, kDenormValue, 3, 4), 3.0);
  EXPECT_TRUE(std::isnan(SegmentParameter(0, 0, 0, 10, kNaN, 4)));
  EXPECT_EQ(SegmentParameter(0, 0, 0, 10, DBL_MAX, 4), 0.4);  // x is across a north line

  // A NaN or infinite corner or point is never inside (it read as an edge).
  for (int slot = 0; slot < 8; ++slot) {
    for (double v : {kNaN, kInfValue, -kInfValue}) {
      double a[8] = {1, 1, 0, 0, 10, 0, 0, 10};
      a[slot] = v;
      EXPECT_FALSE(PointInTriangle(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], false))
          << slot << ' ' << v;
    }
  }
  EXPECT_TRUE(PointInTriangle(1, 1, 0, 0, DBL_MAX, 0, 0, 10, false));

  // Every intersection fails for non-finite input; a north-south line used
  // to take its x alone and return a crossing for an infinite y.
  double x = -1, y = -1;
  EXPECT_FALSE(IntersectBearingLines(0, kInfValue, 0, 5, 1, 90, &x, &y));
  EXPECT_EQ(x, 0.0);
  ForEachExtremeArgument(std::array<double, 8>{0, 0, 10, 10, 0, 10, 10, 0}, [&](const auto& a) {
    if (std::isfinite(a[0] + a[1] + a[2] + a[3] + a[4] + a[5] + a[6] + a[7])) return;
    x = y = -1;
    EXPECT_FALSE(LineIntersection(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], &x, &y));
    EXPECT_FALSE(SegmentIntersection(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], &x, &y));
    bool east;
    EXPECT_FALSE(
        SegmentIntersectionDirected(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], &x, &y, &east));
    EXPECT_EQ(x, -1.0);
    EXPECT_FALSE(IntersectLines(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], &x, &y));
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(IntersectLineCircle(a[0], a[1], a[2], a[3], a[4], a[5], 2.0, &x, &y, nullptr, nullptr),
              0);
  });
  // An overflowed determinant made t 0 and returned p1 (0, 0) where the
  // lines cross near (10, 0).
  EXPECT_FALSE(IntersectLines(0, 0, DBL_MAX, 10, 0, 10, 10, 0, &x, &y));
  ASSERT_TRUE(LineIntersection(0, 0, DBL_MAX, 10, 0, 10, 10, 0, &x, &y));
  EXPECT_NEAR(x, 10.0, 1e-12);
  EXPECT_NEAR(y, 0.0, 1e-12);
}

#include "core/math/track_elements.h"

#include <cmath>
#include <array>

#include <gtest/gtest.h>

#include "core/math/arcs.h"
#include "tests/support/extreme_doubles.h"

namespace {

TEST(TrackElementStation, Lines) {
  double along, remaining, offset, length, direction;
  EXPECT_DOUBLE_EQ(
      StationOffset(0, 0, 0, 10, 0, 3, 4, &along, &remaining, &offset, &length, &direction), 4.0);
  EXPECT_DOUBLE_EQ(remaining, 6.0);
  EXPECT_DOUBLE_EQ(offset, 3.0);
  EXPECT_EQ(length, 10.0);
  EXPECT_EQ(direction, 0.0);
  StationOffset(0, 0, 0, 10, 0, -2, -5, &along, &remaining, &offset, &length, &direction);
  EXPECT_DOUBLE_EQ(along, -5.0);
  EXPECT_DOUBLE_EQ(offset, -2.0);
  EXPECT_DOUBLE_EQ(remaining, 15.0);
  EXPECT_EQ(StationOffset(1, 1, 1, 1, 0, 5, 5, &along, &remaining, &offset, &length, &direction),
            0.0);
  EXPECT_EQ(offset, 0.0);
}

// A point on the start is at station 0 with the whole element still to run,
// as any point near it is; a line gave remaining 0 there.
TEST(TrackElementStation, PointOnTheStartHasTheWholeElementRemaining) {
  for (double r : {0.0, 100.0, -100.0}) {
    for (double lean : {0.0, 1e-9, -1e-9}) {
      double along = -1, remaining = -1, offset = -1, length = -1, direction = -1;
      const double x1 = 3, y1 = -4, x2 = 63, y2 = 76;
      const double px = x1 + lean * (x2 - x1), py = y1 + lean * (y2 - y1);
      EXPECT_NEAR(StationOffset(x1, y1, x2, y2, r, px, py, &along, &remaining, &offset, &length,
                                &direction),
                  0.0, 1e-6);
      EXPECT_GT(length, 99.0);
      EXPECT_NEAR(remaining, length, 1e-6) << r << ' ' << lean;
      EXPECT_NEAR(along + remaining, length, 1e-9) << r << ' ' << lean;
      EXPECT_NEAR(offset, 0.0, 1e-6) << r << ' ' << lean;
    }
  }
}

TEST(TrackElementStation, Arcs) {
  // Clockwise quarter circle about (100, 0) from (0, 0) to (100, 100).
  const double r = 100;
  double along, remaining, offset, length, direction;
  // P 10 m inside the arc at its middle (centre direction 315).
  const double px = 100 - 90 * std::sqrt(0.5), py = 90 * std::sqrt(0.5);
  StationOffset(0, 0, 100, 100, r, px, py, &along, &remaining, &offset, &length, &direction);
  EXPECT_NEAR(length, 50 * M_PI, 1e-9);
  EXPECT_NEAR(along, 25 * M_PI, 1e-9);
  EXPECT_NEAR(remaining, 25 * M_PI, 1e-9);
  EXPECT_NEAR(offset, 10.0, 1e-9);  // inside a clockwise turn is starboard
  EXPECT_NEAR(direction, 45.0, 1e-9);
  // The same arc run anticlockwise from its far end: port, reverse direction.
  StationOffset(100, 100, 0, 0, -r, px, py, &along, &remaining, &offset, &length, &direction);
  EXPECT_NEAR(along, 25 * M_PI, 1e-9);
  EXPECT_NEAR(offset, -10.0, 1e-9);
  EXPECT_NEAR(direction, 225.0, 1e-9);
  // Just before the start the station is negative, not most of a circle.
  StationOffset(0, 0, 100, 100, r, 0.0, -1.0, &along, &remaining, &offset, &length, &direction);
  EXPECT_LT(along, 0.0);
  EXPECT_GT(along, -2.0);
}

TEST(TrackElementPoint, LinesAndArcs) {
  double x, y;
  EXPECT_DOUBLE_EQ(PointOnElement(15, 0, 0, 10, 0, 20, 30, 0, &x, &y), 0.0);
  EXPECT_DOUBLE_EQ(y, 5.0);
  PointOnElement(15, 7, 8, 10, 0, 20, 10, 0, &x, &y);  // equal chainages: A, not NaN
  EXPECT_EQ(x, 7.0);
  EXPECT_EQ(y, 8.0);
  // Arc: the end chainage reaches B heading along the end tangent.
  const double xB = 30, yB = 40, r = 40;
  const double len = ArcLengthBetween(0, 0, xB, yB, r);
  const double dir = PointOnElement(100 + len, 0, 0, 100, xB, yB, 100 + len, r, &x, &y);
  EXPECT_NEAR(x, xB, 1e-9);
  EXPECT_NEAR(y, yB, 1e-9);
  EXPECT_NEAR(dir, ArcTangentBearing(0, 0, xB, yB, r, false), 1e-12);
  PointOnElement(100, 0, 0, 100, xB, yB, 100 + len, r, &x, &y);
  EXPECT_EQ(x, 0.0);
  EXPECT_EQ(y, 0.0);
  // The same arc given from its far end (so anticlockwise): the same points,
  // heading from that end.
  double x2, y2;
  const double s = 100 + len / 3;
  const double d1 = PointOnElement(s, 0, 0, 100, xB, yB, 100 + len, r, &x, &y);
  const double d2 = PointOnElement(s, xB, yB, 100 + len, 0, 0, 100, -r, &x2, &y2);
  EXPECT_NEAR(x, x2, 1e-9);
  EXPECT_NEAR(y, y2, 1e-9);
  EXPECT_NEAR(std::fabs(std::remainder(d1 - d2, 2 * M_PI)), M_PI, 1e-12);
}

TEST(TrackElementJoint, BisectorAndEndOrder) {
  EXPECT_DOUBLE_EQ(JointBisector(0, -10, 0, 0, 0, 0, 0, 10), 90.0);  // straight on: abeam
  EXPECT_DOUBLE_EQ(JointBisector(0, -10, 0, 0, 0, 0, 10, 0), 135.0);
  EXPECT_EQ(JointBisector(0, -10, 0, 0, 0, 1e-9, 0, 10), -1.0);
  EXPECT_TRUE(ArcEndOrder(1, 0, 0, 1, 0, 0, 1));   // 90 then 0
  EXPECT_FALSE(ArcEndOrder(2, 0, 0, 1, 0, 0, 1));  // 90 then 0
  EXPECT_TRUE(ArcEndOrder(7, 0, 0, 1, 0, 0, 1));
}

TEST(TrackElementArcCrossing, LineAgainstArc) {
  double x, y;
  int code = 0;
  // Arc of radius 10 about the origin from north (0) to east (90).
  ASSERT_TRUE(IntersectLineArc(10, 0, 90, 0, 0, -20, 6, 20, 6, &x, &y, &code));
  EXPECT_NEAR(x, 8.0, 1e-12);
  EXPECT_NEAR(y, 6.0, 1e-12);
  EXPECT_EQ(code, 2);  // the east end lies east and south of the north end
  // Running west the same single crossing on the arc is found.
  ASSERT_TRUE(IntersectLineArc(10, 0, 90, 0, 0, 20, 6, -20, 6, &x, &y, &code));
  EXPECT_NEAR(x, 8.0, 1e-12);
  // A line through the centre along an end's direction ends there.
  ASSERT_TRUE(IntersectLineArc(10, 90, 180, 0, 0, -5, 0, 5, 0, &x, &y, &code));
  EXPECT_NEAR(x, 10.0, 1e-12);
  EXPECT_NEAR(y, 0.0, 1e-12);
  EXPECT_EQ(code, 3);
  // Parallel to that direction but off the centre: not the end point.
  ASSERT_TRUE(IntersectLineArc(10, 90, 180, 0, 0, -5, -6, 5, -6, &x, &y, &code));
  EXPECT_NEAR(x, 8.0, 1e-12);
  EXPECT_NEAR(y, -6.0, 1e-12);
  EXPECT_FALSE(IntersectLineArc(10, 0, 90, 0, 0, -20, -6, 20, -6, &x, &y, &code));  // misses
  EXPECT_EQ(x, 0.0);
  EXPECT_FALSE(IntersectLineArc(10, 0, 90, 0, 0, 1, 1, 1, 1, &x, &y, &code));
  EXPECT_FALSE(IntersectLineArc(NAN, 0, 90, 0, 0, 1, 1, 2, 1, &x, &y, &code));
}

// A NaN anywhere gives NaN along and offset; the NaN point of a line used to
// reach SignedDistanceToLine's ilogb(NaN) negation. An infinite radius is a
// line, as for ArcLength.
TEST(TrackElementStation, ExtremeArguments) {
  for (double r : {0.0, 6.0}) {
    ForEachExtremeArgument(std::array<double, 7>{0, 0, 10, 0, r, 3, 4}, [](const auto& a) {
      double along, remaining, offset, length, direction;
      const double s = StationOffset(a[0], a[1], a[2], a[3], a[4], a[5], a[6], &along, &remaining,
                                     &offset, &length, &direction);
      if (!std::isnan(a[0] + a[1] + a[2] + a[3] + a[4] + a[5] + a[6])) return;
      EXPECT_TRUE(std::isnan(s) && std::isnan(along) && std::isnan(offset))
          << a[0] << ' ' << a[1] << ' ' << a[2] << ' ' << a[3] << ' ' << a[4] << ' ' << a[5]
          << ' ' << a[6];
    });
  }
  double along, remaining, offset, length, direction;
  for (double r : {kInfValue, -kInfValue}) {
    EXPECT_EQ(StationOffset(0, 0, 10, 0, r, 3, 4, &along, &remaining, &offset, &length,
                            &direction),
              3.0);
    EXPECT_EQ(offset, -4.0);
    EXPECT_EQ(length, 10.0);
    EXPECT_EQ(direction, 90.0);
  }
  // The zeros the header promises come first: a point on p1, and a
  // zero-length element even with a NaN point.
  EXPECT_EQ(StationOffset(0, 0, 10, 0, 0, 0, 0, &along, &remaining, &offset, &length, &direction),
            0.0);
  EXPECT_EQ(remaining, 10.0);
  EXPECT_EQ(StationOffset(1, 1, 1, 1, 0, kNaNValue, 4, &along, &remaining, &offset, &length,
                          &direction),
            0.0);
  EXPECT_EQ(JointBisector(0, 0, kNaNValue, 10, kNaNValue, 10, 10, 10), -1.0);  // NaN != NaN
  double x, y;
  EXPECT_TRUE(std::isnan(PointOnElement(kNaNValue, 0, 0, 0, 10, 0, 10, 6, &x, &y)));
  EXPECT_TRUE(std::isnan(x));
  int code;
  EXPECT_FALSE(IntersectLineArc(5, 0, 90, 0, 0, -10, kNaNValue, 10, 3, &x, &y, &code));
  EXPECT_EQ(code, 1);
}

}  // namespace

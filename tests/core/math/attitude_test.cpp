#include "core/math/attitude.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Height change of the arm's end, written independently as two rotation
// matrices: roll about the forward (Y) axis, positive lowering starboard, and
// pitch about the starboard (X) axis, positive raising ahead.
double RotatedHeightChange(const double* arm, double pitchDeg, double rollDeg, bool pitchFirst) {
  const double p = pitchDeg * M_PI / 180.0;
  const double r = rollDeg * M_PI / 180.0;
  double x = arm[0], y = arm[1], z = arm[2];
  auto roll = [&] {
    const double nx = std::cos(r) * x + std::sin(r) * z;
    const double nz = -std::sin(r) * x + std::cos(r) * z;
    x = nx;
    z = nz;
  };
  auto pitch = [&] {
    const double ny = std::cos(p) * y - std::sin(p) * z;
    const double nz = std::sin(p) * y + std::cos(p) * z;
    y = ny;
    z = nz;
  };
  if (pitchFirst) {
    pitch();
    roll();
  } else {
    roll();
    pitch();
  }
  return z - arm[2];
}

TEST(AttitudeInducedHeave, ZeroAnglesAndOrders) {
  const double arms[][3] = {{0, 0, 0}, {1.5, -12.0, 3.25}, {-100, 250, -40}};
  for (const auto& arm : arms) {
    for (int order : {-7, -1, 0, 1}) EXPECT_EQ(CalcInducedHeave(arm, 0.0, 0.0, order), 0.0);
    for (int order : {2, 5}) {
      EXPECT_EQ(CalcInducedHeave(arm, 12.0, -7.0, order), 0.0);
      EXPECT_EQ(CalcInducedHeave(arm, kNaN, kNaN, order), 0.0);
    }
    EXPECT_EQ(CalcInducedHeave(arm, 3.5, -2.25, -1), CalcInducedHeave(arm, 3.5, -2.25, 0));
  }
  EXPECT_TRUE(std::isnan(CalcInducedHeave(arms[1], kNaN, 0.0, 0)));
  // No lever arm behaves as the zero arm.
  EXPECT_EQ(CalcInducedHeave(nullptr, 10.0, 5.0, 0), 0.0);
  EXPECT_EQ(RemoveLeverArmHeight(nullptr, 5.0, true, 10.0, 5.0, 0), 5.0);
}

TEST(AttitudeInducedHeave, SignsOfPitchAndRoll) {
  const double ahead[3] = {0, 10, 0};
  const double starboard[3] = {10, 0, 0};
  EXPECT_DOUBLE_EQ(CalcInducedHeave(ahead, 90.0, 0.0, 0), 10.0);
  EXPECT_DOUBLE_EQ(CalcInducedHeave(starboard, 0.0, 90.0, 0), -10.0);
  EXPECT_DOUBLE_EQ(CalcInducedHeave(ahead, 90.0, 0.0, 1), 10.0);
  EXPECT_DOUBLE_EQ(CalcInducedHeave(starboard, 0.0, 90.0, 1), -10.0);
}

TEST(AttitudeInducedHeave, MatchesRigidRotationInBothOrders) {
  const double arm[3] = {2.5, -8.0, -4.0};
  bool ordersDiffer = false;
  for (double p = -30.0; p <= 30.0; p += 7.5) {
    for (double r = -45.0; r <= 45.0; r += 9.0) {
      const double rollFirst = CalcInducedHeave(arm, p, r, 0);
      const double pitchFirst = CalcInducedHeave(arm, p, r, 1);
      EXPECT_NEAR(rollFirst, RotatedHeightChange(arm, p, r, false), 1e-12) << p << " " << r;
      EXPECT_NEAR(pitchFirst, RotatedHeightChange(arm, p, r, true), 1e-12) << p << " " << r;
      ordersDiffer |= std::fabs(rollFirst - pitchFirst) > 1e-6;
    }
  }
  EXPECT_TRUE(ordersDiffer);
}

TEST(AttitudeInducedHeave, Differences) {
  const double arm[3] = {1.0, 5.0, -2.0};
  const double h1 = CalcInducedHeave(arm, 4.0, -3.0, 0);
  const double h2 = CalcInducedHeave(arm, -1.0, 2.0, 0);
  EXPECT_EQ(CalcInducedHeaveDiff(arm, 4.0, -3.0, -1.0, 2.0, 0), h1 - h2);
  EXPECT_EQ(CalcCorrectedHeaveDiff(arm, 4.0, -3.0, 0.75, -1.0, 2.0, 0.25, 0),
            (0.75 - (h1 - h2)) - 0.25);
  // The seventh argument is never read, even as NaN.
  EXPECT_EQ(AddInducedHeaveDiff(arm, 4.0, -3.0, 0.5, -1.0, 2.0, kNaN, 0), (h1 - h2) + 0.5);
  EXPECT_EQ(AddInducedHeaveDiff(arm, 4.0, -3.0, 0.5, -1.0, 2.0, 1e300, 0),
            AddInducedHeaveDiff(arm, 4.0, -3.0, 0.5, -1.0, 2.0, -3.0, 0));
}

TEST(AttitudeLeverArmHeight, DepthsAndHeights) {
  const double arm[3] = {0, 0, -2};
  EXPECT_EQ(RemoveLeverArmHeight(arm, 5.0, false, 0.0, 0.0, 0), 3.0);
  EXPECT_EQ(AddLeverArmHeight(arm, 5.0, false, 0.0, 0.0, 0), 7.0);
  EXPECT_EQ(RemoveLeverArmHeight(arm, 5.0, true, 0.0, 0.0, 0), 7.0);
  EXPECT_EQ(AddLeverArmHeight(arm, 5.0, true, 0.0, 0.0, 0), 3.0);

  // With angles the rotated Z replaces Z, and Add undoes Remove.
  const double tilted[3] = {1.2, 3.4, -5.6};
  for (bool up : {true, false}) {
    const double s = up ? 1.0 : -1.0;
    const double rotatedZ = CalcInducedHeave(tilted, 6.0, -4.0, 1) + tilted[2];
    const double removed = RemoveLeverArmHeight(tilted, 10.0, up, 6.0, -4.0, 1);
    EXPECT_NEAR(removed, 10.0 - s * rotatedZ, 1e-12);
    EXPECT_NEAR(AddLeverArmHeight(tilted, removed, up, 6.0, -4.0, 1), 10.0, 1e-12);
  }
  // Order 2 drops the rotation term but keeps the Z shift.
  EXPECT_EQ(RemoveLeverArmHeight(tilted, 10.0, true, 6.0, -4.0, 2), 10.0 - tilted[2]);
}

TEST(AttitudeVerticalOffset, InducedHeaveAndSlant) {
  EXPECT_EQ(CalcVerticalInducedHeave(10.0, 0.0, 0.0), 0.0);
  EXPECT_NEAR(CalcVerticalInducedHeave(10.0, 0.0, 60.0), -5.0, 1e-14);
  EXPECT_NEAR(CalcVerticalInducedHeave(10.0, 60.0, 60.0), -7.5, 1e-14);
  EXPECT_EQ(CalcVerticalInducedHeaveDiff(10.0, 0.0, 60.0, 0.0, 0.0),
            CalcVerticalInducedHeave(10.0, 0.0, 60.0));
  EXPECT_EQ(CalcVerticalInducedHeaveDiff(10.0, 5.0, 6.0, 5.0, 6.0), 0.0);

  EXPECT_EQ(VerticalToSlant(10.0, false, 0.0, 0.0), -10.0);
  EXPECT_EQ(SlantToVertical(10.0, false, 0.0, 0.0), -10.0);
  EXPECT_NEAR(SlantToVertical(10.0, true, 60.0, 0.0), 5.0, std::nextafter(5.0, 6.0) - 5.0);
  EXPECT_NEAR(VerticalToSlant(5.0, true, 60.0, 0.0), 10.0, 1e-14);
  EXPECT_NEAR(SlantToVertical(VerticalToSlant(3.0, true, 12.0, -20.0), true, 12.0, -20.0), 3.0,
              1e-14);
}

}  // namespace

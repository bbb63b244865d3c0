#include "core/math/angles.h"

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/extreme_doubles.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

TEST(Angles, NormalisationResults) {
  EXPECT_EQ(NormalizeAngle360(-30), 330.0);
  EXPECT_EQ(NormalizeAngle360(765), 45.0);
  EXPECT_EQ(NormalizeAngle180(190), -170.0);
  EXPECT_EQ(NormalizeAngle180(180), 180.0);
  EXPECT_EQ(NormalizeAngle180(-180), 180.0);
  EXPECT_EQ(NormalizeGon200(250), -150.0);
  EXPECT_EQ(NormalizeRadiansPi(4.0), 4.0 - kTwoPi);
  EXPECT_FALSE(std::signbit(NormalizeAngle360(-720.0)));
  for (double a : {kNaN, kInf, -kInf}) {  // no angle, not 0
    EXPECT_TRUE(std::isnan(NormalizeAngle360(a)));
    EXPECT_TRUE(std::isnan(NormalizeRadiansPi(a)));
  }
  EXPECT_TRUE(std::isnan(DivideAngleDifference(10.0, 0.0, 1e-320)));  // quotient overflows
}

// Results lie in their range (also where adding a cycle to a tiny negative
// rounds to the full cycle) and stay congruent to the input; 1e300 and the
// largest doubles return at once.
TEST(Angles, NormalisedAnglesAlwaysInRange) {
  std::vector<double> inputs = {-0.0,   -1e-300, -5e-324,  -1e-14, -1e-13, 359.99999999999994,
                                1e10 + 0.3, -1e15, 1e300, -1.7e308, -kPi, kTwoPi};
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> wide(-1e6, 1e6);
  for (int i = 0; i < 2000; ++i) inputs.push_back(wide(rng));
  struct Fold {
    double (*function)(double);
    double cycle, low;
    bool signedRange;  // (low, low + cycle] instead of [low, low + cycle)
  };
  const Fold folds[] = {{NormalizeAngle360, 360.0, 0.0, false},
                        {NormalizeAngle180, 360.0, -180.0, true},
                        {NormalizeGon400, 400.0, 0.0, false},
                        {NormalizeGon200, 400.0, -200.0, true},
                        {NormalizeRadians2Pi, kTwoPi, 0.0, false},
                        {NormalizeRadiansPi, kTwoPi, -kPi, true}};
  for (const Fold& fold : folds) {
    for (double a : inputs) {
      const double r = fold.function(a);
      const bool inRange = fold.signedRange ? (r > fold.low && r <= fold.low + fold.cycle)
                                            : (r >= fold.low && r < fold.low + fold.cycle);
      ASSERT_TRUE(inRange) << a << " -> " << r;
      const double gap = std::fabs(std::remainder(r - a, fold.cycle));
      if (std::fabs(a) < 1e7) {
        EXPECT_LT(gap, 1e-9) << a << " -> " << r;
      }
    }
  }
}

TEST(Angles, DifferencesFoldOnce) {
  EXPECT_EQ(AngleDifference(10, 350), 20.0);
  EXPECT_EQ(AngleDifference(350, 10), -20.0);
  EXPECT_EQ(AngleDifference(600, 0), 240.0);  // one fold only
  EXPECT_EQ(DivideAngleDifference(350, 10, 4), -5.0);
  EXPECT_EQ(DivideAngleDifference(10, 350, 0), 0.0);
  EXPECT_EQ(DivideAngleDifference(100, 0, 0.25), 40.0);
}

// The shortest turn and the mean describe one arc however many turns apart
// the headings are written: the mean is b plus half the turn.
TEST(Angles, ShortestTurnMatchesTheMean) {
  EXPECT_EQ(ShortestTurn(600, 0), -120.0);  // AngleDifference gives 240
  EXPECT_EQ(ShortestTurn(10, 350), 20.0);
  EXPECT_EQ(ShortestTurn(-3590, 0), 10.0);
  EXPECT_EQ(ShortestTurn(180, 0), 180.0);
  EXPECT_EQ(ShortestTurn(-180, 0), -180.0);
  EXPECT_TRUE(std::isnan(ShortestTurn(NAN, 0)));
  std::mt19937_64 rng(12);
  std::uniform_real_distribution<double> angle(-2000.0, 2000.0);
  for (int i = 0; i < 5000; ++i) {
    const double a = angle(rng), b = angle(rng);
    const double turn = ShortestTurn(a, b);
    ASSERT_LE(std::fabs(turn), 180.0);
    ASSERT_NEAR(NormalizeAngle180(a - b - turn), 0.0, 1e-9) << a << ", " << b;
    const double gap = NormalizeAngle180(NormalizeAngle360(b + turn / 2) - MeanAngle360(a, b));
    ASSERT_NEAR(gap, 0.0, 1e-9) << a << ", " << b;
    if (std::fabs(a - b) < 360.0) {
      ASSERT_EQ(turn, AngleDifference(a, b));
    }
  }
}

TEST(Angles, MeansAcrossTheSeam) {
  EXPECT_EQ(MeanAngle360(350, 10), 0.0);
  EXPECT_EQ(MeanAngle360(10, 350), 0.0);
  EXPECT_EQ(MeanAngle180(170, -170), 180.0);
  EXPECT_EQ(MeanAngle180(-10, 20), 5.0);
  EXPECT_EQ(MeanAngle360(370, 5), 7.5);
  EXPECT_EQ(MeanAngle360(725, 5), 5.0);  // a single fold would give 185
  EXPECT_EQ(MeanAngle180(3600 + 170, -170), 180.0);
  // Property: the mean is halfway, at most 90 degrees from each input.
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> angle(-1000.0, 1000.0);
  for (int i = 0; i < 5000; ++i) {
    const double a = angle(rng), b = angle(rng);
    const double m = MeanAngle360(a, b);
    const double toA = NormalizeAngle180(a - m), toB = NormalizeAngle180(b - m);
    if (std::fabs(std::fabs(toA) - 90.0) < 1e-9) continue;  // opposite inputs: either mean
    ASSERT_NEAR(toA, -toB, 1e-9) << a << ", " << b;
    ASSERT_LE(std::fabs(toA), 90.0 + 1e-9);
  }
}

TEST(Angles, InterpolationAcrossTheSeam) {
  EXPECT_EQ(InterpolateAngle360(0, 10, 350, 10, 5), 0.0);
  EXPECT_EQ(InterpolateAngle360(0, 10, 350, 10, 20), 10.0);  // clamped at the sample
  EXPECT_EQ(InterpolateAngle360(0, 10, 10, 350, 7.5), 355.0);
  EXPECT_EQ(InterpolateAngle180(0, 10, 170, -170, 7.5), -175.0);
  EXPECT_EQ(InterpolateAngle180(5, 5, 350, 10, 5), 0.0);
  EXPECT_EQ(LerpAngle360(0.5, 350, 10), 0.0);
  EXPECT_EQ(LerpAngle360(0.75, 10, 350), 355.0);

  EXPECT_EQ(InterpolateCyclic(0, 10, -1.0, 45, 3, 1), 45.0);  // -1 is "no value"
  EXPECT_EQ(InterpolateCyclic(0, 10, 45, -1.0, 3, 1), 45.0);
  EXPECT_EQ(InterpolateCyclic(0, 10, -1.0, -1.0, 3, 1), 0.0);
  EXPECT_EQ(InterpolateCyclic(0, 10, 350, 10, 5, 1), 360.0);  // not normalised
  EXPECT_EQ(InterpolateCyclic(4, 4, 350, 10, 100, 0), 360.0);
  EXPECT_DOUBLE_EQ(InterpolateCyclic(0, 10, 390, 10, 5, 0.9), 400.0);  // gon
  EXPECT_NEAR(InterpolateCyclic(0, 1, kTwoPi - 0.1, 0.1, 0.5, 57.29577951308232), kTwoPi, 1e-12);
}

// NaN and infinities give NaN from every function but the "no value" rule
// of InterpolateCyclic; a NaN unit skipped its fold and gave 180 here. An
// infinite unit is a cycle of 0: the difference is not folded.
TEST(Angles, ExtremeArguments) {
  for (double v : {kNaNValue, kInfValue, -kInfValue}) {
    for (double r : {NormalizeAngle360(v), NormalizeAngle180(v), NormalizeGon400(v),
                     NormalizeGon200(v), NormalizeRadians2Pi(v), NormalizeRadiansPi(v),
                     FmodTwoPi(v), ShortestTurn(v, 10), MeanAngle180(v, 10), MeanAngle360(10, v),
                     DivideAngleDifference(10, v, 3), InterpolateAngle180(0, 10, v, 10, 5),
                     InterpolateAngle360(0, 10, 350, v, 5), LerpAngle360(0.5, v, 10)})
      EXPECT_TRUE(std::isnan(r)) << v;
  }
  EXPECT_TRUE(std::isnan(AngleDifference(kNaNValue, 10)));
  EXPECT_TRUE(std::isnan(InterpolateCyclic(0, 10, 350, 10, 5, kNaNValue)));
  EXPECT_TRUE(std::isnan(InterpolateCyclic(0, 10, 1, 0, 5, kNaNValue)));
  for (double unit : {kNaNValue, kInfValue, -kInfValue})
    EXPECT_EQ(InterpolateCyclic(0, 10, -1.0, 10, 5, unit), 10.0) << unit;  // a missing sample
  for (double unit : {kInfValue, -kInfValue}) {
    EXPECT_EQ(InterpolateCyclic(0, 10, 350, 10, 5, unit), 180.0) << unit;
    EXPECT_EQ(InterpolateCyclic(0, 10, 10, 350, 5, unit), 180.0) << unit;
    EXPECT_EQ(InterpolateCyclic(0, 10, 1, 0, 5, unit), 0.5) << unit;
    EXPECT_EQ(InterpolateCyclic(3, 3, 350, 10, 7, unit), 180.0) << unit;
  }
  EXPECT_EQ(NormalizeAngle360(DBL_MAX), std::fmod(DBL_MAX, 360.0));
  EXPECT_EQ(NormalizeAngle360(-kDenormValue), 0.0);
  EXPECT_TRUE(std::isnan(DivideAngleDifference(10, 0, kDenormValue)));  // the quotient overflows
}

}  // namespace

#include "core/math/statistics.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include <gtest/gtest.h>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Statistics, MeansOfEmptySetsAndOddWeights) {
  const double values[2] = {2.0, 4.0};
  EXPECT_EQ(Mean(0, values), 0.0);
  EXPECT_EQ(Mean(2, nullptr), 0.0);
  EXPECT_EQ(WeightedMean(-1, values, nullptr), 0.0);
  const double negative[2] = {-1.0, 3.0};  // -1 counts as 1
  EXPECT_EQ(WeightedMean(2, values, negative), 3.5);
  const double zeros[2] = {0.0, 0.0};
  EXPECT_EQ(WeightedMean(2, values, zeros), 0.0);
  EXPECT_DOUBLE_EQ(SimpsonMean(1.0, 0.0, 5.0), 1.0);  // x^3 - 2x + 1 at 0, 1, 2: exact for cubics
}

TEST(Statistics, WeightedMeanBySigma) {
  const double values[3] = {1.0, 3.0, 100.0};
  const double sigmas[2] = {1.0, 0.0};  // 0 stands for 1.0
  double mean = 0.0, sigma = 0.0;
  EXPECT_EQ(WeightedMeanBySigma(2, values, sigmas, &mean, &sigma), 2.0);
  EXPECT_EQ(mean, 2.0);
  EXPECT_DOUBLE_EQ(sigma, 1.0 / std::sqrt(2.0));
  EXPECT_EQ(WeightedMeanBySigma(0, values, sigmas, &mean, &sigma), 0.0);
  EXPECT_EQ(sigma, 1.0);

  // Squares outside the double range would give infinite weights (a NaN
  // mean) or all-zero weights (a mean of 0).
  const double huge[2] = {1e200, 1e200};
  EXPECT_DOUBLE_EQ(WeightedMeanBySigma(2, values, huge, nullptr, &sigma), 2.0);
  EXPECT_DOUBLE_EQ(sigma, 1e200 / std::sqrt(2.0));
  const double tiny[3] = {1e-200, 2e-200, 1.0};  // weights 1 : 1/4 : 1e-400
  EXPECT_DOUBLE_EQ(WeightedMeanBySigma(3, values, tiny, nullptr, &sigma), 1.4);
  EXPECT_DOUBLE_EQ(sigma, 1e-200 / std::sqrt(1.25));
  const double infinite[2] = {kInf, kInf};
  EXPECT_EQ(WeightedMeanBySigma(2, values, infinite, nullptr, &sigma), 2.0);
  EXPECT_EQ(sigma, kInf);
}

TEST(Statistics, GaussianRandomIsRepeatableBoundedAndScaled) {
  std::srand(1234);
  const double first = GaussianRandom(2.0);
  std::srand(1234);
  EXPECT_EQ(GaussianRandom(2.0), first);
  constexpr int kDraws = 20000;
  double sum = 0.0, squares = 0.0;
  for (int i = 0; i < kDraws; ++i) {
    const double g = GaussianRandom(3.0);
    ASSERT_LE(std::fabs(g), 18.0);  // at most 6 sigma
    sum += g;
    squares += g * g;
  }
  EXPECT_NEAR(sum / kDraws, 0.0, 0.1);  // 4.7 standard errors
  EXPECT_NEAR(std::sqrt(squares / kDraws), 3.0, 0.1);
}

}  // namespace

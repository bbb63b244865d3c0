#include "core/math/vector_normalize.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

TEST(NormalizeVector, LengthAndDirection) {
  double v[2] = {3.0, 4.0};
  EXPECT_EQ(NormalizeVector(v, 2), 5.0);
  EXPECT_DOUBLE_EQ(v[0], 0.6);
  EXPECT_DOUBLE_EQ(v[1], 0.8);

  double w[3] = {1.0, -2.0, 2.0};
  EXPECT_EQ(NormalizeVector(w, 3), 3.0);
  EXPECT_NEAR(std::hypot(w[0], w[1], w[2]), 1.0, 1e-15);
}

TEST(NormalizeVector, ShortAndDegenerate) {
  double tiny[2] = {1e-7, 0.0};
  EXPECT_EQ(NormalizeVector(tiny, 2), 0.0);
  EXPECT_EQ(tiny[0], 1e-7);
  EXPECT_EQ(tiny[1], 0.0);

  double single[1] = {-2.0};
  EXPECT_EQ(NormalizeVector(single, 1), -2.0);
  EXPECT_EQ(single[0], 1.0);

  double untouched[1] = {7.0};
  EXPECT_EQ(NormalizeVector(untouched, 0), 0.0);
  EXPECT_EQ(NormalizeVector(untouched, -3), 0.0);
  EXPECT_EQ(untouched[0], 7.0);
  EXPECT_EQ(NormalizeVector(nullptr, 0), 0.0);
}

}  // namespace

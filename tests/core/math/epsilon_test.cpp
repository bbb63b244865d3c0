#include "core/math/epsilon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(EpsilonPair, SquaresGiveBackTheMachineEpsilon) {
  EXPECT_EQ(SqrtEpsilon, std::sqrt(std::numeric_limits<double>::epsilon()));
  EXPECT_EQ(FourthRootEpsilon, std::sqrt(SqrtEpsilon));
  EXPECT_EQ(SqrtEpsilon * SqrtEpsilon, 2.220446049250313e-16);
  EXPECT_EQ(FourthRootEpsilon * FourthRootEpsilon, SqrtEpsilon);
}

}  // namespace

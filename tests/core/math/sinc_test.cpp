#include "core/math/sinc.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

// Below 0.1 the quotient cancels even in long double; the series is exact
// to far below double precision there.
long double ReferenceSincDerivative(long double x) {
  if (x < 0.1L) {
    const long double q = x * x;
    return x * (-1.0L / 3 + q * (1.0L / 30 + q * (-1.0L / 840 + q * (1.0L / 45360))));
  }
  return std::cos(x) / x - std::sin(x) / (x * x);
}

TEST(Sinc, LimitsAndBranches) {
  EXPECT_EQ(Sinc(0.0, false), 1.0);
  EXPECT_EQ(Sinc(1e-17, false), 1.0);
  EXPECT_EQ(Sinc(1e-9, false), 1.0 - 1e-18 / 6.0);
  EXPECT_EQ(Sinc(1e-5, false), (1.0 - 1e-10 / 6.0) + 1e-20 / 120.0);
  EXPECT_NEAR(Sinc(1.0, true), 0.0, 1e-16);
  EXPECT_DOUBLE_EQ(Sinc(0.5, true), 2.0 / M_PI);
  EXPECT_EQ(Sinc(-0.3, false), Sinc(0.3, false));
  EXPECT_EQ(SincDerivative(0.0, false), 0.0);
  // About -x/3 however small x gets.
  EXPECT_DOUBLE_EQ(SincDerivative(1e-9, false), -1e-9 / 3.0);
  EXPECT_DOUBLE_EQ(SincDerivative(1e-300, false), -1e-300 / 3.0);
  EXPECT_EQ(SincDerivative(-0.7, false), -SincDerivative(0.7, false));
}

TEST(Sinc, MatchesLongDoubleQuotientAcrossTheSwitches) {
  for (double x = 1e-6; x < 20.0; x *= 1.37) {
    const long double exact = std::sin(static_cast<long double>(x)) / x;
    EXPECT_NEAR(Sinc(x, false), static_cast<double>(exact), 2e-16 * std::fabs(exact)) << x;
    const long double d = ReferenceSincDerivative(x);
    const double tolerance = x < 1.0 ? 6e-11 : 1e-13;
    EXPECT_NEAR(SincDerivative(x, false), static_cast<double>(d), tolerance * std::fabs(d)) << x;
  }
}

}  // namespace

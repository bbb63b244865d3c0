#include "core/math/fresnel.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

// C(x) and S(x) by composite Simpson's rule on the integrands, in long
// double: an independent reference good to far better than 1e-10 here.
void Integrate(double x, double* c, double* s) {
  const int n = 20000;
  const long double h = static_cast<long double>(x) / n;
  long double sc = 0;
  long double ss = 0;
  for (int i = 0; i <= n; ++i) {
    const long double t = h * i;
    const long double phase = 3.14159265358979323846L * 0.5L * t * t;
    const long double w = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
    sc += w * std::cos(phase);
    ss += w * std::sin(phase);
  }
  *c = static_cast<double>(sc * h / 3);
  *s = static_cast<double>(ss * h / 3);
}

TEST(FresnelIntegrals, KnownValuesAndSymmetry) {
  double c = 1;
  double s = 1;
  EXPECT_TRUE(FresnelIntegrals(0.0, &c, &s));
  EXPECT_EQ(c, 0.0);
  EXPECT_EQ(s, 0.0);
  FresnelIntegrals(1.0, &c, &s);
  EXPECT_NEAR(c, 0.7798934, 1e-7);
  EXPECT_NEAR(s, 0.4382591, 1e-7);
  FresnelIntegrals(-1.0, &c, &s);
  EXPECT_NEAR(c, -0.7798934, 1e-7);
  EXPECT_NEAR(s, -0.4382591, 1e-7);
  FresnelIntegrals(2.0, &c, &s);  // the asymptotic form
  EXPECT_NEAR(c, 0.4882534, 1e-7);
  EXPECT_NEAR(s, 0.3434157, 1e-7);
  EXPECT_TRUE(FresnelIntegrals(3.0, nullptr, &s));
}

TEST(FresnelIntegrals, AgreeWithQuadratureOnBothBranches) {
  for (double x = 0.05; x < 6.0; x += 0.0731) {
    double c, s, rc, rs;
    FresnelIntegrals(x, &c, &s);
    Integrate(x, &rc, &rs);
    const double tolerance = x < 1.6 ? 2e-9 : 4e-8;
    EXPECT_NEAR(c, rc, tolerance) << x;
    EXPECT_NEAR(s, rs, tolerance) << x;
  }
  // The two forms meet at 1.6.
  double c1, s1, c2, s2;
  FresnelIntegrals(std::nextafter(1.6, 0.0), &c1, &s1);
  FresnelIntegrals(1.6, &c2, &s2);
  EXPECT_NEAR(c1, c2, 1e-7);
  EXPECT_NEAR(s1, s2, 1e-7);
}

TEST(FresnelIntegrals, LargeAndNonFiniteArguments) {
  double c, s;
  FresnelIntegrals(1e4, &c, &s);
  EXPECT_NEAR(c, 0.5, 1e-4);
  EXPECT_NEAR(s, 0.5, 1e-4);
  // Beyond 1e15 the phase pi x^2 / 2 would overflow into NaN.
  for (double x : {1e15, 1e200, std::numeric_limits<double>::infinity()}) {
    EXPECT_TRUE(FresnelIntegrals(x, &c, &s));
    EXPECT_EQ(c, 0.5);
    EXPECT_EQ(s, 0.5);
    FresnelIntegrals(-x, &c, &s);
    EXPECT_EQ(c, -0.5);
    EXPECT_EQ(s, -0.5);
  }
  EXPECT_FALSE(FresnelIntegrals(std::nan(""), &c, &s));
  EXPECT_TRUE(std::isnan(c) && std::isnan(s));
}

}  // namespace

#include "core/math/sinc.h"

#include <cmath>
#include <limits>

#include "core/math/epsilon.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

}  // namespace

double Sinc(double x, bool timesPi) {
  if (timesPi) x *= kPi;
  const double a = std::fabs(x);
  if (a > FourthRootEpsilon) return std::sin(a) / a;
  if (a < kEpsilon) return 1.0;
  const double a2 = a * a;
  if (a < SqrtEpsilon) return 1.0 - a2 / 6.0;
  return (1.0 - a2 / 6.0) + a2 * a2 / 120.0;
}

double SincDerivative(double x, bool timesPi) {
  if (timesPi) x *= kPi;
  const double q = x * x;
  if (q > FourthRootEpsilon) return std::cos(x) / x - std::sin(x) / q;
  // The series through x^3 serves all the way down: the derivative is about
  // -x/3 however small x is, not 0, and dropping x^3/30 early would cost
  // more than the truncation does at the switch.
  return q * x / 30.0 - x / 3.0;
}

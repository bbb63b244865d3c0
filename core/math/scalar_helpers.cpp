#include "core/math/scalar_helpers.h"

#include <cmath>

#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {
}  // namespace

double Difference(double a, double b) { return a - b; }

double WrapOnce(double x, double range) {
  if (range == 0.0) return x;
  // NaN compares false both ways and would return x unfolded. An infinite
  // range runs the same two steps: 45 stays 45 in [0, inf), and a value the
  // steps carry to inf - inf is NaN.
  if (std::isnan(range)) return range;
  if (x < 0.0) x += range;
  if (x >= range) x -= range;
  return x;
}

double EllipseRadiusAt(double theta, double a, double b) {
  if (a == 0.0 || b == 0.0) return 1.0;
  const double a2 = a * a;
  const double b2 = b * b;
  double square = ((a2 + b2) + std::cos(2.0 * theta * kDegToRad) * (b2 - a2)) * 0.5;
  // Rounding can leave a tiny negative where the true value is a^2 or b^2 ~ 0.
  if (square < 0.0) square = 0.0;
  return std::sqrt(square);
}

#include "core/math/rounding.h"

#include <cmath>
#include <initializer_list>

#include "platform/checked_int.h"

namespace {

// 10^e by binary exponentiation on doubles (every power up to 10^22 exact).
// The table gives the same values for the common small exponents without
// the loop; RoundToDecimals sits on the unit conversions' hot path.
double PowerOfTen(unsigned e) {
  static constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (e < sizeof kExact / sizeof kExact[0]) return kExact[e];
  double result = 1.0;
  double base = 10.0;
  for (; e != 0; e >>= 1) {
    if (e & 1u) result *= base;
    base *= base;
  }
  return result;
}

// 10^e for a signed exponent, inverted for e < 0.
double SignedPowerOfTen(int e) {
  const unsigned magnitude = e < 0 ? 0u - static_cast<unsigned>(e) : static_cast<unsigned>(e);
  const double f = PowerOfTen(magnitude);
  return e < 0 ? 1.0 / f : f;
}

}  // namespace

int32_t RoundToInt(double value) {
  // std::round is floor(v + 0.5) (ceil(v - 0.5) below zero) without the
  // rounded sum, which takes 0.49999999999999994 up to 1 and odd values
  // above 2^52 to the next even one.
  return zor::platform::DoubleToInt32(std::round(value));
}

double RoundToResolution(double value, double factor) {
  // 0/0 would turn every value into NaN.
  if (factor == 0.0) return value;
  const double scaled = value * factor;
  if (std::isnan(scaled) || std::fabs(scaled) >= 2147483647.0) return value;
  return static_cast<double>(RoundToInt(scaled)) / factor;
}

double RoundToMultiple(double value, double step) {
  if (step == 0.0) return 0.0;
  return RoundToResolution(value, 1.0 / step);
}

double RoundHalfAwayFromZero(double value, int decimals) {
  const double sign = 0.0 > value ? -1.0 : 1.0;
  const double f = SignedPowerOfTen(decimals);
  const double scaled = f * std::fabs(value);
  // Infinite scales and values have no rounding to make.
  if (!std::isfinite(scaled)) return value;
  // Half away from zero of the exact product (see RoundToInt).
  const double q = std::round(scaled);
  if (q == 0.0) return 0.0;
  const double result = q * sign / f;
  return std::isfinite(result) ? result : value;
}

double RoundToDecimals(double value, int decimals) {
  return RoundHalfAwayFromZero(value, decimals);
}

void NiceStep(double value, double* step, int* subdivisions) {
  double stepOut = 0.0;
  int subdivisionsOut = 2;
  // log10 of zero or of a non-finite value has no exponent to truncate.
  if (value != 0.0 && std::isfinite(value)) {
    const double sign = value < 0.0 ? -1.0 : 1.0;
    const double magnitude = std::fabs(value);
    const double p = SignedPowerOfTen(zor::platform::DoubleToInt32(std::log10(magnitude)));
    const double m = magnitude / p;
    double multiplier = 2.0;
    for (double candidate : {2.0, 5.0, 10.0}) {
      if (candidate >= m) {
        multiplier = candidate;
        break;
      }
    }
    stepOut = p * multiplier * sign;
    subdivisionsOut = multiplier == 2.0 ? 2 : 5;
  }
  if (step != nullptr) *step = stepOut;
  if (subdivisions != nullptr) *subdivisions = subdivisionsOut;
}

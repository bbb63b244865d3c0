// Small pieces every maths source shares: the angle conversion constants and
// the two guards its functions use on pointer outputs and inputs.
//
//   #include "core/math/math_support.h"
//   using namespace zor::math_support;
//   if (!AllFinite({lat, lon})) return false;
//   Put(outLat, lat * kRadToDeg);      // a null output is allowed
#pragma once

#include <cmath>
#include <initializer_list>

namespace zor::math_support {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kDegToRad = 0.017453292519943295;  // pi / 180, rounded once
inline constexpr double kRadToDeg = 57.29577951308232;     // 180 / pi, rounded once

// Stores `value` through `out` unless the caller passed no output.
inline void Put(double* out, double value) {
  if (out != nullptr) *out = value;
}

// True when no value is NaN or infinite.
inline bool AllFinite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace zor::math_support

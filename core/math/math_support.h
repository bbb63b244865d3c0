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

// Navigation: arc minutes (great-circle distances are arc minutes of 1852 m),
// the latitude beyond which a course is undefined, and the tolerance under
// which two angles in degrees count as the same.
inline constexpr double kMinutesPerDegree = 60.0;
inline constexpr double kDegreesPerMinute = 0.016666666666666666;
inline constexpr double kPoleLatitude = 89.99999999;
inline constexpr double kSameAngle = 1e-08;

inline bool AtPole(double lat) { return std::fabs(lat) > kPoleLatitude; }

// A longitude without its whole turns, exactly (fmod does not round), keeping
// its sign; a longitude under 360 in size comes back unchanged. Navigation
// takes it before any difference of longitudes: the difference of two
// unreduced ones overflows near the ends of the double range (DBL_MAX -
// -1e300 is inf), and far below that loses the position within the turn.
inline double WithoutWholeTurns(double lon) { return std::fmod(lon, 360.0); }

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

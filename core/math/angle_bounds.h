// Bounds of the angle ranges [-pi/2, pi/2] and [-pi, pi] in radians, widened
// by 1e-08 so that a value that only rounding pushed past an end still counts
// as inside.
//
//   #include "core/math/angle_bounds.h"
//   bool ok = lat >= HalfPiLowerBound && lat <= HalfPiUpperBound;
#pragma once

#include <numbers>

inline constexpr double HalfPiUpperBound = std::numbers::pi / 2 + 1e-08;
inline constexpr double PiUpperBound = std::numbers::pi + 1e-08;
inline constexpr double HalfPiLowerBound = -std::numbers::pi / 2 - 1e-08;
inline constexpr double PiLowerBound = -std::numbers::pi - 1e-08;

// Checked conversion from double to 32-bit integer.
//
//   int32_t n = zor::platform::DoubleToInt32(x);        // truncates toward zero
//   int32_t r = zor::platform::DoubleToInt32(std::floor(x + 0.5));
//
// The suite's Windows programs run on hardware whose conversion gives INT32_MIN (the
// "integer indefinite" value) for NaN and for values outside the int range.
// Code that relied on that keeps it, without the undefined behaviour a plain
// static_cast has in C++ for such values.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace zor::platform {

inline constexpr int32_t kIntegerIndefinite = std::numeric_limits<int32_t>::min();

// Truncates toward zero; NaN, infinities and values outside [-2^31, 2^31) give
// INT32_MIN.
constexpr int32_t DoubleToInt32(double value) noexcept {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return kIntegerIndefinite;
  return static_cast<int32_t>(value);
}

// As DoubleToInt32 for 64-bit results: NaN or out of range gives INT64_MIN.
constexpr int64_t DoubleToInt64(double value) noexcept {
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
    return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

}  // namespace zor::platform

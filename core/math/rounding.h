// Rounding to integers, decimals, resolutions and multiples (halves away from
// zero), and a chooser of round step sizes.
//
//   double depth = RoundToDecimals(12.345, 2);        // 12.35
//   double hundreds = RoundToDecimals(250.0, -2);     // 300.0
//   int32_t n = RoundToInt(-2.5);                     // -3
//   double q = RoundToMultiple(7.3, 0.5);             // 7.5
//   double step; int subdivisions;
//   NiceStep(3.0, &step, &subdivisions);              // 5.0, 5
//
// These work on the binary value as it stands, not on its decimal text:
// RoundToResolution(1.005, 100) sees 100.49999999999999 and gives 1.0.
#pragma once

#include <cstdint>

// floor(v + 0.5) for v >= 0, ceil(v - 0.5) otherwise, truncated to 32 bits; NaN
// and values outside the int range give INT32_MIN.
int32_t RoundToInt(double value);

// RoundToInt(v * factor) / factor. v is returned unchanged when v * factor is
// NaN or at least 2147483647 in magnitude, and when factor is 0.
double RoundToResolution(double value, double factor);

// RoundToResolution(v, 1 / step); 0.0 when step is exactly 0.
double RoundToMultiple(double value, double step);

// floor(f*|v| + 0.5) * sign(v) / f with f = 10^decimals (exact up to 10^22;
// for decimals < 0, f = 1 / 10^-decimals, rounding to tens, hundreds, ...).
// A result of zero is +0.0 whatever the sign of v. v is returned unchanged
// when f*|v| or the result is not finite (NaN, infinities, and scales beyond
// the double range). The result is the double nearest to the quotient, so
// (0.125, 2) gives 0.13 and (-1.5, 0) gives -2.0.
double RoundHalfAwayFromZero(double value, int decimals);

// The same as RoundHalfAwayFromZero; the name the unit conversions use.
double RoundToDecimals(double value, int decimals);

// A round step near |v| for scales and grids, signed like v. With
// e = trunc(log10|v|) and p = 10^e, the multiplier is the first of 2, 5, 10
// not below |v|/p (2 when none is): 1.0 -> 2.0, 3.0 -> 5.0, 7.0 -> 10.0,
// 10.0 -> 20.0; below 1 the truncated exponent gives 2 (0.5 -> 2.0,
// 0.05 -> 0.2). subdivisions is 2 for the multiplier 2, else 5. Zero, NaN and
// infinities give step 0.0 and 2 subdivisions. Either output may be null.
void NiceStep(double value, double* step, int* subdivisions);

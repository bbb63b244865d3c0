// Linear interpolation between two samples (x1, y1) and (x2, y2), with and
// without clamping to the samples' values.
//
//   double y = InterpolateClamped(t0, t1, depth0, depth1, t);   // within the samples
//   double z = InterpolateUnclamped(t0, t1, depth0, depth1, t); // extrapolates
//   double w;
//   if (InterpolateWithin(t0, t1, depth0, depth1, t, &w)) Use(w);
//
// Equal abscissas (x1 == x2, compared exactly) give the mean of the two
// values instead of dividing by zero. Otherwise the ratio (x - x1)/(x2 - x1) is
// formed first, so the result is within a few units in the last place of
// max(|y1|, |y2|) between the samples; far outside them the error grows with
// the ratio. Abscissas only a few units in the last place apart make the ratio
// large or infinite, and an infinite ratio times y2 - y1 == 0 is NaN.
#pragma once

// a + (b - a) * t, not clamped.
double Lerp(double t, double a, double b);

// (x - x1)/(x2 - x1) * (y2 - y1) + y1, or (y1 + y2) * 0.5 when x1 == x2. Unless
// `allowExtrapolation`, the result is clamped to [min(y1, y2), max(y1, y2)].
// A NaN anywhere gives NaN.
double InterpolateLinear(double x1, double x2, double y1, double y2, double x,
                         bool allowExtrapolation);

// InterpolateLinear(..., false).
double InterpolateClamped(double x1, double x2, double y1, double y2, double x);

// InterpolateLinear(..., true).
double InterpolateUnclamped(double x1, double x2, double y1, double y2, double x);

// Writes (y2 - y1) * ((x - x1)/(x2 - x1)) + y1 to *y, exactly y1 at x == x1 and
// exactly y2 at x == x2, and (y1 + y2) * 0.5 when x1 == x2. Returns whether that
// value lies within [min(y1, y2), max(y1, y2)] (false for NaN). *y is written
// even when the result is false; `y` may be null.
bool InterpolateChecked(double x1, double x2, double y1, double y2, double x, double* y);

// False, and *y left as it was, when x lies outside [min(x1, x2), max(x1, x2)];
// otherwise InterpolateChecked. A NaN x passes the range test and then fails
// the value test with *y = NaN.
bool InterpolateWithin(double x1, double x2, double y1, double y2, double x, double* y);

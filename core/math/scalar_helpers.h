// Three small scalar formulas of the maths module: a difference, a single
// fold into [0, range) and the radius of an ellipse in a direction.
//
//   double turned = Difference(heading2, heading1);
//   double day = WrapOnce(secondsOfDay, 86400.0);   // one day either way
//   double r = EllipseRadiusAt(bearing, semiAxis90, semiAxis0);
#pragma once

// a - b.
double Difference(double a, double b);

// x folded once into [0, range): x < 0 gets range added once, and then a
// value >= range has range subtracted once. Values more than one range
// outside stay outside ((800, 360) gives 440); a range of exactly 0 returns
// x. No loop, so any x returns at once; a NaN x or range gives NaN. An
// infinite range takes the same steps: (45, inf) is 45, (45, -inf) is inf,
// (-45, inf) is NaN (inf - inf).
double WrapOnce(double x, double range);

// sqrt(((a^2 + b^2) + cos(2 theta) (b^2 - a^2)) / 2) = sqrt(b^2 cos^2 theta +
// a^2 sin^2 theta), theta in degrees: the extent in direction theta of an
// ellipse whose semi-axis b lies along theta = 0 and a along theta = 90. 1.0
// when a or b is exactly 0. The double-angle form keeps the result between
// min(a, b) and max(a, b) to a few units in the last place; squares above
// ~1e154 overflow.
double EllipseRadiusAt(double theta, double a, double b);

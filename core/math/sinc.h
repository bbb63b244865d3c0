// The cardinal sine sin(x)/x and its derivative, with their limits at 0:
// the factor between the length of a circular arc and its chord
// (chord = arc length * Sinc(half the turned angle in radians)).
//
//   double chord = length * Sinc(turnRadians * 0.5, false);
//   double z = Sinc(1.0, true);   // sin(pi)/pi, 0 to rounding
//
// With timesPi, x is multiplied by pi first (the normalised form).
//
// Accuracy: Sinc is within a few units in the last place; below |x| = 2^-13
// it is its Taylor series through x^4 (error below 1e-27). The derivative is
// the series -x/3 + x^3/30 below x^2 = 2^-13 (|x| about 0.011), within 5e-11
// relative there; just above that switch the quotient loses about 4 digits
// to cancellation, recovering as x grows (relative error about 3e-12 at the
// switch, 1e-15 beyond |x| = 1).
#pragma once

// sin(x)/x; 1.0 at 0. Even in x. NaN for NaN and for infinite x.
double Sinc(double x, bool timesPi);

// The derivative cos(x)/x - sin(x)/x^2; 0.0 at 0. Odd in x. For large |x|
// (above about 1e8) this is dominated by cos(x)/x, whose argument reduction is
// exact, so the result stays accurate. NaN for NaN and infinite x.
double SincDerivative(double x, bool timesPi);

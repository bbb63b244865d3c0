// Angles as doubles: folding into a standard range (degrees, gon, radians),
// differences and means of two directions, and interpolation of directions
// between two samples.
//
//   double h = NormalizeAngle360(heading + 370.0);   // [0, 360)
//   double e = NormalizeAngle180(bearing - course);  // (-180, 180]
//   double turn = AngleDifference(350.0, 10.0);      // -20
//   double mid = MeanAngle360(350.0, 10.0);          // 0
//   double h5 = InterpolateAngle360(t0, t1, h0, h1, t);
//
// Folding takes the exact remainder by the cycle (fmod), so every result is
// exactly congruent to its input, however many turns it holds; then one
// correction moves it into the range. No loop, so any size returns at once.
// The correction adds or subtracts a cycle, which rounds: a result that
// rounds up to the full cycle (a tiny negative a) is returned as 0, so
// results always lie in the stated range. Radians fold by the double nearest
// 2 pi, so very many turns drift from true multiples of 2 pi by 2.4e-16 per
// turn. NaN and infinities give NaN.
#pragma once

// [0, 360).
double NormalizeAngle360(double a);
// (-180, 180]; -180 gives 180.
double NormalizeAngle180(double a);
// Gon: [0, 400).
double NormalizeGon400(double a);
// Gon: (-200, 200].
double NormalizeGon200(double a);
// Radians: [0, 2 pi), the cycle being the double 6.283185307179586.
double NormalizeRadians2Pi(double a);
// Radians: (-pi, pi]; values above the double 3.141592653589793 lose 2 pi.
double NormalizeRadiansPi(double a);
// fmod(a, 2 pi): the exact remainder, with the sign of a.
double FmodTwoPi(double a);

// a - b in degrees, folded once: above 180 loses 360, below -180 gains 360.
// For a and b in the same 360-degree range the result lies in [-180, 180];
// values further apart stay outside ((600, 0) gives 240).
double AngleDifference(double a, double b);

// The turn from direction b to direction a the shorter way, in [-180, 180],
// however far apart the two are written: a is first brought within one turn
// of b, as MeanAngle180 does, then folded once as in AngleDifference. So it
// is the turn whose half MeanAngle180 (a, b) adds to b: (600, 0) gives -120
// where AngleDifference gives 240. Use it wherever a turn and a mean heading
// must describe the same arc.
double ShortestTurn(double a, double b);

// NormalizeAngle180(AngleDifference(a, b) / divisor): the step of a turn from b
// to a divided into `divisor` parts. 0.0 when divisor is exactly 0; a quotient
// that overflows is NaN.
double DivideAngleDifference(double a, double b, double divisor);

// The direction halfway between a and b on the shorter way round, in
// (-180, 180]: (a + b) / 2, less 180 when a and b are more than 180 apart.
// Inputs at least a full turn apart are first brought within one turn of each
// other (so (725, 5) gives 5). Exactly opposite directions give (a + b) / 2.
double MeanAngle180(double a, double b);
// The same mean in [0, 360).
double MeanAngle360(double a, double b);

// The direction at x between samples (x1, a1) and (x2, a2), interpolated the
// shorter way round (one fold as in AngleDifference) and clamped at the
// samples as InterpolateClamped does; in (-180, 180].
double InterpolateAngle180(double x1, double x2, double a1, double a2, double x);
// The same in [0, 360).
double InterpolateAngle360(double x1, double x2, double a1, double a2, double x);

// a + t * AngleDifference(b, a), folded once into [0, 360): meant for t in
// [0, 1] and a, b in [0, 360); other inputs can fall outside the range.
double LerpAngle360(double t, double a, double b);

// Interpolation of angles in any unit, degreesPerUnit being the size of one
// unit in degrees (1 for degrees, 0.9 for gon, 57.29577951308232 for
// radians; 0 counts as 1; NaN gives NaN unless a sample is missing; an
// infinite unit makes the cycle 0, so d is not folded). -1.0
// exactly means "no value": with a1 missing the result is a2 (0.0 when both
// are missing), with a2 missing it is a1.
// Otherwise d = a2 - a1 folded once by a full cycle into the half-cycle range,
// and the result a1 + (x - x1)/(x2 - x1) * d (a1 + d/2 when x1 == x2), neither
// clamped nor normalised: (0, 10, 350, 10, 5, 1) gives 360.
double InterpolateCyclic(double x1, double x2, double a1, double a2, double x,
                         double degreesPerUnit);

// Lever-arm terms: how a vessel's pitch and roll move the end of a sensor
// offset up or down, and that vertical displacement applied to heave, height
// and depth values.
//
//   const double arm[3] = {1.5, 12.0, -3.0};  // X starboard, Y forward, Z up (m)
//   double h = CalcInducedHeave(arm, pitch, roll, /*order=*/0);
//   double depth = RemoveLeverArmHeight(arm, rawDepth, /*upPositive=*/false,
//                                       pitch, roll, 0);
//
// Angles are in degrees; a positive pitch raises points ahead of the origin
// (Y > 0) and a positive roll lowers points to starboard (X > 0). The lever arm
// is three consecutive doubles X, Y, Z read through a pointer and never
// written; a null pointer stands for the zero arm.
//
// Rotation order: below 1 (0 and negative alike) rolls about the forward axis
// first and then pitches about the starboard axis; 1 pitches first, then
// rolls; 2 and above give no rotation term (0.0, no trigonometry).
//
// `upPositive` is true when the corrected value grows upward (a height, a
// heave) and false when it grows downward (a depth); s below is +1 or -1.
//
// Accuracy: every result is the rigid rotation itself (no small-angle
// approximation), evaluated in the order written in each comment, so it is
// within a few units in the last place of the inputs' magnitude. Angles that
// are both exactly 0.0 take the shortcut the comment names without calling
// sin or cos; a NaN angle is not zero and gives NaN.
#pragma once

// h(p, r), the vertical displacement of the lever arm's end:
//   order < 1:  cos(P)*(cos(R)*Z - sin(R)*X) + sin(P)*Y - Z
//   order = 1:  cos(R)*(cos(P)*Z + sin(P)*Y) - sin(R)*X - Z
// with P, R the angles in radians. Zero angles give 0.0 (exactly, for finite
// arms); h + Z is the height of the rotated arm's end.
double CalcInducedHeave(const double* leverArm, double pitch, double roll, int order);

// h(p1, r1) - h(p2, r2).
double CalcInducedHeaveDiff(const double* leverArm, double pitch1, double roll1,
                            double pitch2, double roll2, int order);

// (value1 - (h(p1, r1) - h(p2, r2))) - value2.
double CalcCorrectedHeaveDiff(const double* leverArm, double pitch1, double roll1,
                              double value1, double pitch2, double roll2, double value2,
                              int order);

// (h(p1, r1) - h(p2, r2)) + value. `unused` is not read; it keeps the
// argument list the callers were written against.
double AddInducedHeaveDiff(const double* leverArm, double pitch1, double roll1, double value,
                           double pitch2, double roll2, double unused, int order);

// (v - s*h(p, r)) - s*Z, i.e. v - s*(rotated Z); v - s*Z for zero angles.
double RemoveLeverArmHeight(const double* leverArm, double value, bool upPositive,
                            double pitch, double roll, int order);

// (v + s*h(p, r)) + s*Z, i.e. v + s*(rotated Z); v + s*Z for zero angles.
double AddLeverArmHeight(const double* leverArm, double value, bool upPositive,
                         double pitch, double roll, int order);

// d*cos(R)*cos(P) - d: the vertical change of a purely vertical offset d.
// 0.0 for zero angles.
double CalcVerticalInducedHeave(double offset, double pitch, double roll);

// CalcVerticalInducedHeave(d, p1, r1) - CalcVerticalInducedHeave(d, p2, r2).
double CalcVerticalInducedHeaveDiff(double offset, double pitch1, double roll1,
                                    double pitch2, double roll2);

// w / cos(R) / cos(P) with w = v (upPositive) or -v; w for zero angles.
// Near +-90 degrees the division makes the result arbitrarily large.
double VerticalToSlant(double value, bool upPositive, double pitch, double roll);

// w * cos(R) * cos(P) with w as above; w for zero angles.
double SlantToVertical(double value, bool upPositive, double pitch, double roll);

// The calibration, scale and ratio arithmetic of observation definitions.
//
//   double calibrated = ApplyObsCalibration(raw, &obs);
//   double raw_again = RemoveObsCalibration(calibrated, &obs);   // == raw
//
// Calibration: x = value + c (c = c1 + c2 of the record); with scale s = 0
// the result is x, with quadratic q = 0 it is s * x, else
// q * value^2 + s * x. Every test for zero is an exact comparison with 0.0,
// and the terms are evaluated in the order given, so the results are
// bit-for-bit those stored data were made with. A null record leaves the
// value unchanged.
#pragma once

struct sObsDef;

double ApplyCalibration(double value, double c, double s, double q);
// The inverse: for q != 0 the root of q x^2 + s (x + c) = y nearer to y; not
// a number when there is no real root.
double RemoveCalibration(double y, double c, double s, double q);
double ApplyScale(double value, double s);  // s = 0: value unchanged

double ApplyObsCalibration(double value, const sObsDef* obs);
double RemoveObsCalibration(double value, const sObsDef* obs);
double ApplyObsScale(double value, const sObsDef* obs);
// b / a * value, or value when a or b is 0 (a = ratioA, b = ratioB).
double ApplyObsRatio(double value, const sObsDef* obs);
// a / b * value, or value when a or b is 0.
double ApplyObsInverseRatio(double value, const sObsDef* obs);

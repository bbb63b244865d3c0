// The normalised Fresnel integrals, as needed for the displacement along a
// clothoid (a path whose rate of turn changes linearly in time).
//
//   double c, s;
//   FresnelIntegrals(1.0, &c, &s);   // c = 0.7798934..., s = 0.4382591...
//
//   C(x) = integral from 0 to x of cos(pi t^2 / 2) dt
//   S(x) = integral from 0 to x of sin(pi t^2 / 2) dt
//
// Both are odd in x and tend to 0.5 as x grows (C(x) - 0.5 ~ sin(pi x^2/2)/(pi x)).
//
// Accuracy: below |x| = 1.6 a power series in x^4 of eleven terms, good to
// about 1e-9 absolute. From 1.6 on, an asymptotic form with two fitted
// polynomials in 1/x^2 whose coefficients carry nine or ten digits, good to
// about 3e-8 absolute; the two forms meet at 1.6 to within that. Absolute,
// not relative: differences C(x1) - C(x2) of nearby arguments carry the same
// absolute error, which can be large relative to the difference.
// Beyond |x| = 1e15 the oscillating part is below the spacing of doubles near
// 0.5, so exactly +-0.5 is returned (also for infinite x; the phase pi x^2/2
// would otherwise overflow into NaN).
#pragma once

// Stores C(x) and S(x); either pointer may be null. Returns false, and writes
// NaN, when x is NaN.
bool FresnelIntegrals(double x, double* fc, double* fs);

#include "core/math/angles.h"

#include <cmath>
#include <limits>

#include "core/math/interpolation.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {


// The exact remainder of a by cycle moved into [0, cycle). fmod has no
// rounding, so 370 gives 10 exactly where frac(370 / 360) * 360 would not.
double FoldPositive(double a, double cycle) {
  if (!std::isfinite(a)) return std::numeric_limits<double>::quiet_NaN();
  double r = std::fmod(a, cycle);
  if (r < 0.0) r += cycle;
  if (r >= cycle || r == 0.0) r = 0.0;  // a tiny negative rounds up to a full cycle; -0 to +0
  return r;
}

// FoldPositive moved into (-half, half].
double FoldSigned(double a, double cycle, double half) {
  double r = FoldPositive(a, cycle);
  if (r > half) r -= cycle;
  return r;
}

double FoldDifferenceOnce(double d) {
  if (d > 180.0) return d - 360.0;
  if (d < -180.0) return d + 360.0;
  return d;
}

// a moved by whole turns to within one turn of b: directions a whole
// number of turns apart are the same direction, and a single fold only copes
// with less than 1.5 turns.
double WithinOneTurn(double a, double b) {
  if (std::fabs(a - b) >= 360.0) return b + std::fmod(a - b, 360.0);
  return a;
}

// (a + b) / 2 on the shorter way round, not yet normalised.
double MeanAngle(double a, double b) {
  a = WithinOneTurn(a, b);
  double m = (a + b) * 0.5;
  const double d = a - b;
  if (d > 180.0 || d < -180.0) m -= 180.0;
  return m;
}

// The clamped interpolation after lifting one sample by 360 so that the two
// lie less than half a turn apart.
double InterpolateAngle(double x1, double x2, double a1, double a2, double x) {
  const double d = a1 - a2;
  if (d > 180.0) {
    a2 += 360.0;
  } else if (d < -180.0) {
    a1 += 360.0;
  }
  return InterpolateClamped(x1, x2, a1, a2, x);
}

}  // namespace

double NormalizeAngle360(double a) { return FoldPositive(a, 360.0); }
double NormalizeAngle180(double a) { return FoldSigned(a, 360.0, 180.0); }
double NormalizeGon400(double a) { return FoldPositive(a, 400.0); }
double NormalizeGon200(double a) { return FoldSigned(a, 400.0, 200.0); }
double NormalizeRadians2Pi(double a) { return FoldPositive(a, kTwoPi); }
double NormalizeRadiansPi(double a) { return FoldSigned(a, kTwoPi, kPi); }
double FmodTwoPi(double a) { return std::fmod(a, kTwoPi); }

double AngleDifference(double a, double b) { return FoldDifferenceOnce(a - b); }

double ShortestTurn(double a, double b) { return FoldDifferenceOnce(WithinOneTurn(a, b) - b); }

double DivideAngleDifference(double a, double b, double divisor) {
  if (divisor == 0.0) return 0.0;
  return NormalizeAngle180(AngleDifference(a, b) / divisor);
}

double MeanAngle180(double a, double b) { return NormalizeAngle180(MeanAngle(a, b)); }
double MeanAngle360(double a, double b) { return NormalizeAngle360(MeanAngle(a, b)); }

double InterpolateAngle180(double x1, double x2, double a1, double a2, double x) {
  return NormalizeAngle180(InterpolateAngle(x1, x2, a1, a2, x));
}

double InterpolateAngle360(double x1, double x2, double a1, double a2, double x) {
  return NormalizeAngle360(InterpolateAngle(x1, x2, a1, a2, x));
}

double LerpAngle360(double t, double a, double b) {
  const double d = FoldDifferenceOnce(b - a);
  double r = d * t + a;
  if (r >= 360.0) {
    r -= 360.0;
  } else if (r < 0.0) {
    r += 360.0;
  }
  return r;
}

double InterpolateCyclic(double x1, double x2, double a1, double a2, double x,
                         double degreesPerUnit) {
  if (a1 == -1.0) return a2 == -1.0 ? 0.0 : a2;
  if (a2 == -1.0) return a1;
  // A NaN unit would skip the fold below and give a finite angle. An infinite
  // unit makes the cycle 0 and the fold adds nothing: the plain interpolation.
  if (std::isnan(degreesPerUnit)) return degreesPerUnit;
  const double k = degreesPerUnit == 0.0 ? 1.0 : 1.0 / std::fabs(degreesPerUnit);
  const double half = 180.0 * k;
  const double full = 360.0 * k;
  double d = a2 - a1;
  if (d > half) {
    d -= full;
  } else if (d < -half) {
    d += full;
  }
  if (x1 == x2) return a1 + d * 0.5;
  return a1 + ((x - x1) / (x2 - x1)) * d;
}

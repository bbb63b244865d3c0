#include "core/math/arcs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/math/angles.h"
#include "core/math/plane_geometry.h"
#include "core/math/sinc.h"
#include "platform/checked_int.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

constexpr double kHalfPi = 1.5707963267948966;
// How much longer than the diameter, relatively, a chord may come out of
// rounding and still count as the diameter.
constexpr double kChordSlack = 1e-9;

double Chord(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

// The sine of half the turned angle, q = c / 2r (signed as r), when an arc
// fits the chord: clamped into [-1, 1] when rounding alone put it outside.
// False when no arc fits.
// The sagitta of an arc of radius r (> 0) over a half chord h (0 <= h <=
// r): r - sqrt(r^2 - h^2), written as h^2 / (r + sqrt(r^2 - h^2)) so that a
// flat arc keeps its relative accuracy instead of the difference of two
// nearly equal values; (r - h)(r + h) neither over- nor underflows.
double Sagitta(double h, double r) {
  if (h >= r) return r;
  const double s = std::sqrt((r - h) * (r + h));
  return h * (h / (r + s));
}

bool HalfChordRatio(double c, double r, double* q) {
  double v = c * 0.5 / r;
  if (std::fabs(v) > 1.0) {
    if (!(std::fabs(v) <= 1.0 + kChordSlack)) return false;
    v = std::copysign(1.0, v);
  }
  *q = v;
  return true;
}

// The chord of an arc of `length` turning from heading h1 to h2, and its
// direction in radians. The turn and the mean heading are those of the same
// arc, the shorter way round, however many turns apart h1 and h2 are written.
double ChordAndDirection(double length, double h1, double h2, double* direction) {
  *direction = MeanAngle360(h2, h1) * kDegToRad;
  return Sinc(std::fabs(ShortestTurn(h2, h1)) * kDegToRad * 0.5, false) * length;
}

double FoldTwoPiOnce(double a) {
  if (a < 0.0) return a + kTwoPi;
  if (a >= kTwoPi) return a - kTwoPi;
  return a;
}

}  // namespace

double ArcLength(double dx, double dy, double dz, double r) {
  const double c = Chord(dx, dy);
  double length = c;
  double q;
  // q of 0 (a zero chord, an infinite radius) is straight: 0 * r would be
  // NaN for the infinite radius.
  if (r != 0.0 && HalfChordRatio(c, r, &q) && q != 0.0) length = 2.0 * std::asin(q) * r;
  if (dz != 0.0) return std::sqrt(length * length + dz * dz);
  return length;
}

double ArcLengthBetween(double x1, double y1, double x2, double y2, double r) {
  return ArcLength(x2 - x1, y2 - y1, 0.0, r);
}

double ArcLengthBetween(double x1, double y1, double z1, double x2, double y2, double z2,
                        double r) {
  return ArcLength(x2 - x1, y2 - y1, z2 - z1, r);
}

double ArcLengthFromChord(double x1, double y1, double x2, double y2, double r) {
  const double c = Chord(x2 - x1, y2 - y1);
  double q;
  if (r == 0.0 || c <= 0.0 || !HalfChordRatio(c, r, &q) || q == 0.0) return c;
  return 2.0 * std::asin(q) * r;
}

double ArcHeight(double x1, double y1, double x2, double y2, double r) {
  return ArcHeight(x2 - x1, y2 - y1, r);
}

double ArcHeight(double dx, double dy, double r) {
  if (r == 0.0) return 0.0;
  const double h = Chord(dx, dy) * 0.5;
  const double radius = std::fabs(r);
  if (h > radius) {
    if (!(h <= radius * (1.0 + kChordSlack))) return 0.0;
    return radius;
  }
  return Sagitta(h, radius);
}

double ChordFromArc(double length, double h1, double h2, double* chord, double* meanHeading) {
  double direction;
  const double c = ChordAndDirection(length, h1, h2, &direction);
  Put(chord, c);
  Put(meanHeading, MeanAngle360(h2, h1));
  return c;
}

double ArcStepAngle(const double* start, const double* end, const double* radius, int minSteps,
                    double maxStepLength) {
  if (start == nullptr || end == nullptr || radius == nullptr)
    return std::numeric_limits<double>::quiet_NaN();
  double span = NormalizeAngle360(*end - *start);
  if (span < 0.0001) span = 360.0;
  const double wanted = std::floor(std::fabs(span / 360.0 * *radius * kTwoPi) / maxStepLength);
  // More steps than an int holds (a tiny or zero maximum step) are as many
  // as it holds, not the integer-indefinite value, which would mean fewer.
  // A NaN count (0 / 0) still converts to that value and leaves minSteps.
  const int32_t byLength = wanted >= 2147483647.0 ? std::numeric_limits<int32_t>::max()
                                                  : zor::platform::DoubleToInt32(wanted);
  // At least one step: a zero step count would divide the span by zero.
  const int32_t steps = std::max({byLength, minSteps, 1});
  const double step = span / steps;
  return step < 0.1 ? 0.1 : step;
}

double ArcTangentBearing(double dx, double dy, double r, bool atStart) {
  const double a = BearingRad(dx, dy);
  if (r == 0.0) return a;
  const double q = std::clamp((Chord(dx, dy) * 0.5) / std::fabs(r), -1.0, 1.0);
  const double t = std::acos(q);
  const double turn = atStart ? kHalfPi - t : t - kHalfPi;
  return FoldTwoPiOnce(r > 0.0 ? a - turn : a + turn);
}

double ArcTangentBearing(double x1, double y1, double x2, double y2, double r, bool atStart) {
  return ArcTangentBearing(x2 - x1, y2 - y1, r, atStart);
}

double ArcTangentBearingDeg(double dx, double dy, double r, bool atStart) {
  return ArcTangentBearing(dx, dy, r, atStart) * kRadToDeg;
}

double ArcTangentBearingDeg(double x1, double y1, double x2, double y2, double r, bool atStart) {
  return ArcTangentBearing(x2 - x1, y2 - y1, r, atStart) * kRadToDeg;
}

bool CircleCentreFromChord(const double* x1, const double* y1, const double* x2, const double* y2,
                           const double* r, double* cx, double* cy, bool byAngles) {
  if (x1 == nullptr || y1 == nullptr || x2 == nullptr || y2 == nullptr || r == nullptr)
    return false;
  const double dx = *x2 - *x1;
  const double dy = *y2 - *y1;
  const double c = Chord(dx, dy);
  const double radius = std::fabs(*r);
  double q;
  // A NaN radius would pass the ratio test and put the centre on the chord.
  if (!(c > 0.0) || !(radius > 0.0) || !HalfChordRatio(c, radius, &q)) return false;
  double x;
  double y;
  if (byAngles) {
    const double a = std::atan2(dx, dy);
    const double t = std::acos(q);
    const double toCentre = *r > 0.0 ? a + t : a - t;
    x = *x1 + std::sin(toCentre) * radius;
    y = *y1 + std::cos(toCentre) * radius;
  } else {
    const double ux = dx / c;
    const double uy = dy / c;
    const double nx = *r > 0.0 ? uy : -uy;
    const double ny = *r > 0.0 ? -ux : ux;
    const double halfChord = c * 0.5;
    const double shift = std::sqrt(std::max(0.0, *r * *r - halfChord * halfChord));
    x = *x1 + dx * 0.5 + nx * shift;
    y = *y1 + dy * 0.5 + ny * shift;
  }
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  Put(cx, x);
  Put(cy, y);
  return true;
}

double CircleThrough3Points(double x1, double y1, double x2, double y2, double x3, double y3,
                            double* cx, double* cy) {
  const double det = (y3 - y1) * x2 + (y2 - y3) * x1 + (y1 - y2) * x3;
  if (!(std::fabs(det) > 1e-10)) return -1.0;
  const double s1 = x1 * x1 + y1 * y1;
  const double s2 = x2 * x2 + y2 * y2;
  const double s3 = x3 * x3 + y3 * y3;
  const double sx = (y3 - y2) * s1 + (y1 - y3) * s2 + (y2 - y1) * s3;
  const double sy = (x3 - x2) * s1 + (x1 - x3) * s2 + (x2 - x1) * s3;
  const double x = (-0.5 / det) * sx;
  const double y = (0.5 / det) * sy;
  const double radius = Length2D(x1 - x, y1 - y);
  if (!std::isfinite(radius)) return -1.0;
  Put(cx, x);
  Put(cy, y);
  return radius;
}

double ArcMidpoint(double x1, double y1, double x2, double y2, double r, double* x, double* y) {
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  double mx = (x1 + x2) * 0.5;
  double my = (y1 + y2) * 0.5;
  const double a = std::atan2(dx, dy);
  double q;
  // An infinite radius is straight, as in ArcHeight: its arc height would be
  // 0 * infinity.
  if (r != 0.0 && !std::isinf(r) && HalfChordRatio(Chord(dx, dy), std::fabs(r), &q)) {
    const double height = Sagitta(std::fabs(q) * std::fabs(r), std::fabs(r));
    // Away from the centre: left of the chord for a clockwise arc.
    const double side = r > 0.0 ? a - kHalfPi : a + kHalfPi;
    mx += std::sin(side) * height;
    my += std::cos(side) * height;
  }
  Put(x, mx);
  Put(y, my);
  return FoldTwoPiOnce(a);
}

bool ArcBearings(const double* x1, const double* y1, const double* x2, const double* y2,
                 const double* cx, const double* cy, double* b1, double* b2) {
  if (x1 == nullptr || y1 == nullptr || x2 == nullptr || y2 == nullptr || cx == nullptr ||
      cy == nullptr) {
    return false;
  }
  double first = BearingDeg(*x1 - *cx, *y1 - *cy);
  double second = BearingDeg(*x2 - *cx, *y2 - *cy);
  if (second < first) second += 360.0;
  bool swapped = false;
  if (second - first > 180.0) {
    std::swap(first, second);
    swapped = true;
  }
  if (first > second) second += 360.0;
  Put(b1, first);
  Put(b2, second);
  return swapped;
}

void ArcAdvance(double x0, double y0, double length, double h1, double h2, double* x, double* y) {
  double mid;
  const double chord = ChordAndDirection(length, h1, h2, &mid);
  Put(x, x0 + std::sin(mid) * chord);
  Put(y, y0 + std::cos(mid) * chord);
}

void ArcAdvanceOffset(double x0, double y0, double off2, double length, double h1, double h2,
                      double* x, double* y) {
  double mid;
  const double chord = ChordAndDirection(length, h1, h2, &mid);
  const double end = h2 * kDegToRad;
  Put(x, x0 + std::sin(mid) * chord + std::cos(end) * off2);
  Put(y, y0 + std::cos(mid) * chord - std::sin(end) * off2);
}

void ArcOffsetToOffset(double x0, double y0, double off1, double s1, double off2, double s2,
                       double h1, double h2, double* x, double* y) {
  double mid;
  const double chord = ChordAndDirection(s2 - s1, h1, h2, &mid);
  const double start = h1 * kDegToRad;
  const double end = h2 * kDegToRad;
  Put(x, (std::sin(mid) * chord - std::cos(start) * off1) + std::cos(end) * off2 + x0);
  Put(y, (std::sin(start) * off1 + std::cos(mid) * chord) - std::sin(end) * off2 + y0);
}

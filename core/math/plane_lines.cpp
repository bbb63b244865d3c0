#include "core/math/plane_lines.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/math/angles.h"
#include "core/math/plane_geometry.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

constexpr double kTolerance = 1e-10;

void Store(double* out, double value) {
  if (out != nullptr) *out = value;
}

int Sign(double v) {
  if (v > 0.0) return 1;
  if (v < 0.0) return -1;
  return 0;
}

// ux vy - uy vx.
double Cross(double ux, double uy, double vx, double vy) { return ux * vy - uy * vx; }

// A line's bearing without its direction: [0, 180], so that bearings whole
// half-turns apart compare as the same line.
double LineBearing(double bearing) {
  double r = std::fmod(bearing, 180.0);
  if (r < 0.0) r += 180.0;
  return r;
}

bool IsNorthSouth(double lineBearing) {
  return std::fabs(lineBearing) < kTolerance || std::fabs(lineBearing - 180.0) < kTolerance;
}

// Strictly between the two ends, or anywhere when both ends are equal: the
// point is on the segment's line already, and the other coordinate decides.
bool InsideOpenRange(double v, double end1, double end2) {
  if (end1 == end2) return true;
  return (end1 < v && v < end2) || (end2 < v && v < end1);
}

bool InsideClosedRange(double v, double end1, double end2) {
  return std::min(end1, end2) <= v && v <= std::max(end1, end2);
}

// Whether the crossing code takes the segment's line as exactly north-south
// (x = x1), so that its x range says nothing about where a crossing lies.
bool SnappedNorthSouth(double x1, double y1, double x2, double y2) {
  return IsNorthSouth(LineBearing(BearingDeg(x2 - x1, y2 - y1)));
}

}  // namespace

int Orientation(double x1, double y1, double x2, double y2, double x3, double y3) {
  return Sign((x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1));
}

int SideOfLine(double x1, double y1, double x2, double y2, double px, double py) {
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  const double v = dy * px - dx * py - (dy * x1 - dx * y1);
  if (v < -kTolerance) return -1;
  if (v > kTolerance) return 1;
  return 0;
}

double SegmentParameter(double x1, double y1, double x2, double y2, double px, double py) {
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  const double numerator = (px - x1) * dx + (py - y1) * dy;
  const double denominator = dx * dx + dy * dy;
  double t = denominator > 0.0 ? numerator / denominator : numerator;
  if (std::fabs(t) < kTolerance) t = 0.0;
  if (std::fabs(1.0 - t) < kTolerance) t = 1.0;
  return t;
}

double SignedDistanceToLine(double x1, double y1, double x2, double y2, double px, double py) {
  double ux = x2 - x1;
  double uy = y2 - y1;
  double vx = px - x1;
  double vy = py - y1;
  if ((ux == 0.0 && uy == 0.0) || (vx == 0.0 && vy == 0.0)) return 0.0;
  // A NaN or infinite vector has no exponent to scale by (ilogb gives
  // INT_MIN for NaN and for a zero beside a NaN, and -INT_MIN overflows).
  if (!AllFinite({ux, uy, vx, vy})) return std::numeric_limits<double>::quiet_NaN();
  // The cross product over |u|, which is what |v| sqrt(1 - cos^2) means,
  // without taking 1 - cos^2 of a cosine rounded near 1 (a point close to a
  // long line would read 0). Both vectors are first scaled by powers of two
  // to lengths near 1, exactly, so that no product under- or overflows; the
  // two products go through fma so that their difference keeps its digits
  // however close to the line p lies.
  const int uScale = -std::ilogb(std::max(std::fabs(ux), std::fabs(uy)));
  const int vScale = -std::ilogb(std::max(std::fabs(vx), std::fabs(vy)));
  ux = std::ldexp(ux, uScale);
  uy = std::ldexp(uy, uScale);
  vx = std::ldexp(vx, vScale);
  vy = std::ldexp(vy, vScale);
  const double w = uy * vx;
  const double cross = std::fma(ux, vy, -w) + std::fma(-uy, vx, w);
  // Right of p1 -> p2 (clockwise from the direction) is a negative cross.
  if (cross == 0.0) return 0.0;
  return std::ldexp(-cross / std::hypot(ux, uy), -vScale);
}

bool PointInTriangle(double px, double py, double x1, double y1, double x2, double y2,
                     double x3, double y3, bool strict) {
  const double c1 = Cross(x2 - x1, y2 - y1, px - x1, py - y1);
  const double c2 = Cross(x3 - x2, y3 - y2, px - x2, py - y2);
  const double c3 = Cross(x1 - x3, y1 - y3, px - x3, py - y3);
  // A NaN cross product (NaN or infinite input, or an overflow) has no sign;
  // read as 0 it would put p on an edge, and so inside.
  if (std::isnan(c1) || std::isnan(c2) || std::isnan(c3)) return false;
  const int s1 = Sign(c1);
  const int s2 = Sign(c2);
  const int s3 = Sign(c3);
  if (s1 == 0 && s2 == 0 && s3 == 0) {
    // Collinear corners: p is on their line, inside only when it lies
    // between the extreme corners.
    if (strict) return false;
    return std::min({x1, x2, x3}) <= px && px <= std::max({x1, x2, x3}) &&
           std::min({y1, y2, y3}) <= py && py <= std::max({y1, y2, y3});
  }
  if (s1 == s2 && s2 == s3) return true;
  if (strict) return false;
  const int zeros = (s1 == 0) + (s2 == 0) + (s3 == 0);
  if (zeros == 2) return true;  // a corner
  if (zeros == 1) {             // on an edge's line: inside when the other two agree
    if (s1 == 0) return s2 == s3;
    if (s2 == 0) return s1 == s3;
    return s1 == s2;
  }
  return false;
}

bool IntersectBearingLines(double x1, double y1, double b1, double x2, double y2, double b2,
                           double* x, double* y) {
  Store(x, 0.0);
  Store(y, 0.0);
  // A north-south line takes its point's x alone, so an infinite y would
  // otherwise give a finite crossing.
  if (!AllFinite({x1, y1, b1, x2, y2, b2})) return false;
  const double line1 = LineBearing(b1);
  const double line2 = LineBearing(b2);
  const double gap = std::fabs(line1 - line2);
  if (gap < kTolerance || std::fabs(180.0 - gap) < kTolerance) return false;
  const double t1 = std::tan((90.0 - b1) * kDegToRad);
  const double t2 = std::tan((90.0 - b2) * kDegToRad);
  double px;
  double py;
  if (IsNorthSouth(line1)) {
    px = x1;
    py = y2 + t2 * (x1 - x2);
  } else if (IsNorthSouth(line2)) {
    px = x2;
    py = y1 + t1 * (x2 - x1);
  } else {
    // The crossing of y = t x + c, worked out from p1 along line 1's
    // direction: s = ((p2 - p1) x d2) / (d1 x d2) with d = (sin b, cos b).
    // The intercepts c = y - t x of the slope form carry the rounding of
    // t x, which for steep lines far from the origin is metres.
    const double sin1 = std::sin(b1 * kDegToRad);
    const double cos1 = std::cos(b1 * kDegToRad);
    const double sin2 = std::sin(b2 * kDegToRad);
    const double cos2 = std::cos(b2 * kDegToRad);
    const double s = (Cross(x2 - x1, y2 - y1, sin2, cos2)) / std::sin((b1 - b2) * kDegToRad);
    px = x1 + s * sin1;
    py = y1 + s * cos1;
  }
  if (!std::isfinite(px) || !std::isfinite(py)) return false;
  Store(x, px);
  Store(y, py);
  return true;
}

bool IntersectLines(double x1, double y1, double x2, double y2, double x3, double y3,
                    double x4, double y4, double* x, double* y) {
  Store(x, 0.0);
  Store(y, 0.0);
  const double dx12 = x2 - x1;
  const double dy12 = y2 - y1;
  const double dx34 = x4 - x3;
  const double dy34 = y4 - y3;
  const double den = dy34 * dx12 - dx34 * dy12;
  // An overflowed determinant would make t 0 and the crossing p1.
  if (std::fabs(den) < 1e-6 || std::isinf(den)) return false;
  const double t = ((y1 - y3) * dx34 - (x1 - x3) * dy34) / den;
  const double px = x1 + t * dx12;
  const double py = y1 + t * dy12;
  if (!std::isfinite(px) || !std::isfinite(py)) return false;
  Store(x, px);
  Store(y, py);
  return true;
}

bool LineIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                      double x4, double y4, double* x, double* y) {
  // BearingRad reads a point as north, which would make up a line.
  if ((x1 == x2 && y1 == y2) || (x3 == x4 && y3 == y4)) return false;
  // p2 and p4 only set the bearings, which stay finite for infinite ends.
  if (!AllFinite({x1, y1, x2, y2, x3, y3, x4, y4})) return false;
  const double b1 = BearingDeg(x2 - x1, y2 - y1);
  const double b2 = BearingDeg(x4 - x3, y4 - y3);
  double px;
  double py;
  if (!IntersectBearingLines(x1, y1, b1, x3, y3, b2, &px, &py)) return false;
  Store(x, px);
  Store(y, py);
  return true;
}

bool SegmentIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                         double x4, double y4, double* x, double* y) {
  double px;
  double py;
  if (!LineIntersection(x1, y1, x2, y2, x3, y3, x4, y4, &px, &py)) return false;
  // A segment snapped to north-south is judged by y alone, as a vertical one.
  if (!SnappedNorthSouth(x1, y1, x2, y2) && !InsideOpenRange(px, x1, x2)) return false;
  if (!SnappedNorthSouth(x3, y3, x4, y4) && !InsideOpenRange(px, x3, x4)) return false;
  if (!InsideOpenRange(py, y1, y2) || !InsideOpenRange(py, y3, y4)) return false;
  Store(x, px);
  Store(y, py);
  return true;
}

bool SegmentIntersectionDirected(double x1, double y1, double x2, double y2, double x3,
                                 double y3, double x4, double y4, double* x, double* y,
                                 bool* eastward) {
  if (eastward != nullptr) *eastward = true;
  double px;
  double py;
  if (!LineIntersection(x1, y1, x2, y2, x3, y3, x4, y4, &px, &py)) return false;
  const double b1 = BearingDeg(x2 - x1, y2 - y1);
  if (b1 < 0.0 || b1 > 180.0) {
    if (eastward != nullptr) *eastward = false;
    if (!(x2 <= px && px <= x1)) return false;
  } else if (!(x1 <= px && px <= x2)) {
    return false;
  }
  // x barely places a point along a segment that runs more north-south than
  // east-west, and not at all along one within the snapping tolerance of
  // north-south, whose crossing lies on the snapped line x = x1: y does.
  if (std::fabs(y2 - y1) >= std::fabs(x2 - x1) && !InsideClosedRange(py, y1, y2)) return false;
  Store(x, px);
  Store(y, py);
  return true;
}

int IntersectLineCircle(double x1, double y1, double x2, double y2, double cx, double cy,
                        double r, double* xa, double* ya, double* xb, double* yb) {
  Store(xa, 0.0);
  Store(ya, 0.0);
  Store(xb, 0.0);
  Store(yb, 0.0);
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  const double a = dx * dx + dy * dy;
  // A point gives no line (t would be 0/0); NaN input fails here as well.
  if (!(a > 0.0)) return 0;
  const double b = 2.0 * ((x1 - cx) * dx + (y1 - cy) * dy);
  const double c = (y1 * y1 + x1 * x1 + cy * cy + cx * cx) - 2.0 * (x1 * cx + y1 * cy) - r * r;
  const double discriminant = b * b - 4.0 * a * c;
  int count;
  double ta = 0.0;
  double tb = 0.0;
  if (discriminant == 0.0) {
    count = 1;
    ta = -b / (2.0 * a);
  } else if (discriminant > 0.0) {
    count = 2;
    const double root = std::sqrt(discriminant);
    ta = (root - b) / (2.0 * a);
    tb = (-b - root) / (2.0 * a);
  } else {
    return 0;  // no crossing, or NaN
  }
  const double pxa = x1 + ta * dx;
  const double pya = y1 + ta * dy;
  const double pxb = count == 2 ? x1 + tb * dx : 0.0;
  const double pyb = count == 2 ? y1 + tb * dy : 0.0;
  if (!std::isfinite(pxa) || !std::isfinite(pya) || !std::isfinite(pxb) ||
      !std::isfinite(pyb)) {
    return 0;
  }
  Store(xa, pxa);
  Store(ya, pya);
  Store(xb, pxb);
  Store(yb, pyb);
  return count;
}

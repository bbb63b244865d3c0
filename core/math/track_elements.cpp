#include "core/math/track_elements.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <tuple>
#include <utility>

#include "core/math/angles.h"
#include "core/math/arcs.h"
#include "core/math/plane_geometry.h"
#include "core/math/plane_lines.h"
#include "core/math/sinc.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

constexpr double kHalfPi = 1.5707963267948966;
// Directions from a centre that agree to this many degrees are one.
constexpr double kSameDirection = 1e-9;
// A line passes through a centre when it misses it by at most this share of
// the radius.
constexpr double kThroughCentre = 1e-9;

double LineStation(double x1, double y1, double x2, double y2, double px, double py, double* along,
                   double* remaining, double* offset, double* length, double* direction) {
  const double len = Length2D(x2 - x1, y2 - y1);
  Put(length, len);
  Put(direction, BearingDeg(x2 - x1, y2 - y1));
  const double toPoint = Length2D(px - x1, py - y1);
  if (len == 0.0) return 0.0;
  // On p1: nothing along and nothing off, the whole element still ahead.
  if (toPoint == 0.0) {
    Put(remaining, len);
    return 0.0;
  }
  const double dot = (x2 - x1) * (px - x1) + (y2 - y1) * (py - y1);
  const double q = std::clamp(dot / (len * toPoint), -1.0, 1.0);
  const double s = toPoint * q;
  Put(along, s);
  Put(remaining, len - s);
  Put(offset, SignedDistanceToLine(x1, y1, x2, y2, px, py));
  return s;
}

double ArcStation(double x1, double y1, double x2, double y2, double r, double px, double py,
                  double* along, double* remaining, double* offset, double* length,
                  double* direction) {
  const double radius = std::fabs(r);
  const bool clockwise = r > 0.0;
  const double tangent = ArcTangentBearing(x2 - x1, y2 - y1, r, true);
  const double toCentre = clockwise ? tangent + kHalfPi : tangent - kHalfPi;
  const double cx = x1 + std::sin(toCentre) * radius;
  const double cy = y1 + std::cos(toCentre) * radius;
  const double fromCentre = Length2D(px - cx, py - cy);
  Put(offset, clockwise ? r - fromCentre : r + fromCentre);
  const double b1 = BearingDeg(x1 - cx, y1 - cy);
  const double b2 = BearingDeg(x2 - cx, y2 - cy);
  const double bp = BearingDeg(px - cx, py - cy);
  // Angles measured in the direction of travel.
  const double sense = clockwise ? 1.0 : -1.0;
  const double span = NormalizeAngle360(sense * (b2 - b1));
  const double len = radius * kDegToRad * span;
  // P's angle from p1, taken within half a turn of the arc's middle.
  const double half = span * 0.5;
  const double angle = NormalizeAngle180(sense * (bp - b1) - half) + half;
  const double s = radius * kDegToRad * angle;
  Put(length, len);
  Put(along, s);
  Put(remaining, len - s);
  Put(direction, NormalizeAngle360(bp + sense * 90.0));
  return s;
}

// Whether direction b (degrees from a centre) lies on the shorter way from
// a1 to a2, ends included.
bool OnArc(double b, double a1, double a2) {
  const double sweep = NormalizeAngle180(a2 - a1);
  const double rel = NormalizeAngle180(b - a1);
  if (sweep >= 0.0) return rel >= -kSameDirection && rel <= sweep + kSameDirection;
  return rel <= kSameDirection && rel >= sweep - kSameDirection;
}

}  // namespace

double StationOffset(double x1, double y1, double x2, double y2, double r, double px, double py,
                     double* along, double* remaining, double* offset, double* length,
                     double* direction) {
  for (double* out : {along, remaining, offset, length, direction}) Put(out, 0.0);
  // An infinite radius is a straight element (as for ArcLength); its centre
  // would lie at infinity.
  if (r == 0.0 || std::isinf(r))
    return LineStation(x1, y1, x2, y2, px, py, along, remaining, offset, length, direction);
  return ArcStation(x1, y1, x2, y2, r, px, py, along, remaining, offset, length, direction);
}

double PointOnElement(double s, double xA, double yA, double sA, double xB, double yB, double sB,
                      double r, double* x, double* y) {
  const bool swapped = sB < sA;
  if (swapped) {
    std::swap(xA, xB);
    std::swap(yA, yB);
    std::swap(sA, sB);
    r = -r;
  }
  const double dx = xB - xA;
  const double dy = yB - yA;
  double heading;
  if (r == 0.0) {
    heading = BearingRad(dx, dy);
    // Equal chainages: no length to share out, stay at A.
    const double t = sB == sA ? 0.0 : (s - sA) / (sB - sA);
    Put(x, xA + t * dx);
    Put(y, yA + t * dy);
  } else {
    const double sense = r > 0.0 ? 1.0 : -1.0;
    const double start = ArcTangentBearing(dx, dy, r, true);
    const double run = s - sA;
    const double turned = run / std::fabs(r);
    const double chord = run * Sinc(turned * 0.5, false);
    const double chordDirection = start + sense * turned * 0.5;
    Put(x, xA + std::sin(chordDirection) * chord);
    Put(y, yA + std::cos(chordDirection) * chord);
    heading = start + sense * turned;
  }
  if (swapped) heading += kPi;
  return NormalizeRadians2Pi(heading);
}

double JointBisector(double x0, double y0, double x1, double y1, double x1b, double y1b, double x2,
                     double y2) {
  if (x1b != x1 || y1b != y1) return -1.0;
  const double back = NormalizeAngle360(BearingDeg(x1 - x0, y1 - y0) + 180.0);
  const double forward = BearingDeg(x2 - x1, y2 - y1);
  double m = (back + forward) * 0.5;
  if (NormalizeAngle360(m - forward) >= 180.0) m = NormalizeAngle360(m + 180.0);
  return m;
}

bool ArcEndOrder(int code, double cx, double cy, double x1, double y1, double x2, double y2) {
  const double b1 = BearingDeg(x1 - cx, y1 - cy);
  const double b2 = BearingDeg(x2 - cx, y2 - cy);
  switch (code) {
    case 1:
    case 4:
      return b2 <= b1;
    case 2:
    case 3:
      return b1 <= b2;
    default:
      return true;
  }
}

bool IntersectLineArc(double r, double a1, double a2, double cx, double cy, double x1, double y1,
                      double x2, double y2, double* x, double* y, int* code) {
  Put(x, 0.0);
  Put(y, 0.0);
  if (code != nullptr) *code = 1;
  for (double v : {r, a1, a2, cx, cy, x1, y1, x2, y2})
    if (!std::isfinite(v)) return false;
  const double e1x = cx + r * std::sin(a1 * kDegToRad);
  const double e1y = cy + r * std::cos(a1 * kDegToRad);
  const double e2x = cx + r * std::sin(a2 * kDegToRad);
  const double e2y = cy + r * std::cos(a2 * kDegToRad);
  if (code != nullptr) {
    const bool south = e2y < e1y;
    *code = e2x > e1x ? (south ? 2 : 1) : (south ? 3 : 4);
  }
  if (!(r > 0.0) || (x1 == x2 && y1 == y2)) return false;

  // A line through the centre along an end's direction ends there exactly.
  const double bL = BearingDeg(x2 - x1, y2 - y1);
  const double miss = std::fabs(SignedDistanceToLine(x1, y1, x2, y2, cx, cy));
  if (miss <= kThroughCentre * r) {
    const double reverse = NormalizeAngle360(bL + 180.0);
    for (const auto& [a, ex, ey] : {std::tuple{a1, e1x, e1y}, std::tuple{a2, e2x, e2y}}) {
      const double end = NormalizeAngle360(a);
      if (end == bL || end == reverse) {
        Put(x, ex);
        Put(y, ey);
        return true;
      }
    }
  }
  double ax;
  double ay;
  double bx;
  double by;
  const int count = IntersectLineCircle(x1, y1, x2, y2, cx, cy, r, &ax, &ay, &bx, &by);
  // The first crossing lies further along p1 -> p2 than the second.
  for (int i = 0; i < count; ++i) {
    const double px = i == 0 ? ax : bx;
    const double py = i == 0 ? ay : by;
    if (OnArc(BearingDeg(px - cx, py - cy), a1, a2)) {
      Put(x, px);
      Put(y, py);
      return true;
    }
  }
  return false;
}

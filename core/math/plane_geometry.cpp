#include "core/math/plane_geometry.h"

#include <algorithm>
#include <cmath>
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {


void Store(double* out, double value) {
  if (out != nullptr) *out = value;
}

double FoldOnce(double d) {
  if (d > 180.0) return d - 360.0;
  if (d < -180.0) return d + 360.0;
  return d;
}

}  // namespace

void RotateMinus90(double* x, double* y) {
  if (x == nullptr || y == nullptr) return;
  const double oldX = *x;
  *x = *y;
  *y = oldX * -1.0;
}

void RotatePlus90(double* x, double* y) {
  if (x == nullptr || y == nullptr) return;
  const double oldX = *x;
  *x = -*y;
  *y = oldX;
}

void Rotate180(double* x, double* y) {
  if (x == nullptr || y == nullptr) return;
  *x = -*x;
  *y = -*y;
}

void RotatePoint(double* x, double* y, double angle) {
  if (x == nullptr || y == nullptr) return;
  const double s = std::sin(angle * kDegToRad);
  const double c = std::cos(angle * kDegToRad);
  const double oldX = *x;
  const double oldY = *y;
  *x = c * oldX - s * oldY;
  *y = c * oldY + s * oldX;
}

void PolarToPoint(double x0, double y0, double distance, double bearing, double* x, double* y) {
  const double b = bearing * kDegToRad;
  Store(x, x0 + std::sin(b) * distance);
  Store(y, y0 + std::cos(b) * distance);
}

void PolarToPoint3D(double x0, double y0, double z0, double distance, double bearing,
                    double elevation, double* x, double* y, double* z) {
  const double b = bearing * kDegToRad;
  const double e = elevation * kDegToRad;
  const double horizontal = std::cos(e) * distance;
  Store(x, x0 + std::sin(b) * horizontal);
  Store(y, y0 + std::cos(b) * horizontal);
  Store(z, z0 + std::sin(e) * distance);
}

void OffsetToGrid(double x0, double y0, double across, double along, double heading, double* x,
                  double* y) {
  const double s = std::sin(heading * kDegToRad);
  const double c = std::cos(heading * kDegToRad);
  Store(x, x0 + c * across + s * along);
  Store(y, y0 + c * along - s * across);
}

void RotateAbout(double x0, double y0, double refX, double refY, double px, double py,
                 double heading, double* x, double* y) {
  OffsetToGrid(x0, y0, px - refX, py - refY, heading, x, y);
}

double Length2D(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

double Length3D(double dx, double dy, double dz) {
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double BearingRad(double dx, double dy) {
  if (dx == 0.0 && dy == 0.0) return 0.0;
  double a = std::atan2(dx, dy);
  if (a < 0.0) a += kTwoPi;
  if (a == kTwoPi) a = 0.0;
  return a + 0.0;  // -0.0 (dx = -0.0) reads as 0
}

double BearingDeg(double dx, double dy) { return BearingRad(dx, dy) * kRadToDeg; }

double SpeedFromDelta(double dx, double dy, double dt) {
  if (dt == 0.0) return 0.0;
  const double distance = std::sqrt(dx * dx + dy * dy);
  if (dt > 0.0) return distance / dt;
  const double divisor = dt < -43200.0 ? dt + 86400.0 : dt;
  // dt = -86400 would divide by zero, and a dt below it would give a negative speed.
  if (divisor == 0.0) return 0.0;
  return distance / std::fabs(divisor);
}

double ProjectedLengthDifference(double a, double l1, double b, double l2, double c) {
  return l1 * std::cos(FoldOnce(a - c) * kDegToRad) - l2 * std::cos(FoldOnce(b - c) * kDegToRad);
}

void PolarDifference(double r1, double a1, double r2, double a2, double* distance,
                     double* bearing) {
  const double dx = r2 * std::sin(a2 * kDegToRad) - r1 * std::sin(a1 * kDegToRad);
  const double dy = r2 * std::cos(a2 * kDegToRad) - r1 * std::cos(a1 * kDegToRad);
  Store(distance, Length2D(dx, dy));
  Store(bearing, BearingDeg(dx, dy));
}

void PolarPointsDistance(double x0, double y0, double d1, double b1, double e1, double e2,
                         double d2, double e3, double* distance, double* bearing,
                         bool relative) {
  const double a = (relative ? b1 : b1 + e2) * kDegToRad;
  const double g = relative ? e1 - e2 : e1;
  const double k = relative ? e3 : e2 + e3;
  const double q = d2 * std::cos((k - g) * kDegToRad);
  const double x1 = x0 + d1 * std::sin(a);
  const double y1 = y0 + d1 * std::cos(a);
  const double x2 = x0 + q * std::sin(g * kDegToRad);
  const double y2 = y0 + q * std::cos(g * kDegToRad);
  Store(distance, Length2D(x1 - x2, y1 - y2));
  Store(bearing, BearingDeg(x1 - x2, y1 - y2));
}

bool DirectionBetween(const double* a, const double* b, const double* c) {
  if (a == nullptr || b == nullptr || c == nullptr) return false;
  const double d1 = FoldOnce(*b - *a);
  const double d2 = FoldOnce(*c - *a);
  const double smaller = std::min(d1, d2);
  const double larger = std::max(d1, d2);
  return smaller < 0.0 && larger > 0.0 && std::fabs(smaller) + std::fabs(larger) < 180.0;
}

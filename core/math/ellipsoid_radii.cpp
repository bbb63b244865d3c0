#include "core/math/ellipsoid_radii.h"

#include <cmath>
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {


double EccentricitySquared(double inverseFlattening) {
  if (inverseFlattening == 0.0) return 0.0;
  const double f = 1.0 / inverseFlattening;
  return (2.0 - f) * f;
}

bool Finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

}  // namespace

bool EllipsoidRadii(double lat, double* m, double* n, double a, double inverseFlattening) {
  double meridian = a;
  double primeVertical = a;
  if (inverseFlattening != 0.0) {
    const double e2 = EccentricitySquared(inverseFlattening);
    const double s = std::sin(lat * kDegToRad);
    const double w2 = 1.0 - s * e2 * s;
    const double w = std::sqrt(w2);
    meridian = ((1.0 - e2) * a) / (w * w2);
    primeVertical = a / w;
  }
  // W^2 reaches 0 at the pole once the flattening is 1: no ellipsoid.
  if (!Finite(meridian, primeVertical)) return false;
  Put(m, meridian);
  Put(n, primeVertical);
  return true;
}

bool LatLonDeltaToMetres(double lat, double dLat, double dLon, double* east, double* north,
                         double a, double inverseFlattening) {
  double m;
  double n;
  if (!EllipsoidRadii(lat, &m, &n, a, inverseFlattening)) return false;
  return LatLonDeltaToMetresWithRadii(lat, dLat, dLon, east, north, m, n, 0.0);
}

bool LatLonDeltaToMetresWithRadii(double lat, double dLat, double dLon, double* east, double* north,
                                  double m, double n, double h) {
  const double e = std::cos(lat * kDegToRad) * (n + h) * dLon * kDegToRad;
  const double nn = (m + h) * dLat * kDegToRad;
  if (!Finite(e, nn)) return false;
  Put(east, e);
  Put(north, nn);
  return true;
}

bool CartesianToLatLon(double x, double y, double z, double* lat, double* lon,
                       double inverseFlattening, bool inDegrees) {
  double p = std::sqrt(x * x + y * y);
  if (inverseFlattening != 0.0) p *= 1.0 - EccentricitySquared(inverseFlattening);
  double phi = std::atan2(z, p);
  double lambda = std::atan2(y, x);
  if (inDegrees) {
    phi *= kRadToDeg;
    lambda *= kRadToDeg;
  }
  if (!Finite(phi, lambda)) return false;
  Put(lat, phi);
  Put(lon, lambda);
  return true;
}

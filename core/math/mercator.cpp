#include "core/math/mercator.h"

#include <cmath>
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

constexpr double kQuarterPi = 0.7853981633974483;

// The Mercator latitude difference from `lat` to `end` = lat + dLat, where
// dLat is known more closely than end - lat.
double MercatorStep(double lat, double dLat, double end) {
  // tan A / tan B - 1 = sin(A - B) / (cos A sin B) with A, B the two
  // arguments of tan, A - B taken from dLat itself.
  const double a = kQuarterPi + (lat + dLat) * 0.5 * kDegToRad;
  const double b = kQuarterPi + lat * 0.5 * kDegToRad;
  double ratioMinusOne = std::sin(dLat * 0.5 * kDegToRad) / (std::cos(a) * std::sin(b));
  // At -90 the ratio is -1 exactly but for rounding, which must not tip
  // log1p into NaN.
  if (ratioMinusOne < -1.0 && lat + dLat >= -90.0) ratioMinusOne = -1.0;
  // log1p(x) magnifies the rounding of x by 1 / (1 + x): a ratio of the two
  // tangents far below 1 (one latitude near the pole, the other far from it)
  // would lose digits that the plain difference keeps, as the two Mercator
  // latitudes are then far apart.
  if (ratioMinusOne < -0.5 || ratioMinusOne > 1.0)
    return MercatorLatitude(end) - MercatorLatitude(lat);
  return std::log1p(ratioMinusOne) * kRadToDeg;
}

}  // namespace

// ln(tan(pi/4 + lat/2)) is asinh(tan(lat)); the second form has no rounded
// pi/4 in it, so it is exact at the equator, odd, and keeps its relative
// accuracy for small latitudes.
double MercatorLatitude(double lat) { return std::asinh(std::tan(lat * kDegToRad)) * kRadToDeg; }

double MercatorLatitudeDifference(double lat1, double lat2) {
  // Exact for close latitudes (Sterbenz); far apart, the end latitude itself
  // is used rather than lat1 plus the rounded difference.
  return MercatorStep(lat1, lat2 - lat1, lat2);
}

double MercatorLatitudeDelta(double lat, double dLat) { return MercatorStep(lat, dLat, lat + dLat); }

// 2 atan(exp(y)) - pi/2 is atan(sinh(y)), again without the rounded pi/2.
double InverseMercatorLatitude(double y) { return std::atan(std::sinh(y * kDegToRad)) * kRadToDeg; }

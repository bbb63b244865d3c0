#include "core/math/great_circle.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "core/math/angles.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

// How far past +-1 rounding may push the argument of asin or acos.
constexpr double kRoundingSlack = 1e-12;
// The haversine term above which the distance is taken by atan2 instead
// (about 105 degrees).
constexpr double kHaversineLimit = 0.8;

// q clamped into [-1, 1] when only rounding put it outside; NaN when it lies
// further out (no such angle).
double ClampUnit(double q) {
  if (q > 1.0) return q <= 1.0 + kRoundingSlack ? 1.0 : std::numeric_limits<double>::quiet_NaN();
  if (q < -1.0) return q >= -1.0 - kRoundingSlack ? -1.0 : std::numeric_limits<double>::quiet_NaN();
  return q;
}

}  // namespace

bool GreatCircleDestination(double lat1, double lon1, double bearing, double distance, double* lat2,
                            double* lon2, double* course2) {
  if (!AllFinite({lat1, lon1, bearing, distance})) return false;
  lon1 = WithoutWholeTurns(lon1);
  const double phi1 = lat1 * kDegToRad;
  const double theta = bearing * kDegToRad;
  const double delta = distance * kDegreesPerMinute * kDegToRad;
  const double sinPhi1 = std::sin(phi1);
  const double cosPhi1 = std::cos(phi1);
  const double sinDelta = std::sin(delta);
  const double cosDelta = std::cos(delta);
  // Already within [-1, 1] mathematically; rounding may step over.
  const double sinPhi2 =
      std::clamp(sinPhi1 * cosDelta + cosPhi1 * sinDelta * std::cos(theta), -1.0, 1.0);
  const double phi2 = std::asin(sinPhi2);
  double lon = lon1;
  double course;
  if (std::fabs(phi2 * kRadToDeg) > kPoleLatitude) {
    course = theta - kPi;
  } else {
    const double dLambda =
        std::atan2(std::sin(theta) * sinDelta * cosPhi1, cosDelta - sinPhi1 * sinPhi2);
    lon = lon1 + dLambda * kRadToDeg;
    // The heading of the great circle at the destination follows from the
    // start bearing and the distance alone. Worked out from the two end
    // points instead it is lost at half the circumference, where every
    // great circle joins them, and loses digits over very short distances.
    const double sinTheta = std::sin(theta);
    const double cosTheta = std::cos(theta);
    course = std::atan2(sinTheta * cosPhi1, cosPhi1 * cosDelta * cosTheta - sinPhi1 * sinDelta);
    // Running backwards the direction of travel is the reverse.
    if (distance < 0.0) course += kPi;
  }
  Put(lat2, phi2 * kRadToDeg);
  Put(lon2, NormalizeAngle180(lon));
  Put(course2, NormalizeAngle360(course * kRadToDeg));
  return true;
}

bool GreatCircleDistance(double lat1, double lon1, double lat2, double lon2, double* distance,
                         double* bearing) {
  Put(distance, 0.0);
  Put(bearing, 0.0);
  if (!AllFinite({lat1, lon1, lat2, lon2})) return false;
  lon1 = WithoutWholeTurns(lon1);
  lon2 = WithoutWholeTurns(lon2);
  if (std::fabs(lat1 - lat2) < kSameAngle && std::fabs(lon1 - lon2) < kSameAngle) return true;
  const double dLon = AngleDifference(lon2, lon1) * kDegToRad;
  const double dLat = (lat2 - lat1) * kDegToRad;
  const double phi1 = lat1 * kDegToRad;
  const double phi2 = lat2 * kDegToRad;
  const double sinHalfLat = std::sin(dLat * 0.5);
  const double sinHalfLon = std::sin(dLon * 0.5);
  double s = std::sqrt(sinHalfLat * sinHalfLat +
                       std::cos(phi1) * std::cos(phi2) * sinHalfLon * sinHalfLon);
  if (s == 0.0) return true;
  double angle;
  if (s < kHaversineLimit) {
    angle = 2.0 * std::asin(s);
  } else {
    // asin near 1 keeps only half the digits of s (1e-4 arc minutes at the
    // antipode), and rounding can take s past 1 there, which is half the
    // circumference, not "no distance". The atan2 of the chord's components
    // is accurate for long distances.
    const double x = std::cos(phi2) * std::sin(dLon);
    const double y =
        std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(dLon);
    const double z =
        std::sin(phi1) * std::sin(phi2) + std::cos(phi1) * std::cos(phi2) * std::cos(dLon);
    angle = std::atan2(std::hypot(x, y), z);
  }
  Put(distance, angle * kRadToDeg * kMinutesPerDegree);
  double b =
      std::atan2(std::sin(dLon), std::cos(phi1) * std::tan(phi2) - std::sin(phi1) * std::cos(dLon));
  if (std::fabs(b) < kSameAngle) b = 0.0;
  Put(bearing, NormalizeAngle360(b * kRadToDeg));
  return true;
}

bool GreatCircleDistanceCourses(double lat1, double lon1, double lat2, double lon2,
                                double* distance, double* initialBearing, double* finalCourse) {
  double d;
  double b12;
  double b21;
  if (!GreatCircleDistance(lat1, lon1, lat2, lon2, &d, &b12)) {
    Put(distance, 0.0);
    Put(initialBearing, 0.0);
    return false;
  }
  if (!GreatCircleDistance(lat2, lon2, lat1, lon1, nullptr, &b21)) return false;
  Put(distance, d);
  Put(initialBearing, b12);
  // A path of no length has no turn: keep its course rather than reverse it.
  Put(finalCourse, d == 0.0 ? b12 : NormalizeAngle360(b21 + 180.0));
  return true;
}

bool CrossTrackDistance(double latStart, double lonStart, double latEnd, double lonEnd, double latP,
                        double lonP, double* crossTrack, double* alongTrack) {
  Put(crossTrack, 0.0);
  Put(alongTrack, 0.0);
  double d12;
  double b12;
  double d13;
  double b13;
  if (!GreatCircleDistance(latStart, lonStart, latEnd, lonEnd, &d12, &b12)) return false;
  if (d12 == 0.0) return false;
  if (!GreatCircleDistance(latStart, lonStart, latP, lonP, &d13, &b13)) return false;
  const double delta13 = d13 * kDegreesPerMinute * kDegToRad;
  const double dTheta = (b13 - b12) * kDegToRad;
  const double xt = std::asin(std::clamp(std::sin(delta13) * std::sin(dTheta), -1.0, 1.0));
  // The along-track angle by atan2 rather than acos(cos(d13) / cos(xt)):
  // the same angle, without the division by zero at the circle's pole and
  // without acos losing half the digits for short distances.
  const double at = std::atan2(std::sin(delta13) * std::cos(dTheta), std::cos(delta13));
  Put(crossTrack, xt * kRadToDeg * kMinutesPerDegree);
  Put(alongTrack, at * kRadToDeg * kMinutesPerDegree);
  return true;
}

bool GreatCircleVertex(double lat, double lon, double course, double* latV, double* lonV) {
  if (!AllFinite({lat, lon, course})) return false;
  lon = WithoutWholeTurns(lon);
  const double phi = lat * kDegToRad;
  const double c = course * kDegToRad;
  // atan(1 / x) without dividing by a zero x (on the equator, on a meridian).
  const double x = std::sin(phi) * std::tan(c);
  const double d = std::atan2(std::copysign(1.0, x), std::fabs(x));
  // cos(latV) = cos(lat) |sin(course)| (Clairaut); written as atan2 it keeps
  // full precision and, unlike atan(tan(lat) / cos(d)), does not collapse to
  // 0 on the equator.
  const double cosLatV = std::cos(phi) * std::fabs(std::sin(c));
  const double sinLatV = std::hypot(std::sin(phi), std::cos(phi) * std::cos(c));
  const double v = std::copysign(std::atan2(sinLatV, cosLatV), phi);
  Put(latV, v * kRadToDeg);
  Put(lonV, NormalizeAngle180(d * kRadToDeg + lon));
  return true;
}

bool GreatCircleLatitudeAt(double latV, double lon, double lonV, double* lat) {
  const double dLon = WithoutWholeTurns(lon) - WithoutWholeTurns(lonV);
  const double phi = std::atan(std::tan(latV * kDegToRad) * std::cos(dLon * kDegToRad)) * kRadToDeg;
  if (!std::isfinite(phi)) return false;
  Put(lat, phi);
  return true;
}

bool MeridianCrossTrack(double latC, double latP, double latV, double* distance) {
  // The circle's latitude at the meridian comes from cos(latC); at a pole
  // every meridian meets there and the ratio is 0/0.
  if (std::fabs(latC) > kPoleLatitude) return false;
  const double cosLatC = std::cos(latC * kDegToRad);
  const double q =
      ClampUnit(std::sin((latC - latP) * kDegToRad) * std::cos(latV * kDegToRad) / cosLatC);
  const double d = std::asin(q) * kRadToDeg * kMinutesPerDegree;
  if (!std::isfinite(d)) return false;
  Put(distance, d);
  return true;
}

bool LongitudeAtLatitude(double refLon, double latV, double lonV, double lat, double* lon) {
  if (!(std::fabs(latV) >= kSameAngle)) return false;
  const double q = ClampUnit(std::tan(lat * kDegToRad) / std::tan(latV * kDegToRad));
  const double d = std::acos(q) * kRadToDeg;
  if (!AllFinite({d, refLon, lonV})) return false;
  refLon = WithoutWholeTurns(refLon);
  lonV = WithoutWholeTurns(lonV);
  const double west = lonV - d;
  const double east = lonV + d;
  const bool takeEast =
      std::fabs(AngleDifference(east, refLon)) < std::fabs(AngleDifference(west, refLon));
  Put(lon, NormalizeAngle180(takeEast ? east : west));
  return true;
}

bool ClosestApproachToPoint(double lat, double lon, double speed, double course, double latP,
                            double lonP, double* distance, double* time, double* latOut,
                            double* lonOut) {
  double direct;
  if (!GreatCircleDistance(lat, lon, latP, lonP, &direct, nullptr) || !AllFinite({speed, course})) {
    return false;
  }
  Put(distance, direct);
  if (std::fabs(speed) < kSameAngle || std::fabs(direct) < kSameAngle) {
    Put(time, 0.0);
    Put(latOut, lat);
    Put(lonOut, lon);
    return true;
  }
  double lat2;
  double lon2;
  double xt;
  double at;
  double latFoot;
  double lonFoot;
  if (!GreatCircleDestination(lat, lon, course, 50.0, &lat2, &lon2, nullptr) ||
      !CrossTrackDistance(lat, lon, lat2, lon2, latP, lonP, &xt, &at) ||
      !GreatCircleDestination(lat, lon, course, at, &latFoot, &lonFoot, nullptr)) {
    return false;
  }
  Put(time, at / speed * 3600.0);
  Put(distance, std::fabs(xt));
  Put(latOut, latFoot);
  Put(lonOut, lonFoot);
  return true;
}

bool CrossTrackByVertex(double lat, double lon, double course, double latP, double lonP,
                        double* distance) {
  double latV;
  double lonV;
  double latC;
  if (!GreatCircleVertex(lat, lon, course, &latV, &lonV)) return false;
  if (!GreatCircleLatitudeAt(latV, lonP, lonV, &latC)) return false;
  return MeridianCrossTrack(latC, latP, latV, distance);
}

bool GreatCircleMidpoint(double lat1, double lon1, double lat2, double lon2, double* lat,
                         double* lon) {
  if (!AllFinite({lat1, lon1, lat2, lon2})) return false;
  lon1 = WithoutWholeTurns(lon1);
  lon2 = WithoutWholeTurns(lon2);
  // Only coincident positions take the mean longitude: two points on one
  // parallel are joined by a great circle that bulges towards the pole.
  if (std::fabs(lat1 - lat2) < kSameAngle && std::fabs(AngleDifference(lon1, lon2)) < kSameAngle) {
    Put(lat, lat1);
    Put(lon, MeanAngle180(lon1, lon2));
    return true;
  }
  double d;
  double b;
  return GreatCircleDistance(lat1, lon1, lat2, lon2, &d, &b) &&
         GreatCircleDestination(lat1, lon1, b, d * 0.5, lat, lon, nullptr);
}

bool AngleWithin(double a, double b, double tolerance) {
  return std::fabs(NormalizeAngle180(b - a)) < tolerance;
}

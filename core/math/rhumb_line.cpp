#include "core/math/rhumb_line.h"

#include <cmath>
#include <initializer_list>

#include "core/math/angles.h"
#include "core/math/great_circle.h"
#include "core/math/mercator.h"
#include "core/math/plane_lines.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

// A crossing further off the course than this lies behind.
constexpr double kAheadTolerance = 100.0;

// Whether (lat, lon) lies ahead of (lat0, lon0) on `course` along the rhumb
// line, or on the start itself.
bool AheadOnRhumb(double lat0, double lon0, double course, double lat, double lon) {
  double distance;
  double toPoint;
  return RhumbDistance(lat0, lon0, lat, lon, &distance, &toPoint) &&
         (distance < kSameAngle || AngleWithin(course, toPoint, kAheadTolerance));
}

}  // namespace

bool RhumbDestination(double lat1, double lon1, double course, double distance, double* lat2,
                      double* lon2) {
  if (!AllFinite({lat1, lon1, course, distance})) return false;
  lon1 = WithoutWholeTurns(lon1);
  const double c = course * kDegToRad;
  const double dLat = std::cos(c) * distance * kDegreesPerMinute;
  const double lat = lat1 + dLat;
  if (AtPole(lat) || AtPole(lat1)) {
    GreatCircleDestination(lat1, lon1, course, distance, lat2, lon2, nullptr);
    return false;
  }
  double lon;
  if (std::fabs(dLat) < kSameAngle) {
    lon = lon1 + ((std::sin(c) * distance) / std::cos(lat1 * kDegToRad)) * kDegreesPerMinute;
  } else {
    lon = lon1 + std::tan(c) * MercatorLatitudeDelta(lat1, dLat);
  }
  Put(lat2, lat);
  Put(lon2, NormalizeAngle180(lon));
  return true;
}

bool RhumbDistance(double lat1, double lon1, double lat2, double lon2, double* distance,
                   double* course) {
  if (!AllFinite({lat1, lon1, lat2, lon2})) return false;
  lon1 = WithoutWholeTurns(lon1);
  lon2 = WithoutWholeTurns(lon2);
  if (AtPole(lat1) || AtPole(lat2)) {
    GreatCircleDistance(lat1, lon1, lat2, lon2, distance, course);
    return false;
  }
  const double dLat = lat2 - lat1;
  const double dLon = AngleDifference(lon2, lon1);
  double d;
  double c;
  if (std::fabs(dLon) < kSameAngle) {
    d = std::fabs(dLat * kMinutesPerDegree);
    c = dLat < 0.0 ? 180.0 : 0.0;
  } else if (std::fabs(dLat) < kSameAngle) {
    d = std::fabs(std::cos(lat1 * kDegToRad) * dLon * kMinutesPerDegree);
    c = dLon < 0.0 ? 270.0 : 90.0;
  } else {
    const double dm = MercatorLatitudeDifference(lat1, lat2);
    double a = std::atan2(dLon, dm);
    // dLat / cos(a), with cos(a) = dm / hypot(dLon, dm): the cosine of a
    // course near east or west, taken from the rounded angle, would keep
    // only a few digits.
    d = (dLat / dm) * std::hypot(dLon, dm) * kMinutesPerDegree;
    if (std::fabs(a) < kSameAngle) a = 0.0;
    c = NormalizeAngle360(a * kRadToDeg);
  }
  Put(distance, d);
  Put(course, c);
  return true;
}

bool RhumbMidpoint(double lat1, double lon1, double lat2, double lon2, double* lat, double* lon) {
  if (!AllFinite({lat1, lon1, lat2, lon2})) return false;
  lon1 = WithoutWholeTurns(lon1);
  lon2 = WithoutWholeTurns(lon2);
  const double mid = (lat1 + lat2) * 0.5;
  Put(lat, mid);
  if (AtPole(lat1) || AtPole(lat2)) {
    Put(lon, MeanAngle180(lon1, lon2));
    return false;
  }
  if (std::fabs(lat1 - lat2) < kSameAngle) {
    Put(lon, MeanAngle180(lon1, lon2));
    return true;
  }
  const double dLon = AngleDifference(lon2, lon1);
  const double share =
      MercatorLatitudeDifference(lat1, mid) / MercatorLatitudeDifference(lat1, lat2);
  Put(lon, NormalizeAngle180(lon1 + share * dLon));
  return true;
}

bool RhumbMeridianCrossing(double lat1, double lon1, double course, double lonM, double* lat) {
  Put(lat, 0.0);
  if (!AllFinite({lat1, lon1, course, lonM}) || AtPole(lat1)) return false;
  lon1 = WithoutWholeTurns(lon1);
  lonM = WithoutWholeTurns(lonM);
  // On a Mercator chart with x the longitude from the start: the course line
  // from (0, M(lat1)) against the meridian, a north-south line at x.
  const double x = AngleDifference(lonM, lon1);
  const double y1 = MercatorLatitude(lat1);
  double cx;
  double cy;
  if (!IntersectBearingLines(0.0, y1, NormalizeAngle360(course), x, y1, 0.0, &cx, &cy))
    return false;
  const double crossing = InverseMercatorLatitude(cy);
  if (AtPole(crossing) || !AheadOnRhumb(lat1, lon1, course, crossing, lonM)) return false;
  Put(lat, crossing);
  return true;
}

bool RhumbIntersection(double lat1, double lon1, double course1, double lat2, double lon2,
                       double course2, double* lat, double* lon) {
  Put(lat, 0.0);
  Put(lon, 0.0);
  if (!AllFinite({lat1, lon1, course1, lat2, lon2, course2})) return false;
  if (AtPole(lat1) || AtPole(lat2)) return false;
  lon1 = WithoutWholeTurns(lon1);
  lon2 = WithoutWholeTurns(lon2);
  double cx;
  double cy;
  if (!IntersectBearingLines(0.0, MercatorLatitude(lat1), NormalizeAngle360(course1),
                             AngleDifference(lon2, lon1), MercatorLatitude(lat2),
                             NormalizeAngle360(course2), &cx, &cy)) {
    return false;
  }
  if (!(std::fabs(cx) <= 180.0)) return false;
  const double crossingLat = InverseMercatorLatitude(cy);
  const double crossingLon = NormalizeAngle180(lon1 + cx);
  if (AtPole(crossingLat) || !AheadOnRhumb(lat1, lon1, course1, crossingLat, crossingLon) ||
      !AheadOnRhumb(lat2, lon2, course2, crossingLat, crossingLon)) {
    return false;
  }
  Put(lat, crossingLat);
  Put(lon, crossingLon);
  return true;
}

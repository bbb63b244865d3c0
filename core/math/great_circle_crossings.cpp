#include "core/math/great_circle_crossings.h"

#include <cmath>
#include <initializer_list>

#include "core/math/angles.h"
#include "core/math/great_circle.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

constexpr double kAheadTolerance = 100.0;

// An angle in radians folded into (-pi, pi] with fmod.
double FoldPi(double a) {
  double r = std::fmod(a + kPi, kTwoPi);
  if (r <= 0.0) r += kTwoPi;
  return r - kPi;
}

struct Vec3 {
  double x, y, z;
};

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Norm(const Vec3& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

// The pole (unit normal) of the great circle through (lat, lon) on course:
// position x direction of travel.
Vec3 TrackPole(double lat, double lon, double course) {
  const double phi = lat * kDegToRad;
  const double lambda = WithoutWholeTurns(lon) * kDegToRad;
  const double theta = course * kDegToRad;
  const Vec3 r{std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
  const Vec3 east{-std::sin(lambda), std::cos(lambda), 0.0};
  const Vec3 north{-std::sin(phi) * std::cos(lambda), -std::sin(phi) * std::sin(lambda),
                   std::cos(phi)};
  const Vec3 d{north.x * std::cos(theta) + east.x * std::sin(theta),
               north.y * std::cos(theta) + east.y * std::sin(theta),
               north.z * std::cos(theta) + east.z * std::sin(theta)};
  return Cross(r, d);
}

}  // namespace

bool GreatCircleIntersection(double lat1, double lon1, double course1, double lat2, double lon2,
                             double course2, double* lat, double* lon) {
  Put(lat, 0.0);
  Put(lon, 0.0);
  if (!AllFinite({lat1, lon1, course1, lat2, lon2, course2})) return false;
  if (AtPole(lat1) || AtPole(lat2)) return false;
  // The triangle start 1, start 2, crossing: its side between the starts and
  // the courses along that side (the atan2 forms of GreatCircleDistance, the
  // same angles as the acos forms without their loss of digits near 0 and
  // 180 degrees).
  double d12;
  double crs12;
  double crs21;
  if (!GreatCircleDistance(lat1, lon1, lat2, lon2, &d12, &crs12) || d12 == 0.0) return false;
  if (!GreatCircleDistance(lat2, lon2, lat1, lon1, nullptr, &crs21)) return false;
  const double delta12 = d12 * kDegreesPerMinute * kDegToRad;
  double ang1 = FoldPi((course1 - crs12) * kDegToRad);
  double ang2 = FoldPi((crs21 - course2) * kDegToRad);
  const double s1 = std::sin(ang1);
  const double s2 = std::sin(ang2);
  if (s1 == 0.0 && s2 == 0.0) return false;  // both on the great circle of the starts
  if (s1 * s2 < 0.0) return false;           // the crossing ahead of one lies behind the other
  ang1 = std::fabs(ang1);
  ang2 = std::fabs(ang2);
  // Side start 1 -> crossing by the four-part formula,
  // cot(d13) sin(d12) = cot(ang2) sin(ang1) + cos(ang1) cos(d12), i.e. the
  // atan2 of the triangle's third angle with that angle eliminated: no acos
  // near 180 degrees, and a course straight at the other start (sine 0)
  // crosses exactly there.
  const double delta13 = std::atan2(
      std::sin(delta12) * std::sin(ang2),
      std::sin(ang1) * std::cos(ang2) + std::cos(ang1) * std::sin(ang2) * std::cos(delta12));
  return GreatCircleDestination(lat1, lon1, course1, delta13 * kRadToDeg * kMinutesPerDegree, lat,
                                lon, nullptr);
}

bool GreatCircleCrossingTime(double lat, double lon, double speed, double course, double latL,
                             double lonL, double courseL, double* time, double* distance,
                             double* latCross, double* lonCross) {
  Put(time, -1.0);
  Put(distance, 0.0);
  if (!AllFinite({lat, lon, speed, course, latL, lonL, courseL})) return false;
  if (AtPole(lat) || AtPole(latL) || !(speed >= kSameAngle)) return false;
  const Vec3 crossing = Cross(TrackPole(lat, lon, course), TrackPole(latL, lonL, courseL));
  const double norm = Norm(crossing);
  if (norm < kSameAngle) return false;  // one great circle
  const double cLat = std::atan2(crossing.z, std::hypot(crossing.x, crossing.y)) * kRadToDeg;
  const double cLon = std::atan2(crossing.y, crossing.x) * kRadToDeg;
  // The two crossings are antipodal: one lies ahead of the vessel, the other
  // behind at the supplement of the distance.
  double run;
  double bearing;
  if (!GreatCircleDistance(lat, lon, cLat, cLon, &run, &bearing)) return false;
  double crossLat = cLat;
  double crossLon = cLon;
  if (run >= kSameAngle && !AngleWithin(course, bearing, kAheadTolerance)) {
    crossLat = -cLat;
    crossLon = NormalizeAngle180(cLon + 180.0);
    run = 180.0 * kMinutesPerDegree - run;
  }
  Put(time, run / speed * 3600.0);
  Put(distance, run);
  Put(latCross, crossLat);
  Put(lonCross, NormalizeAngle180(crossLon));
  return true;
}

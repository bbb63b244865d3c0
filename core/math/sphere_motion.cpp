#include "core/math/sphere_motion.h"

#include <cmath>
#include <complex>
#include <initializer_list>
#include <limits>

#include "core/math/angles.h"
#include "core/math/fresnel.h"
#include "core/math/great_circle.h"
#include "core/math/sinc.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {

using Complex = std::complex<double>;

constexpr double kMetresPerMinute = 1852.0;
constexpr Complex kI{0.0, 1.0};

// e^(i psi): a direction psi (radians clockwise from north) as the complex
// number north + i east.
Complex Direction(double psi) { return {std::cos(psi), std::sin(psi)}; }

// The displacement, as north + i east, over t of a body whose velocity
// (forward + i starboard) is b0 + a t while its heading runs
// psi0 + w t + k t^2 / 2: the integral of (b0 + a t) e^(i psi(t)).
Complex ClothoidDisplacement(double t, double psi0, double w, double k, Complex b0, Complex a) {
  if (std::fabs(k) <= 1e-6 && std::fabs(w) <= 0.0001) {
    // e^(i psi) to second order in t under the integral.
    const Complex c1 = a + kI * w * b0;
    const Complex c2 = kI * w * a + kI * 0.5 * k * b0 - 0.5 * w * w * b0;
    return Direction(psi0) * (b0 * t + c1 * (t * t * 0.5) + c2 * (t * t * t / 3.0));
  }
  if (std::fabs(k) <= 1e-6) {
    // The circular turn: integral of e^(i w t) = t e^(i x) sinc(x) and of
    // t e^(i w t) = (t^2 / 2) e^(i x) (sinc(x) - i sinc'(x)), x = w t / 2.
    // Equal to the forms in 1/w and 1/w^2 with the start and end headings,
    // without their cancellation for small turns.
    const double x = w * t * 0.5;
    const double s = Sinc(x, false);
    const double ds = SincDerivative(x, false);
    return Direction(psi0 + x) * (b0 * (t * s) + a * ((t * t * 0.5) * Complex(s, -ds)));
  }
  // The clothoid. With sigma the sign of k and q = sqrt(pi |k|), the
  // substitution u = (w + k t) / q turns the phase into
  // phi0 + sigma (pi/2) u^2, phi0 = psi0 - w^2 / 2k, so
  //   I0 = integral of e^(i psi) = e^(i phi0) (q / k) (dC + i sigma dS)
  // with the Fresnel differences between u0 = w / q and u1 = (w + k t) / q,
  // and, since d/dt e^(i psi) = i (w + k t) e^(i psi),
  //   integral of t e^(i psi) = (e^(i psi1) - e^(i psi0)) / (i k) - (w / k) I0.
  // For |w| large against sqrt(|k|) the last two terms are each about
  // w t / k and cancel, so the Fresnel error (3e-8) weighs w / k more.
  const double sigma = k > 0.0 ? 1.0 : -1.0;
  const double q = std::sqrt(kPi * std::fabs(k));
  double c0, s0, c1, s1;
  // A rate change near DBL_MAX makes q infinite and u1 inf / inf.
  if (!FresnelIntegrals(w / q, &c0, &s0) || !FresnelIntegrals((w + k * t) / q, &c1, &s1)) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {nan, nan};
  }
  const double phi0 = psi0 - w * w / (2.0 * k);
  const Complex i0 = Direction(phi0) * (q / k) * Complex(c1 - c0, sigma * (s1 - s0));
  const double psi1 = psi0 + w * t + 0.5 * k * t * t;
  const Complex i1 = (Direction(psi1) - Direction(psi0)) / (kI * k) - (w / k) * i0;
  return b0 * i0 + a * i1;
}

}  // namespace

bool MoveStraight(double dt, double* lat, double* lon, double* value, double* course, double* speed,
                  double valueRate, double acceleration, double courseRate) {
  if (lat == nullptr || lon == nullptr || value == nullptr || course == nullptr ||
      speed == nullptr) {
    return false;
  }
  const double dist = ((acceleration * 0.5) * dt) * dt + dt * *speed;
  if (!(dist >= 0.0)) return false;
  double newLat;
  double newLon;
  if (!GreatCircleDestination(*lat, *lon, *course, dist / kMetresPerMinute, &newLat, &newLon,
                              nullptr)) {
    return false;
  }
  const double newValue = *value + valueRate * dt;
  const double newSpeed = *speed + dt * acceleration;
  const double newCourse = *course + dt * courseRate;
  if (!AllFinite({newValue, newSpeed, newCourse})) return false;
  *lat = newLat;
  *lon = newLon;
  *value = newValue;
  *speed = newSpeed;
  *course = newCourse;
  return true;
}

bool MoveTurning(double dt, double lat, double lon, double heading, double course, double speed,
                 double rateOfTurn, double* latOut, double* lonOut, double* headingOut,
                 double* centreLat, double* centreLon) {
  if (!AllFinite({dt, lat, lon, heading, course, speed, rateOfTurn})) return false;
  double newLat;
  double newLon;
  double newHeading;
  double cLat;
  double cLon;
  if (std::fabs(rateOfTurn) < 0.01) {
    newHeading = heading;
    // dt * speed can overflow: the destination then fails and its outputs
    // stay unset.
    const double abeam = rateOfTurn >= 0.0 ? course + 90.0 : course - 90.0;
    if (!GreatCircleDestination(lat, lon, course, dt * speed / 3600.0, &newLat, &newLon,
                                nullptr) ||
        !GreatCircleDestination(lat, lon, abeam, 1000.0, &cLat, &cLon, nullptr)) {
      return false;
    }
  } else {
    const double rate = rateOfTurn / 60.0;  // degrees per second
    const double turn = rate * dt;
    newHeading = NormalizeAngle360(turn + heading);
    // The signed turning radius in arc minutes: the circumference run in
    // 360 / rate seconds, over 2 pi. Negative for a turn to port, which the
    // destination below then finds abeam to port.
    const double radius = (360.0 * speed) / (rate * kTwoPi * 3600.0);
    double b;
    if (!GreatCircleDestination(lat, lon, course + 90.0, radius, &cLat, &cLon, &b) ||
        !std::isfinite(radius)) {
      return false;
    }
    if (radius < 0.0) b -= 180.0;
    const double d = NormalizeAngle360(b - 90.0 + turn);
    if (!GreatCircleDestination(cLat, cLon, d - 90.0, radius, &newLat, &newLon, nullptr))
      return false;
  }
  if (!AllFinite({newLat, newLon, newHeading, cLat, cLon})) return false;
  Put(latOut, newLat);
  Put(lonOut, newLon);
  Put(headingOut, newHeading);
  Put(centreLat, cLat);
  Put(centreLon, cLon);
  return true;
}

bool MoveClothoid(double dt, double* lat, double* lon, double* heading, double* velocityX,
                  double* velocityY, double* rate, double accelerationX, double accelerationY,
                  double rateChange) {
  if (lat == nullptr || lon == nullptr || heading == nullptr || velocityX == nullptr ||
      velocityY == nullptr || rate == nullptr) {
    return false;
  }
  if (!AllFinite({dt, *lat, *lon, *heading, *velocityX, *velocityY, *rate, accelerationX,
                  accelerationY, rateChange})) {
    return false;
  }
  const Complex move =
      ClothoidDisplacement(dt, *heading, *rate, rateChange, Complex(*velocityY, *velocityX),
                           Complex(accelerationY, accelerationX));
  const double north = move.real();
  const double east = move.imag();
  double newLat = *lat;
  double newLon = *lon;
  if (north != 0.0 || east != 0.0) {
    const double length = std::hypot(north, east);
    const double direction = std::atan2(east, north) * kRadToDeg;
    if (!GreatCircleDestination(*lat, *lon, direction, length / kMetresPerMinute, &newLat, &newLon,
                                nullptr)) {
      return false;
    }
  }
  const double newHeading = *heading + *rate * dt + 0.5 * rateChange * dt * dt;
  const double newVx = *velocityX + accelerationX * dt;
  const double newVy = *velocityY + accelerationY * dt;
  const double newRate = *rate + rateChange * dt;
  if (!AllFinite({newHeading, newVx, newVy, newRate})) return false;
  *lat = newLat;
  *lon = newLon;
  *heading = newHeading;
  *velocityX = newVx;
  *velocityY = newVy;
  *rate = newRate;
  return true;
}

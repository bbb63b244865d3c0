// Motion steps on a spherical earth: a vessel or object advanced over a time
// step straight with constant acceleration, turning at a constant rate, or
// along a clothoid (a rate of turn changing linearly in time).
//
//   double lat = 52.0, lon = 4.0, value = 0.0, course = 90.0, speed = 5.0;
//   MoveStraight(1.0, &lat, &lon, &value, &course, &speed, 0.0, 0.1, 0.0);
//   double lat2, lon2, heading2, cLat, cLon;
//   MoveTurning(10.0, lat, lon, 90.0, 92.0, 12.0, 30.0, &lat2, &lon2, &heading2, &cLat, &cLon);
//
// Positions in degrees; displacements in metres become arc minutes at 1852
// metres per minute (the nautical mile) and are applied with
// GreatCircleDestination by their length and direction. The shape of a
// curved step is worked out in the plane tangent at its start, which is
// exact to the order of (step / earth radius)^2 relative: 2.5e-10 for 100 m.
// Times in seconds unless stated.
//
// The functions return false and change nothing when an input is not finite
// or a result would not be.
#pragma once

// A straight step of dt on *course at *speed (metres per unit of time) with
// constant `acceleration`: the distance ((a/2) dt) dt + dt speed, applied
// along the course; then *value += valueRate dt, *speed += acceleration dt,
// *course += courseRate dt (after the move: the step runs on the old course).
// False, nothing changed, when the distance would be negative (a
// deceleration that would reverse the motion) or a pointer is null.
bool MoveStraight(double dt, double* lat, double* lon, double* value, double* course, double* speed,
                  double valueRate, double acceleration, double courseRate);

// A step of dt seconds at `speed` knots over ground on `course`, with the
// heading turning at rateOfTurn degrees per minute: the new position, the new
// heading and the centre of the turn. The turn carries the course round the
// circle of radius speed / rate; below 0.01 degrees per minute the step is
// straight, the heading unchanged and the "centre" a point 1000 arc minutes
// abeam (to starboard for a rate of 0 or more, to port below 0). Outputs may
// be null.
bool MoveTurning(double dt, double lat, double lon, double heading, double course, double speed,
                 double rateOfTurn, double* latOut, double* lonOut, double* headingOut,
                 double* centreLat, double* centreLon);

// A step of dt along a clothoid. Angles in radians here: *heading, *rate
// (radians per unit of time) and rateChange (radians per unit of time
// squared). The velocity (*velocityX to starboard, *velocityY ahead, metres per
// unit of time) changes by accelerationX, accelerationY; the heading turns by
// rate dt + rateChange dt^2 / 2. The displacement is the integral of the
// velocity turned by the heading: a polynomial in dt for an almost straight
// path (|rateChange| <= 1e-6 and |rate| <= 1e-4), the closed form of a
// circular turn for |rateChange| <= 1e-6 otherwise, and Fresnel integrals for
// the clothoid. Afterwards *heading, *velocityX, *velocityY and *rate are
// advanced to the end of the step. False, nothing changed, when a pointer is
// null.
// Accuracy, against the exact integral (relative to the step's length
// unless stated):
// - almost straight: the polynomial keeps the terms through dt^3; what it
//   drops is about dt^4 |rateChange| (|a| + |v| |rate|) / 8 for an
//   acceleration a and speed v, plus |v| |rate|^3 dt^4 / 24: at most about
//   0.4 mm for dt = 10 s, accelerations up to 0.3 m/s^2 and 10 m/s.
// - circular: exact for a constant rate (a few units in the last place);
//   the rate change it leaves out costs about |rateChange| dt^2 / 6, up to
//   2e-5 at dt = 10.
// - clothoid: exact but for the Fresnel integrals. While |rate| and
//   |rate + rateChange dt| stay below 1.6 sqrt(pi |rateChange|) their series
//   is used and the error is about 1e-15; beyond, the asymptotic form's
//   leading coefficient limits it to about 1.3e-7, multiplied by
//   1 + |a| |rate| / (|rateChange| |v|) for an acceleration a and speed v,
//   since the velocity's change then enters as a small difference of two
//   terms of size |a| |rate| / rateChange: 7e-5 (0.7 mm in 10 m) for
//   a / v = 0.01, rate 0.1 and rateChange 2e-6.
bool MoveClothoid(double dt, double* lat, double* lon, double* heading, double* velocityX,
                  double* velocityY, double* rate, double accelerationX, double accelerationY,
                  double rateChange);

#include "core/math/dead_reckoning.h"

#include <cmath>

#include "core/math/angles.h"
#include "core/math/plane_geometry.h"
#include "core/math/sinc.h"
#include "core/math/math_support.h"

using namespace zor::math_support;

namespace {


// The displacement (east, north) of a run of speed * dt from `heading` while
// turning at `rate`. False when there is no run.
bool Displacement(double speed, double heading, double rate, double dt, double* de, double* dn) {
  if (dt == 0.0 || speed == 0.0) return false;
  double dist = speed * dt;
  if (rate == 0.0) {
    const double h = heading * kDegToRad;
    *de = std::sin(h) * dist;
    *dn = std::cos(h) * dist;
    return true;
  }
  double turn = rate * dt;
  // Whole circles bring the point back where it was; only the rest of the
  // turn, with its share of the run, moves it.
  if (std::fabs(turn) >= 360.0) {
    const double rest = std::fmod(turn, 360.0);
    dist *= rest / turn;
    turn = rest;
  }
  // The chord of a circular arc of length dist that turns by `turn` is
  // dist * sinc(turn / 2), along the mean heading heading + turn / 2. Both
  // hold for any turn short of a full circle and for a run of either sign
  // (a negative time step runs the arc backwards), so the headings are not
  // folded: a fold would take the turn the other way round.
  const double half = turn * 0.5;
  const double mid = NormalizeAngle360(heading + half) * kDegToRad;
  const double chord = Sinc(half * kDegToRad, false) * dist;
  *de = std::sin(mid) * chord;
  *dn = std::cos(mid) * chord;
  return true;
}

bool Move(double* x, double* y, double speed, double heading, double rate, double dt, double scaleX,
          double scaleY) {
  if (x == nullptr || y == nullptr) return false;
  double de;
  double dn;
  if (!Displacement(speed, heading, rate, dt, &de, &dn)) return false;
  const double nx = *x + de / scaleX;
  const double ny = *y + dn / scaleY;
  if (!std::isfinite(nx) || !std::isfinite(ny)) return false;
  *x = nx;
  *y = ny;
  return true;
}

}  // namespace

bool DeadReckon(double* east, double* north, double speed, double heading, double rateOfTurn,
                double dt) {
  return Move(east, north, speed, heading, rateOfTurn, dt, 1.0, 1.0);
}

bool DeadReckonStraight(double* east, double* north, double speed, double heading, double dt) {
  return DeadReckon(east, north, speed, heading, 0.0, dt);
}

bool DeadReckonScaled(double* x, double* y, double speed, double heading, double rateOfTurn,
                      double scaleX, double scaleY, double dt) {
  if (!(std::fabs(scaleX) >= 0.001) || !(std::fabs(scaleY) >= 0.001)) return false;
  return Move(x, y, speed, heading, rateOfTurn, dt, scaleX, scaleY);
}

bool DeadReckonScaledStraight(double* x, double* y, double speed, double heading, double scaleX,
                              double scaleY, double dt) {
  return DeadReckonScaled(x, y, speed, heading, 0.0, scaleX, scaleY, dt);
}

double ClosestApproach(double x1, double y1, double speed1, double course1, double x2, double y2,
                       double speed2, double course2, double* t, double* distance, double* x1Out,
                       double* y1Out, double* x2Out, double* y2Out) {
  const double c1 = course1 * kDegToRad;
  const double c2 = course2 * kDegToRad;
  const double v1x = speed1 * std::sin(c1);
  const double v1y = speed1 * std::cos(c1);
  const double v2x = speed2 * std::sin(c2);
  const double v2y = speed2 * std::cos(c2);
  const double dvx = v1x - v2x;
  const double dvy = v1y - v2y;
  const double q = dvx * dvx + dvy * dvy;
  double time = 0.0;
  if (!(q < 1e-6)) time = -(dvy * (y1 - y2) + (x1 - x2) * dvx) / q;
  const double ax = x1 + time * v1x;
  const double ay = y1 + time * v1y;
  const double bx = x2 + time * v2x;
  const double by = y2 + time * v2y;
  Put(t, time);
  Put(distance, Length2D(ax - bx, ay - by));
  Put(x1Out, ax);
  Put(y1Out, ay);
  Put(x2Out, bx);
  Put(y2Out, by);
  return time;
}

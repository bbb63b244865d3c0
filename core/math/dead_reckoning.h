// Moving points in a plane grid: dead reckoning over a time step, straight or
// turning at a constant rate, and the closest point of approach of two points
// moving at constant velocity.
//
//   double e = e0, n = n0;
//   DeadReckon(&e, &n, 5.2, heading, 1.5, 2.0);   // 5.2 m/s, 1.5 deg/s, 2 s
//   double t, d, x1, y1, x2, y2;
//   ClosestApproach(ax, ay, 6.0, 45.0, bx, by, 4.0, 300.0, &t, &d, &x1, &y1, &x2, &y2);
//
// Coordinates x east, y north; headings and courses in degrees clockwise from
// north; rates of turn in degrees per second, positive clockwise (to
// starboard). Units of length and time are the caller's, consistently: a
// speed in metres per second over dt in seconds moves metres.
//
// Accuracy: a turn is followed exactly as a circular arc (chord and mean
// heading, with sin(x)/x near zero turns), within a few units in the last
// place of the distance run plus the rounding of the start coordinates. Many
// short steps accumulate that rounding; one long step does not lose accuracy.
#pragma once

// Moves (*east, *north) by `speed` for dt on `heading`, turning at
// rateOfTurn throughout. Any number of turns either way is followed, and a
// negative dt (or speed) runs the same circle backwards. False, nothing
// moved, when dt or speed is exactly 0, a pointer is null, or the result is
// not finite.
bool DeadReckon(double* east, double* north, double speed, double heading, double rateOfTurn,
                double dt);

// DeadReckon with rate 0.
bool DeadReckonStraight(double* east, double* north, double speed, double heading, double dt);

// DeadReckon in a grid whose units are not those of the speed: the east
// increment is divided by scaleX and the north increment by scaleY (metres
// per unit of longitude and latitude, for instance). False, nothing moved,
// when either scale is below 0.001 in size or not a number, and as
// DeadReckon.
bool DeadReckonScaled(double* x, double* y, double speed, double heading, double rateOfTurn,
                      double scaleX, double scaleY, double dt);

// DeadReckonScaled with rate 0.
bool DeadReckonScaledStraight(double* x, double* y, double speed, double heading, double scaleX,
                              double scaleY, double dt);

// The closest point of approach of point 1 at (x1, y1) and point 2 at
// (x2, y2), moving at constant speeds on constant courses: the time from now
// (negative when it lay in the past), the distance between them then, and
// their positions then. Returns the time. Relative speeds below 1e-3 (the
// squared relative velocity below 1e-6) count as none: time 0, the present
// positions and distance. NaN input gives a NaN time with the outputs NaN.
double ClosestApproach(double x1, double y1, double speed1, double course1, double x2, double y2,
                       double speed2, double course2, double* t, double* distance, double* x1Out,
                       double* y1Out, double* x2Out, double* y2Out);

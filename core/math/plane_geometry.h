// Points, directions and distances in a plane survey grid: rotations, points
// from polar measurements and vessel offsets, bearings, lengths and speeds.
//
//   double x, y;
//   PolarToPoint(e0, n0, 125.0, 45.0, &x, &y);          // 125 m on bearing 45
//   OffsetToGrid(e0, n0, 2.5, 10.0, heading, &x, &y);   // 2.5 m starboard, 10 m ahead
//   double b = BearingDeg(x - e0, y - n0);              // [0, 360)
//   double d = Length2D(x - e0, y - n0);
//
// Grid coordinates are x easting, y northing. Bearings run clockwise from
// north (+y) toward east (+x): a displacement of length d on bearing b is
// (d sin b, d cos b). Vessel offsets are `across` to starboard and `along`
// ahead. Angles are degrees unless a name says radians; degrees become
// radians by the factor 0.017453292519943295 and back by 57.29577951308232.
// Output pointers may be null; a null output is skipped.
//
// Accuracy: each result is the closed formula in the comment evaluated in
// double precision, within a few units in the last place of the largest
// coordinate involved. sin and cos of a degree argument carry the rounding of
// the conversion, so sin(180 deg) is 1.2e-16, not 0. Lengths are the plain
// square root of summed squares, so components above ~1e154 overflow and
// below ~1e-154 underflow.
#pragma once

// (x, y) becomes (y, -x): a quarter turn clockwise.
void RotateMinus90(double* x, double* y);
// (x, y) becomes (-y, x): a quarter turn counter-clockwise.
void RotatePlus90(double* x, double* y);
// (x, y) becomes (-x, -y).
void Rotate180(double* x, double* y);
// (c x - s y, c y + s x) with c, s the cosine and sine of `angle` degrees:
// counter-clockwise for positive angles. Both pointers are needed.
void RotatePoint(double* x, double* y, double angle);

// (x0 + sin(b) d, y0 + cos(b) d): the point at distance d on bearing b.
void PolarToPoint(double x0, double y0, double distance, double bearing, double* x, double* y);

// The point at slope distance d on bearing b and elevation e (up positive):
// h = cos(e) d; (x0 + sin(b) h, y0 + cos(b) h, z0 + sin(e) d).
void PolarToPoint3D(double x0, double y0, double z0, double distance, double bearing,
                    double elevation, double* x, double* y, double* z);

// The grid point of a vessel offset `across` to starboard and `along` ahead
// of (x0, y0) on heading h: (x0 + cos(h) across + sin(h) along,
// y0 + cos(h) along - sin(h) across).
void OffsetToGrid(double x0, double y0, double across, double along, double heading, double* x,
                  double* y);

// OffsetToGrid(x0, y0, px - refX, py - refY, heading): a point given in vessel
// coordinates, taken relative to a reference point, placed in the grid.
void RotateAbout(double x0, double y0, double refX, double refY, double px, double py,
                 double heading, double* x, double* y);

// sqrt(dx^2 + dy^2) and sqrt(dx^2 + dy^2 + dz^2).
double Length2D(double dx, double dy);
double Length3D(double dx, double dy, double dz);

// The bearing of (dx, dy) in radians, [0, 2 pi): atan2(dx, dy) plus 2 pi when
// negative; 0.0 for (0, 0) and for a result that rounds to 2 pi. NaN for NaN.
double BearingRad(double dx, double dy);
// BearingRad * 57.29577951308232: [0, 360) (the largest result is
// 359.99999999999994).
double BearingDeg(double dx, double dy);

// Speed of a displacement over dt seconds: sqrt(dx^2 + dy^2) / dt. A dt below
// -43200 is a time-of-day difference across midnight and is taken as
// dt + 86400; other negative dt count by their size. A time divisor of exactly
// 0 (dt of 0 or -86400) gives 0.0, and a dt below -86400 counts by the size of
// dt + 86400.
double SpeedFromDelta(double dx, double dy, double dt);

// L1 cos(a - c) - L2 cos(b - c), angles in degrees, each difference folded
// once into [-180, 180] first: the difference between the components along
// direction c of two polar vectors (L1, a) and (L2, b).
double ProjectedLengthDifference(double a, double l1, double b, double l2, double c);

// Distance and bearing (degrees) from polar point (r1, a1) to (r2, a2), both
// about the same origin: of (r2 sin a2 - r1 sin a1, r2 cos a2 - r1 cos a1).
void PolarDifference(double r1, double a1, double r2, double a2, double* distance,
                     double* bearing);

// Distance and bearing (degrees) of P1 - P2 for two points measured from
// (x0, y0): P1 = (x0 + d1 sin a, y0 + d1 cos a) and P2 = (x0 + q sin g,
// y0 + q cos g) with q = d2 cos(k - g), the projection onto bearing g of a
// distance d2 taken on bearing k. `relative` chooses the angles:
//   relative:   a = b1,       g = e1 - e2,  k = e3
//   otherwise:  a = b1 + e2,  g = e1,       k = e2 + e3
void PolarPointsDistance(double x0, double y0, double d1, double b1, double e1, double e2,
                         double d2, double e3, double* distance, double* bearing,
                         bool relative);

// Whether direction *a lies strictly inside the smaller angle between *b and
// *c (all degrees): with d1 = *b - *a and d2 = *c - *a, each folded once into
// [-180, 180], one must be below 0, the other above 0, and their sizes must
// add up to less than 180. False when any pointer is null.
bool DirectionBetween(const double* a, const double* b, const double* c);

// Where points lie relative to lines in a plane grid, and where lines,
// segments and circles cross.
//
//   int side = SideOfLine(x1, y1, x2, y2, px, py);         // -1 left, 1 right, 0 on
//   double off = SignedDistanceToLine(x1, y1, x2, y2, px, py);
//   double x, y;
//   if (IntersectBearingLines(e1, n1, 45.0, e2, n2, 315.0, &x, &y)) Fix(x, y);
//   if (SegmentIntersection(ax, ay, bx, by, cx, cy, dx, dy, &x, &y)) Cross(x, y);
//
// Coordinates are x easting, y northing; bearings in degrees clockwise from
// north, as in plane_geometry.h. Output pointers may be null. Functions that
// report success leave their outputs as each comment states when they fail.
// Intersections fail for NaN or infinite input, and when their coordinates
// come out infinite or NaN (lines too close to parallel for the tolerance to
// catch, or products that overflow).
//
// Tolerances are absolute, not scaled: 1e-10 (in grid units or degrees) for
// sides, snapping and parallel bearings, 1e-6 for the determinant of two
// lines. The determinant is the cross product of the two direction vectors,
// so lines of length 1e-3 are always "parallel" to it and very long lines
// can be nearly parallel and still intersect far away.
#pragma once

// The sign of (p2 - p1) x (p3 - p1): 1 when the three points turn
// counter-clockwise, -1 clockwise, 0 when collinear or any input is NaN.
int Orientation(double x1, double y1, double x2, double y2, double x3, double y3);

// -1 when p lies left of the directed line p1 -> p2, 1 when right, 0 on it:
// v = dy px - dx py - (dy x1 - dx y1) with d = p2 - p1 (|d| times the signed
// distance), compared with +-1e-10. 0 for NaN.
int SideOfLine(double x1, double y1, double x2, double y2, double px, double py);

// The parameter t of the foot of p on the line p(t) = p1 + t (p2 - p1): 0 at
// p1, 1 at p2, not clamped. t within 1e-10 of 0 or 1 snaps to exactly 0.0 or
// 1.0. For a point segment (|p2 - p1|^2 == 0) the numerator itself is
// returned, which is 0.0. NaN input gives NaN; differences whose squares
// overflow (above ~1e154) give NaN or an infinite t.
double SegmentParameter(double x1, double y1, double x2, double y2, double px, double py);

// The distance of p from the line through p1 and p2, positive when p lies to
// the right of p1 -> p2 and negative to the left; 0.0 when p1 == p2 or
// p == p1, whatever the other point is; otherwise NaN when a coordinate is
// NaN or infinite or a difference of two overflows. That is |v| sqrt(1 -
// cos^2) of the angle at p1, computed as the cross product of v with the unit
// direction, so a point close to a long line keeps its distance to a few
// units in the last place, and vectors of any size stay in range.
double SignedDistanceToLine(double x1, double y1, double x2, double y2, double px, double py);

// Whether p lies inside the triangle V1 V2 V3 (either winding): the signs of
// (V2 - V1) x (P - V1), (V3 - V2) x (P - V2), (V1 - V3) x (P - V3) are all
// equal. Unless `strict`, points on an edge or a corner count as inside too.
// False when a cross product is NaN (NaN or infinite input, or overflow).
// A triangle whose corners are collinear has no inside: strict gives false,
// otherwise true only for points on it (between its extreme corners).
bool PointInTriangle(double px, double py, double x1, double y1, double x2, double y2,
                     double x3, double y3, bool strict);

// The crossing of the line through p1 on bearing b1 and the line through p2
// on bearing b2. Outputs are set to 0.0 first. Fails when the bearings are
// parallel within 1e-10 degrees (lines have no direction, so bearings 180 or
// 360 degrees apart are parallel too). A line within 1e-10 degrees of
// north-south is taken as exactly vertical; otherwise the crossing of the
// lines y = tan(90 - b) x + c is found along line 1's direction from p1, so
// steep lines far from the grid origin keep their accuracy.
bool IntersectBearingLines(double x1, double y1, double b1, double x2, double y2, double b2,
                           double* x, double* y);

// The crossing of the unbounded lines p1 p2 and p3 p4: p1 + t (p2 - p1) with
// t = ((y1 - y3) dx34 - (x1 - x3) dy34) / den, den = dy34 dx12 - dx34 dy12.
// Outputs are set to 0.0 first; fails when |den| < 1e-6 or den overflows.
bool IntersectLines(double x1, double y1, double x2, double y2, double x3, double y3,
                    double x4, double y4, double* x, double* y);

// IntersectBearingLines(p1, bearing of p1 -> p2, p3, bearing of p3 -> p4).
// Fails when p1 == p2 or p3 == p4 (a point gives no line). The outputs are
// written only on success.
bool LineIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                      double x4, double y4, double* x, double* y);

// LineIntersection, and the crossing must lie strictly inside both segments:
// strictly between the end coordinates, x and y, of each. A segment whose two
// ends share a coordinate (parallel to an axis), or that lies within the
// snapping tolerance of north-south, is tested on the other coordinate only.
// A crossing at an end point does not count, so consecutive segments of a
// track never cross each other at their shared point. The outputs are
// written only on success.
bool SegmentIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                         double x4, double y4, double* x, double* y);

// LineIntersection, and the crossing must lie on the first segment, ends
// included, judged by x in the direction the segment runs: a segment heading
// west (bearing above 180) needs x2 <= x <= x1 and sets *eastward false, any
// other x1 <= x <= x2 with *eastward true. A first segment that runs more
// north-south than east-west must also hold the crossing within its y range
// (a segment snapped to north-south has no x range to speak of). *eastward
// is set true before anything is tested; x and y are written only on
// success.
bool SegmentIntersectionDirected(double x1, double y1, double x2, double y2, double x3,
                                 double y3, double x4, double y4, double* x, double* y,
                                 bool* eastward);

// The crossings of the line through p1 and p2 with the circle of radius r
// about c: the roots of a t^2 + b t + c' = 0 along p1 + t (p2 - p1), counted
// by D = b^2 - 4 a c'. Returns 2 (D > 0) with the points of t = (sqrt(D) - b)
// / 2a and (-b - sqrt(D)) / 2a, 1 (D exactly 0) with the second point (0, 0),
// or 0 with all four outputs 0.0 -- also when p1 == p2, for NaN input and when
// a point overflows. All outputs are set to 0.0 first.
// c' = (y1^2 + x1^2 + cy^2 + cx^2) - 2 (x1 cx + y1 cy) - r^2 is formed from
// absolute coordinates, so its rounding error is about 2e-16 of the sum of
// their squares (0.05 m^2 with grid coordinates near 1e7 m): far from the grid
// origin the tangent decision and the points lose accuracy accordingly.
int IntersectLineCircle(double x1, double y1, double x2, double y2, double cx, double cy,
                        double r, double* xa, double* ya, double* xb, double* yb);

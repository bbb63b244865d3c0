// Line and arc elements of a planned track in a plane grid: the station
// (chainage) and offset of a point against an element, the point at a
// chainage, the joint between two elements, and where a line crosses an arc.
//
//   double along, remaining, offset, length, direction;
//   StationOffset(x1, y1, x2, y2, r, px, py, &along, &remaining, &offset, &length,
//                 &direction);
//   double x, y;
//   double dir = PointOnElement(s, xA, yA, sA, xB, yB, sB, r, &x, &y);   // radians
//
// Conventions as in arcs.h: x easting, y northing, directions in degrees
// clockwise from north unless a name says radians; an element from p1 to p2
// with signed radius r (r > 0 clockwise, r < 0 anticlockwise, 0 straight), the
// minor arc over its chord. Offsets are positive to starboard (right of the
// direction of travel). Output pointers may be null.
#pragma once

// The station of point P against the element p1 -> p2: returns the distance
// along the element from p1 to P's foot (also written to *along), and writes
// the remaining distance to p2, the offset of P (positive to starboard), the
// element's length and the direction of travel at the foot (degrees). All
// outputs start at 0.
// A line (r = 0, or infinite): the foot of the perpendicular; along is negative before p1
// and above the length beyond p2. P on p1 gives 0 along and offset and the
// whole length remaining; a zero-length line gives 0 for all three (length
// and direction are still written).
// An arc: the foot is where the ray from the centre through P meets the
// circle; along is the arc length from p1 to the foot in the direction of
// travel, taken within half a turn either side of the arc's middle (so a
// foot just before p1 is negative, not most of a circle); offset is the
// radial distance from the arc. A zero-length arc gives 0 along.
double StationOffset(double x1, double y1, double x2, double y2, double r, double px, double py,
                     double* along, double* remaining, double* offset, double* length,
                     double* direction);

// The point at chainage s of the element from A (chainage sA) to B (chainage
// sB), and the direction of travel there in radians, [0, 2 pi). Chainages may
// run either way (sB < sA); s outside [sA, sB] extrapolates along the line or
// round the circle. A line whose chainages are equal gives A.
double PointOnElement(double s, double xA, double yA, double sA, double xB, double yB, double sB,
                      double r, double* x, double* y);

// The direction that bisects the joint at p1 between the element p0 -> p1 and
// the element p1' -> p2, on the starboard side of the second: -1.0 unless
// p1' equals p1 exactly.
double JointBisector(double x0, double y0, double x1, double y1, double x1b, double y1b, double x2,
                     double y2);

// Where the end points of an arc lie relative to each other, given the arc's
// centre and its ends p1, p2: with b1, b2 the directions from the centre,
// codes 1 and 4 are true when b2 <= b1, codes 2 and 3 when b1 <= b2, any
// other code true. The companion test of the code IntersectLineArc reports.
bool ArcEndOrder(int code, double cx, double cy, double x1, double y1, double x2, double y2);

// The crossing of the line through p1 and p2 with the arc of radius r about
// (cx, cy) from direction a1 to direction a2 (degrees from the centre; the
// arc is the shorter way between them). Outputs start at 0; *code always
// gets the order of the arc's ends E1, E2: E2 east of E1 gives 2 when E2 lies
// south of E1, else 1; otherwise 3 when south, else 4.
// A line through the centre along a1 or a2 (or their reverse) crosses at that
// end. Otherwise, of the line's crossings with the circle, the one furthest
// along p1 -> p2 that lies on the arc (ends included, to 1e-9 degrees) is
// given; so a line through the centre gives the point in its own direction
// when that lies on the arc. False, outputs at 0, when the line misses the
// arc, p1 equals p2, r is not positive or an input is not finite.
bool IntersectLineArc(double r, double a1, double a2, double cx, double cy, double x1, double y1,
                      double x2, double y2, double* x, double* y, int* code);

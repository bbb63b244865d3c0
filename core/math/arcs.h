// Circular arcs in a plane grid, the curved elements of a planned track or
// the path of a vessel turning at a constant rate: arc length, height and
// chord, tangent directions, centres and midpoints, points reached along an
// arc with offsets, and the step angle for drawing an arc.
//
//   double len = ArcLengthBetween(x1, y1, x2, y2, 250.0);   // clockwise, r 250
//   double cx, cy;
//   if (CircleCentreFromChord(&x1, &y1, &x2, &y2, &r, &cx, &cy, false)) ...
//   double t = ArcTangentBearingDeg(x1, y1, x2, y2, r, /*atStart=*/true);
//   ArcAdvance(x, y, 10.0, heading, heading + 4.0, &x, &y);
//
// Coordinates are x easting, y northing; directions in degrees clockwise from
// north unless a name says radians. An arc between two points is given by a
// signed radius r: r > 0 turns clockwise (centre to the right of the chord
// p1 -> p2), r < 0 anticlockwise, r = 0 is a straight element. Such an arc is
// the minor one, turning at most 180 degrees. Output pointers may be null.
//
// No arc fits a chord longer than the diameter. A chord at most 1e-9 longer
// than the diameter, relatively, is taken as the diameter (a half circle):
// rounding of the end points, not the geometry, put it there. Longer chords
// count as straight where the comment says so and fail elsewhere.
//
// Accuracy: closed formulas, within a few units in the last place of the
// coordinates, except where asin and acos work near +-1: the length of a
// half circle from its chord has a relative error of up to about 1e-8 per
// 1e-16 of relative error in the chord. The height of a flat arc keeps its
// relative accuracy.
#pragma once

// The length of the arc of radius r over the chord (dx, dy), then combined
// with a height difference dz as sqrt(L^2 + dz^2) (a helix) when dz is not 0:
// L = 2 asin(c / 2r) r with c the chord. The chord itself when r is 0 or no
// arc fits.
double ArcLength(double dx, double dy, double dz, double r);

// ArcLength of p2 - p1, in the plane and with heights.
double ArcLengthBetween(double x1, double y1, double x2, double y2, double r);
double ArcLengthBetween(double x1, double y1, double z1, double x2, double y2, double z2, double r);

// 2 asin(c / 2r) r for the chord from p1 to p2; the chord when r is 0, the
// chord is 0, or no arc fits.
double ArcLengthFromChord(double x1, double y1, double x2, double y2, double r);

// The height (sagitta) of the arc over its chord: |r| - sqrt(r^2 - (c/2)^2).
// 0.0 when r is 0 or no arc fits (chord longer than the diameter).
double ArcHeight(double x1, double y1, double x2, double y2, double r);
double ArcHeight(double dx, double dy, double r);

// The chord of an arc of `length` that turns from heading h1 to heading h2
// the shorter way (ShortestTurn, so headings written whole turns apart give
// the same arc), and its direction, the mean of the two headings
// (MeanAngle360). Returns the chord.
double ChordFromArc(double length, double h1, double h2, double* chord, double* meanHeading);

// The step in degrees for drawing the arc of `radius` from direction *start
// to *end clockwise (equal directions: the full circle), in equal steps of at
// most maxStepLength along the arc and no fewer than minSteps (at least one);
// never below 0.1 degrees. NaN when a pointer is null.
double ArcStepAngle(const double* start, const double* end, const double* radius, int minSteps,
                    double maxStepLength);

// The direction of travel, radians in [0, 2 pi), at the start (atStart) or
// end of the arc of radius r over the chord (dx, dy) or p1 -> p2. At the start
// of a clockwise arc the tangent lies half the turned angle anticlockwise of
// the chord, at its end as much clockwise. r = 0: the chord's direction. A
// chord longer than the diameter is treated as the diameter.
double ArcTangentBearing(double dx, double dy, double r, bool atStart);
double ArcTangentBearing(double x1, double y1, double x2, double y2, double r, bool atStart);
// The same in degrees, [0, 360).
double ArcTangentBearingDeg(double dx, double dy, double r, bool atStart);
double ArcTangentBearingDeg(double x1, double y1, double x2, double y2, double r, bool atStart);

// The centre of the circle of radius |r| through p1 and p2 on the side the
// sign of r gives (right of p1 -> p2 for r > 0). byAngles finds it from p1
// by direction and distance, otherwise from the chord's midpoint along its
// normal; the two agree to rounding. False, outputs untouched, when a pointer
// is null, p1 equals p2, r is 0 or NaN, or no circle fits.
bool CircleCentreFromChord(const double* x1, const double* y1, const double* x2, const double* y2,
                           const double* r, double* cx, double* cy, bool byAngles);

// The circle through three points: writes its centre and returns its radius.
// -1.0, outputs untouched, when the points are collinear (the determinant
// (y3 - y1) x2 + (y2 - y3) x1 + (y1 - y2) x3 is within 1e-10 of 0, an
// absolute test: tiny triangles count as collinear) or not finite.
double CircleThrough3Points(double x1, double y1, double x2, double y2, double x3, double y3,
                            double* cx, double* cy);

// The midpoint of the arc of radius r from p1 to p2 (the chord's midpoint
// when r is 0 or infinite or no arc fits); returns the chord's direction in radians,
// [0, 2 pi).
double ArcMidpoint(double x1, double y1, double x2, double y2, double r, double* x, double* y);

// The directions in degrees from the centre c to p1 and p2, ordered so that
// the arc between them runs clockwise from *b1 to *b2 over at most 180
// degrees: *b1 in [0, 360) and *b1 <= *b2 <= *b1 + 180. Returns true when the
// two had to be swapped (p2 comes first clockwise). False, outputs untouched,
// when a pointer is null.
bool ArcBearings(const double* x1, const double* y1, const double* x2, const double* y2,
                 const double* cx, const double* cy, double* b1, double* b2);

// The point reached after `length` along an arc that turns from heading h1
// to h2 (at most half a turn), starting at (x0, y0): (x0, y0) + chord along
// the mean heading.
void ArcAdvance(double x0, double y0, double length, double h1, double h2, double* x, double* y);

// ArcAdvance, then `off2` to starboard of the end heading h2.
void ArcAdvanceOffset(double x0, double y0, double off2, double length, double h1, double h2,
                      double* x, double* y);

// From a point lying off1 to starboard of an arc at chainage s1, where the
// heading is h1, to the point off2 to starboard at chainage s2, heading h2:
// (x0, y0) - off1 abeam of h1 + the chord of s2 - s1 + off2 abeam of h2.
void ArcOffsetToOffset(double x0, double y0, double off1, double s1, double off2, double s2,
                       double h1, double h2, double* x, double* y);

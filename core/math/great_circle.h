// Navigation on a spherical earth along great circles: destination,
// distance and courses, cross-track and along-track distances, the vertex of
// a great circle, midpoints and the closest approach to a point.
//
//   double lat2, lon2, course2;
//   GreatCircleDestination(52.0, 4.0, 285.0, 120.0, &lat2, &lon2, &course2);
//   double dist, bearing;
//   GreatCircleDistance(52.0, 4.0, lat2, lon2, &dist, &bearing);   // 120, 285
//
// Units: latitudes and longitudes in degrees, positive north and east;
// courses and bearings in degrees clockwise from north; distances are angles
// on the sphere in minutes of arc, so one unit is one nautical mile (1852 m).
// Latitudes out are in [-90, 90], longitudes out in (-180, 180] and courses
// out in [0, 360). Speeds are in knots and times in seconds. A longitude
// in of any finite size counts by its place within the turn: 1e300 and
// DBL_MAX are answered as the longitudes they are modulo 360.
//
// Results come through pointers, any of which may be null. The functions
// return false, leaving outputs alone unless stated, when an input is NaN or
// infinite or when the geometry has no answer (noted per function).
//
// Accuracy and caveats (GreatCircleDistance and GreatCircleDestination, on
// which the rest build): closed spherical formulas in double precision. The
// distance uses the haversine form up to about 105 degrees, accurate to
// a few units in the last place even for very short distances, and the atan2
// of the chord's components beyond, which stays accurate up to the antipode.
// Positions within 1e-8 degrees in both coordinates count as equal.
// A position within 1e-8 degrees of a pole has no defined longitude or
// course: the destination keeps the start longitude there, and courses from
// or to a pole follow from the longitudes as given. The course from a point
// to its antipode is arbitrary (every great circle joins them).
#pragma once

// The position `distance` arc minutes from (lat1, lon1) on initial bearing
// `bearing`, and the course on arrival there (the direction of travel),
// which the bearing fixes however far the path runs, half the circumference
// included. A negative distance goes backwards (the course then points
// back along the path). A destination within 1e-8 degrees of a pole gets the
// start longitude and the course bearing - 180.
bool GreatCircleDestination(double lat1, double lon1, double bearing, double distance, double* lat2,
                            double* lon2, double* course2);

// The great-circle distance (arc minutes) and initial bearing from 1 to 2.
// Both outputs are set to 0 first; equal positions (also longitudes 180 and
// -180 on one parallel) give distance 0 and bearing 0.
bool GreatCircleDistance(double lat1, double lon1, double lat2, double lon2, double* distance,
                         double* bearing);

// GreatCircleDistance from 1 to 2, and the final course at 2: the bearing
// from 2 to 1 plus 180. For equal positions the final course is the initial
// bearing, 0.
bool GreatCircleDistanceCourses(double lat1, double lon1, double lat2, double lon2,
                                double* distance, double* initialBearing, double* finalCourse);

// The cross-track distance of point P from the great circle through start
// and end (positive when P lies to the right of start -> end), and the
// along-track distance from the start to the foot of the perpendicular
// (negative when the foot lies behind the start), both in arc minutes. Both
// outputs are set to 0 first. False when start and end coincide (no great
// circle). Near the circle's poles (90 degrees from all of it) the
// along-track distance is ill-conditioned; at a pole it is finite but
// arbitrary.
bool CrossTrackDistance(double latStart, double lonStart, double latEnd, double lonEnd, double latP,
                        double lonP, double* crossTrack, double* alongTrack);

// The vertex (point of highest latitude) of the great circle through
// (lat, lon) on `course`: lonV = lon + atan(1 / (sin(lat) tan(course))) and
// latV = acos(|sin(course)| cos(lat)) with the sign of lat, the vertex in
// the point's own hemisphere within 90 degrees of longitude. On the equator
// (lat +0 or -0) the sign of the zero picks the vertex. A meridian (course
// 0 or 180) has its vertex at the pole.
bool GreatCircleVertex(double lat, double lon, double course, double* latV, double* lonV);

// The latitude at longitude `lon` of the great circle with vertex
// (latV, lonV): atan(tan(latV) cos(lon - lonV)).
bool GreatCircleLatitudeAt(double latV, double lon, double lonV, double* lat);

// The distance (arc minutes) from a point at latitude latP to a great circle
// with vertex latitude latV that crosses the point's meridian at latitude
// latC: asin(sin(latC - latP) cos(latV) / cos(latC)). Positive when the
// circle crosses north of the point. False at latC = +-90.
bool MeridianCrossTrack(double latC, double latP, double latV, double* distance);

// The longitude where the great circle with vertex (latV, lonV) reaches
// latitude `lat`: lonV +- acos(tan(lat) / tan(latV)), whichever lies closer to
// refLon. False (nothing written) for a vertex within 1e-8 degrees of the
// equator, and when the circle never reaches `lat` (|lat| above |latV|,
// beyond rounding).
bool LongitudeAtLatitude(double refLon, double latV, double lonV, double lat, double* lon);

// Where a vessel at (lat, lon) on `course` at `speed` knots passes closest to
// point P: the distance then (arc minutes), the time to it (seconds, negative
// when the closest point lies behind) and the vessel's position there. The
// distance is first set to the present distance; a speed below 1e-8 knots in
// size, or a vessel already at P, gives time 0 and the present position.
bool ClosestApproachToPoint(double lat, double lon, double speed, double course, double latP,
                            double lonP, double* distance, double* time, double* latOut,
                            double* lonOut);

// The perpendicular distance (arc minutes) of point P from the great circle
// through (lat, lon) on `course`, found through the circle's vertex:
// MeridianCrossTrack of the circle's latitude at P's longitude. Its size is
// that of CrossTrackDistance; its sign is positive when the circle passes
// north of P.
bool CrossTrackByVertex(double lat, double lon, double course, double latP, double lonP,
                        double* distance);

// The point halfway along the great circle from 1 to 2. Positions within
// 1e-8 degrees of each other give lat1 and the mean longitude. The midpoint
// of antipodal points is one of many.
bool GreatCircleMidpoint(double lat1, double lon1, double lat2, double lon2, double* lat,
                         double* lon);

// True when direction b lies strictly within `tolerance` degrees of
// direction a either way: |NormalizeAngle180(b - a)| < tolerance.
bool AngleWithin(double a, double b, double tolerance);

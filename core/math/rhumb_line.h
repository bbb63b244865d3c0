// Rhumb lines (loxodromes): tracks of constant course, straight lines on a
// Mercator chart. Destination, distance and course, midpoint, and where a
// rhumb line crosses a meridian or a second rhumb line.
//
//   double lat2, lon2;
//   RhumbDestination(50.0, -5.0, 250.0, 300.0, &lat2, &lon2);
//   double dist, course;
//   RhumbDistance(50.0, -5.0, lat2, lon2, &dist, &course);   // 300, 250
//
// Units as in great_circle.h: degrees, courses clockwise from north,
// distances in minutes of arc (nautical miles) on a sphere. Output pointers
// may be null. Non-finite input gives false with the outputs left alone;
// a finite longitude of any size counts modulo 360.
//
// Poles: a rhumb line spirals into a pole, where its course and longitude
// have no limit. Every function here treats a latitude beyond 89.99999999
// degrees in size as a pole; where it says so it then answers along the
// great circle instead and returns false to mark that the answer is not a
// rhumb line's.
//
// Accuracy: the Mercator latitude difference is taken in a form that keeps
// its relative accuracy for close latitudes (mercator.h), the destination
// uses its latitude step as computed rather than rounded into the latitude,
// and the distance takes cos(course) from the chart's components rather than
// from the angle. So results stay within about 1e-9 relative even for
// courses 1e-7 degrees from east or west. A latitude change below 1e-8
// degrees counts as due east-west, along the parallel of the start (off by
// about 1e-10 tan(lat) relative); a longitude change below 1e-8 degrees as
// due north-south.
#pragma once

// The position `distance` arc minutes from (lat1, lon1) on `course`. When the
// start or the destination's latitude lies beyond the pole limit, the great
// circle's destination is given instead and the result is false.
bool RhumbDestination(double lat1, double lon1, double course, double distance, double* lat2,
                      double* lon2);

// The rhumb-line distance (arc minutes) and course from 1 to 2, the shorter
// way round in longitude. When either latitude lies beyond the pole limit the
// great circle's distance and bearing are given instead and the result is
// false.
bool RhumbDistance(double lat1, double lon1, double lat2, double lon2, double* distance,
                   double* course);

// The point halfway along the rhumb line from 1 to 2: the mean latitude, and
// the longitude where the line reaches it. Nearly equal latitudes (1e-8
// degrees) give the mean longitude, the shorter way round; so does a
// latitude beyond the pole limit, with the result false.
bool RhumbMidpoint(double lat1, double lon1, double lat2, double lon2, double* lat, double* lon);

// The latitude where the rhumb line from (lat1, lon1) on `course` crosses
// meridian lonM ahead of the start, the meridian being taken within 180
// degrees of longitude of the start. The output is set to 0 first. False for
// a start beyond the pole limit, a north-south course, a crossing behind the
// start (more than 100 degrees off the course), or a crossing beyond the pole
// limit (the line spirals into the pole first).
bool RhumbMeridianCrossing(double lat1, double lon1, double course, double lonM, double* lat);

// Where the rhumb lines from (lat1, lon1) on course1 and from (lat2, lon2) on
// course2 cross, ahead of both starts (a start itself counts). Outputs are set
// to 0 first. False for a start or crossing beyond the pole limit, parallel
// courses, a crossing behind either start, or a crossing more than 180
// degrees of longitude from the first start.
bool RhumbIntersection(double lat1, double lon1, double course1, double lat2, double lon2,
                       double course2, double* lat, double* lon);

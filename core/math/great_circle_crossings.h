// Where two great-circle tracks cross, and when a vessel reaches a great
// circle it is steering across.
//
//   double lat, lon;
//   if (GreatCircleIntersection(51.8853, 0.2545, 108.547, 49.0034, 2.5735, 32.435, &lat, &lon))
//     Mark(lat, lon);   // 50.9078, 4.5084
//   double t, d;
//   GreatCircleCrossingTime(lat0, lon0, 12.0, 45.0, latL, lonL, 300.0, &t, &d, nullptr, nullptr);
//
// Units as in great_circle.h: degrees, courses clockwise from north,
// distances in arc minutes (nautical miles), speeds in knots, times in
// seconds. Output pointers may be null.
//
// Accuracy: closed spherical formulas, within a few units in the last place
// for tracks that cross at a fair angle. Two great circles meeting at a small
// angle a fix their crossing poorly: an error of e radians in a course moves
// a crossing at distance d by about e sin(d) / sin(a) radians of arc. Great
// circles within 1e-8 radians of each other count as one in
// GreatCircleCrossingTime.
#pragma once

// The crossing of the great circle from (lat1, lon1) on course1 with the one
// from (lat2, lon2) on course2 that lies ahead of both starts (within half a
// circumference). Outputs are set to 0 first. False when the starts
// coincide, a start lies within 1e-8 degrees of a pole (its course has no
// meaning), both tracks follow the great circle through the two starts, or
// the crossing ahead of one start lies behind the other. A course pointing
// straight at the other start crosses there.
bool GreatCircleIntersection(double lat1, double lon1, double course1, double lat2, double lon2,
                             double course2, double* lat, double* lon);

// When a vessel at (lat, lon) steering `course` at `speed` knots reaches the
// great circle through (latL, lonL) on courseL (the whole circle, either side
// of that point): the time in seconds, the distance run in arc minutes and the
// crossing point. The crossing is the one ahead of the vessel; a vessel on
// the circle crosses now (time 0). When there is none -- a speed below 1e-8
// knots, the vessel following the circle itself, a position within 1e-8
// degrees of a pole, NaN input -- the time is -1.0 and the distance 0, the
// crossing point is left alone, and the result is false.
bool GreatCircleCrossingTime(double lat, double lon, double speed, double course, double latL,
                             double lonL, double courseL, double* time, double* distance,
                             double* latCross, double* lonCross);

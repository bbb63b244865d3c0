// Mercator latitudes: the northing of the Mercator projection of the sphere,
// in degrees of the equator, so that a rhumb line (constant course) is a
// straight line in (longitude, Mercator latitude).
//
//   double y = MercatorLatitude(60.0);            // 75.456...
//   double lat = InverseMercatorLatitude(y);      // 60 to rounding
//   double course = atan2(dLon, MercatorLatitudeDifference(lat1, lat2));
//
// Accuracy: within a few units in the last place of the result (evaluated
// as asinh(tan(lat)) and atan(sinh(y)), the same functions without a rounded
// pi/4 in them, so the equator maps to exactly 0). Near a pole tan()
// magnifies the rounding of the latitude itself: the Mercator latitude grows
// without bound there and at +-90 takes the large finite value of the
// double nearest pi/2 (about +-2177 degrees); beyond +-90 it means nothing.
#pragma once

// ln(tan(pi/4 + lat/2)) in degrees: 0 at the equator, odd in lat.
double MercatorLatitude(double lat);

// MercatorLatitude(lat2) - MercatorLatitude(lat1), evaluated as
// log1p(sin(dLat/2) / (cos(pi/4 + lat2/2) sin(pi/4 + lat1/2))) so that two
// close latitudes keep their relative accuracy (the plain difference of two
// logarithms cancels: about 1e-6 relative for latitudes 1e-10 degrees apart).
double MercatorLatitudeDifference(double lat1, double lat2);

// MercatorLatitude(lat + dLat) - MercatorLatitude(lat) in the same form,
// taking the step dLat as given: lat + dLat rounded to a double would lose
// the low digits of a small step (a step of 1e-8 degrees at latitude 50
// keeps only 9 digits there).
double MercatorLatitudeDelta(double lat, double dLat);

// The latitude of Mercator latitude y: 2 atan(exp(y)) - pi/2 in degrees, y
// in degrees. Every y, infinities included, maps into [-90, 90].
double InverseMercatorLatitude(double y);

// Radii of curvature of an ellipsoid of revolution, small latitude and
// longitude differences in metres, and a quick geographic position from
// earth-centred coordinates.
//
//   double m, n;
//   EllipsoidRadii(52.0, &m, &n, 6378137.0, 298.257223563);
//   double east, north;
//   LatLonDeltaToMetres(52.0, dLat, dLon, &east, &north, 6378137.0, 298.257223563);
//
// The ellipsoid is its semi-major axis a (metres) and inverse flattening; an
// inverse flattening of exactly 0 means a sphere of radius a. With
// f = 1/inverseFlattening, e^2 = (2 - f) f. Latitudes and differences are in
// degrees. Output pointers may be null. Functions report false, leaving their
// outputs alone, when a result would not be finite (NaN or infinite input, or
// the radii at a pole of an ellipsoid flattened to nothing, f = 1).
//
// Accuracy: closed formulas, a few units in the last place. The metre
// conversions are first order: they treat the radii as constant over the
// difference, so the relative error grows like the difference in radians
// (about 1e-5 for 0.001 degrees, 1e-3 for 0.1 degrees) and, east-west, with
// the change of cos(lat) near the poles.
#pragma once

// Meridian radius M = (1 - e^2) a / W^3 and prime-vertical radius N = a / W,
// with W = sqrt(1 - e^2 sin^2(lat)). A sphere gives M = N = a.
bool EllipsoidRadii(double lat, double* m, double* n, double a, double inverseFlattening);

// east = cos(lat) N dLon and north = M dLat (differences converted to
// radians), with M and N at `lat`.
bool LatLonDeltaToMetres(double lat, double dLat, double dLon, double* east, double* north,
                         double a, double inverseFlattening);

// As LatLonDeltaToMetres with given radii and a height h above the
// ellipsoid: east = cos(lat) (N + h) dLon, north = (M + h) dLat.
bool LatLonDeltaToMetresWithRadii(double lat, double dLat, double dLon, double* east, double* north,
                                  double m, double n, double h);

// Latitude atan2(Z, (1 - e^2) p) and longitude atan2(Y, X), p = sqrt(X^2 + Y^2),
// in degrees when `inDegrees`, else radians. Exact for points on the
// ellipsoid's surface only: there is no iteration, so a point at height h
// is off in latitude by up to about e^2 h / a radians (0.2" at 1000 m on a
// terrestrial ellipsoid). The earth's centre gives latitude and longitude 0.
bool CartesianToLatLon(double x, double y, double z, double* lat, double* lon,
                       double inverseFlattening, bool inDegrees);

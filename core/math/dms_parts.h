// Signed decimal degrees split into whole degrees, minutes, seconds and a
// hemisphere letter, in double precision, and joined back.
//
//   int32_t d, m; double s; char h;
//   DegreesToDmsParts(-12.5, /*isLatitude=*/true, &d, &m, &s, &h);  // 12, 30, 0.0, 'S'
//   double back = DmsPartsToDegrees(d, m, s, h);                     // -12.5
//
// The text helpers' float-second records live in core/text/latlon_dms.h; these
// keep double seconds. North and east are positive. Every output pointer may
// be null.
#pragma once

#include <cstdint>

// With a = |value|: degrees = floor(a), minutes = floor((a - floor(a)) * 60), seconds the rest
// times 60, in [0, 60); hemisphere 'N'/'S' (isLatitude) or 'E'/'W', the first
// letter when value >= 0, so NaN gives 'S' or 'W'. Whole parts go through the
// checked conversion: NaN and degrees beyond the int range give INT32_MIN, and
// minutes and seconds are still taken from the exact fraction of a (NaN for a
// NaN value). The seconds carry the rounding of two multiplications by 60,
// about 1e-11 seconds for angles up to 360 degrees.
void DegreesToDmsParts(double value, bool isLatitude, int32_t* degrees, int32_t* minutes,
                       double* seconds, char* hemisphere);

// Degrees and decimal minutes: degrees = floor(|value|) (checked as above),
// minutes = (|value| - floor(|value|)) * 60, hemisphere as above.
void DegreesToDmParts(double value, bool isLatitude, int32_t* degrees, double* minutes,
                      char* hemisphere);

// (minutes / 60 + degrees) + seconds / 3600, negated when the hemisphere is
// 's', 'S', 'w' or 'W'. The parts are not range-checked.
double DmsPartsToDegrees(int32_t degrees, int32_t minutes, double seconds, char hemisphere);

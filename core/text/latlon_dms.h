// Degrees / minutes / seconds records of geographic angles and the conversion
// between them and signed decimal degrees.
//
//   int d, m; float s; char h;
//   DegreesToDms(-4.25, false, d, m, s, h);         // 4, 15, 0.0f, 'W'
//   double back = DmsToDegrees(d, m, s, h);         // -4.25
//
//   sDms rec{};
//   DegreesToDmsRecord(52.9999999, true, rec, 59.9995f);   // 53;00;00 N
//   bool ok = IsValidLatitudeDms(rec);
//
// North and east are positive; 'S' and 'W' (either case) make an angle
// negative. Degrees and minutes are whole numbers and seconds a float, so a
// record holds an angle to about 2e-6 seconds of arc. Every conversion to an
// int is checked: NaN, infinities and angles beyond the int range give
// INT32_MIN fields (and NaN seconds) rather than undefined behaviour.
#pragma once

#include <cstddef>
#include <cstdint>

// One angle as whole degrees, whole minutes, seconds and a hemisphere letter.
// Shared with other programs byte for byte.
struct sDms {
  int32_t degrees;  // never negative
  int32_t minutes;  // 0..59
  float seconds;    // 0 up to below 60
  char hemisphere;  // 'N', 'S', 'E' or 'W'
};
static_assert(sizeof(sDms) == 16);
static_assert(offsetof(sDms, degrees) == 0);
static_assert(offsetof(sDms, minutes) == 4);
static_assert(offsetof(sDms, seconds) == 8);
static_assert(offsetof(sDms, hemisphere) == 12);

// An angle split in double precision: whole degrees and whole minutes (as
// doubles, so nothing overflows), seconds in [0, 60) and the sign. This is
// the split behind DegreesToDms and the text formatters.
struct DmsSplit {
  double degrees;
  double minutes;
  double seconds;
  bool negative;  // the value was not >= 0 (NaN counts as negative)
};
DmsSplit SplitDegrees(double value);

// The same split in long double, for text: the minutes and seconds of a
// double are exact in a 64-bit significand (the fraction of the degrees has
// at most 53 bits and each factor 60 adds four), so a text is rounded from
// the true value and not from a double that may sit on the other side of a
// rounding boundary.
struct ExactSplit {
  long double degrees;
  long double minutes;      // whole minutes
  long double fullMinutes;  // minutes with their fraction
  long double seconds;
  bool negative;  // the value was not >= 0 (NaN counts as negative)
};
ExactSplit SplitExactly(double value);

// Whether minutes or seconds below 60 print as 60 with `decimals` decimals
// ("%.*Lf"): the text itself decides, since the boundary
// 60 - 0.5 * 10^-decimals has no exact binary value to compare with.
bool PrintsAsSixty(long double value, int decimals);

// 'S' or 'W' for a negative angle, else 'N' or 'E'.
inline char HemisphereLetter(bool negative, bool latitude) {
  if (negative) return latitude ? 'S' : 'W';
  return latitude ? 'N' : 'E';
}

// True for 's', 'S', 'w' and 'W'.
inline bool IsNegativeHemisphere(char hemisphere) {
  return hemisphere == 's' || hemisphere == 'S' || hemisphere == 'w' || hemisphere == 'W';
}

// degrees + minutes / 60 + seconds / 3600, negated for a southern or western
// hemisphere letter. Inline: the record fill functions call it per field.
inline double DmsToDegrees(int degrees, int minutes, float seconds, char hemisphere) {
  const double value = degrees + minutes / 60.0 + seconds / 3600.0;
  return IsNegativeHemisphere(hemisphere) ? -value : value;
}
double DmsRecordToDegrees(const sDms& dms);
double DmsRecordToRadians(const sDms& dms);
// ((seconds / 60 + minutes) / 60 + degrees) in radians, negated when `sign`
// is '-', 'S', 'W', 's' or 'w'.
double DmsToRadians(double degrees, double minutes, double seconds, char sign);

// Splits |value| into whole degrees, whole minutes and seconds, with 'N'/'S'
// (latitude) or 'E'/'W' (longitude), the first for value >= 0. Seconds that
// round to 60.0f as a float are carried into the minutes (and degrees), so
// the seconds are always below 60.
void DegreesToDms(double value, bool latitude, int& degrees, int& minutes, float& seconds,
                  char& hemisphere);

// DegreesToDms into a record, then: seconds at or above `threshold` become 0
// and add a minute; minutes of 60 or more become 0 and add a degree. Pass the
// threshold at which the text to be printed would round the seconds up.
void DegreesToDmsRecord(double value, bool latitude, sDms& out, float threshold);

// Range checks, bounds included.
bool IsValidLatitude(double value);   // -90..90
bool IsValidLongitude(double value);  // -180..180
// The letter must be 'N'/'S' (latitude) or 'E'/'W' (longitude), either case,
// and the signed value within range.
bool IsValidLatitudeDms(const sDms& dms);
bool IsValidLongitudeDms(const sDms& dms);

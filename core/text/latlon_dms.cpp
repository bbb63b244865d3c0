#include "core/text/latlon_dms.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/checked_int.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;

// Adds one the way the Windows programs' 32-bit registers did: INT32_MAX wraps to
// INT32_MIN instead of being undefined behaviour.
int32_t WrapIncrement(int32_t v) {
  return static_cast<int32_t>(static_cast<uint32_t>(v) + 1u);
}

}  // namespace

static_assert(std::numeric_limits<long double>::digits >= 61);

ExactSplit SplitExactly(double value) {
  const long double a = std::fabs(static_cast<long double>(value));
  const long double d = std::floor(a);
  const long double x = (a - d) * 60.0L;
  const long double m = std::floor(x);
  return ExactSplit{d, m, x, (x - m) * 60.0L, !(value >= 0.0)};
}

bool PrintsAsSixty(long double value, int decimals) {
  if (!(value >= 59.0L && value < 60.0L)) return false;
  char text[64];
  std::snprintf(text, sizeof text, "%.*Lf", decimals, value);
  return text[0] == '6';
}

DmsSplit SplitDegrees(double value) {
  const double a = std::fabs(value);
  // Truncation is floor for the non-negative values of the int range, and far
  // cheaper than a floor() call; the rest (huge, infinite, NaN) take floor().
  const double d = a < 2147483648.0 ? static_cast<double>(static_cast<int32_t>(a)) : std::floor(a);
  const double x = (a - d) * 60.0;
  const double m = x < 2147483648.0 ? static_cast<double>(static_cast<int32_t>(x)) : std::floor(x);
  return DmsSplit{d, m, (x - m) * 60.0, !(value >= 0.0)};
}

double DmsRecordToDegrees(const sDms& dms) {
  return DmsToDegrees(dms.degrees, dms.minutes, dms.seconds, dms.hemisphere);
}

double DmsRecordToRadians(const sDms& dms) { return DmsRecordToDegrees(dms) * kDegToRad; }

double DmsToRadians(double degrees, double minutes, double seconds, char sign) {
  const double value = ((seconds / 60.0 + minutes) / 60.0 + degrees) * kDegToRad;
  return (sign == '-' || IsNegativeHemisphere(sign)) ? -value : value;
}

void DegreesToDms(double value, bool latitude, int& degrees, int& minutes, float& seconds,
                  char& hemisphere) {
  DmsSplit split = SplitDegrees(value);
  float s = static_cast<float>(split.seconds);
  // Seconds just below 60 round to 60.0f as a float; a record never says 60.
  if (s >= 60.0f) {
    s = 0.0f;
    split.minutes += 1.0;
  }
  if (split.minutes >= 60.0) {
    split.minutes -= 60.0;
    split.degrees += 1.0;
  }
  degrees = zor::platform::DoubleToInt32(split.degrees);
  minutes = zor::platform::DoubleToInt32(split.minutes);
  seconds = s;
  hemisphere = HemisphereLetter(split.negative, latitude);
}

void DegreesToDmsRecord(double value, bool latitude, sDms& out, float threshold) {
  int d = 0;
  int m = 0;
  float s = 0.0f;
  char h = 0;
  DegreesToDms(value, latitude, d, m, s, h);
  if (s >= threshold) {
    s = 0.0f;
    m = WrapIncrement(m);
  }
  if (m >= 60) {
    d = WrapIncrement(d);
    m = 0;
  }
  out.degrees = d;
  out.minutes = m;
  out.seconds = s;
  out.hemisphere = h;
}

bool IsValidLatitude(double value) { return value >= -90.0 && value <= 90.0; }

bool IsValidLongitude(double value) { return value >= -180.0 && value <= 180.0; }

bool IsValidLatitudeDms(const sDms& dms) {
  const char h = dms.hemisphere;
  if (h != 'N' && h != 'n' && h != 'S' && h != 's') return false;
  return IsValidLatitude(DmsRecordToDegrees(dms));
}

bool IsValidLongitudeDms(const sDms& dms) {
  const char h = dms.hemisphere;
  if (h != 'E' && h != 'e' && h != 'W' && h != 'w') return false;
  return IsValidLongitude(DmsRecordToDegrees(dms));
}

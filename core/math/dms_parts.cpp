#include "core/math/dms_parts.h"

#include <cmath>

#include "platform/checked_int.h"

namespace {

char Hemisphere(double value, bool isLatitude) {
  if (value >= 0.0) return isLatitude ? 'N' : 'E';
  return isLatitude ? 'S' : 'W';
}

template <typename T>
void Store(T* out, T value) {
  if (out != nullptr) *out = value;
}

}  // namespace

void DegreesToDmsParts(double value, bool isLatitude, int32_t* degrees, int32_t* minutes,
                       double* seconds, char* hemisphere) {
  const double a = std::fabs(value);
  const double wholeDegrees = std::floor(a);
  // The fraction comes from the double floor, not the int: angles beyond the
  // int range still split into sane minutes and seconds.
  const double r = (a - wholeDegrees) * 60.0;
  const double wholeMinutes = std::floor(r);
  Store(degrees, zor::platform::DoubleToInt32(wholeDegrees));
  Store(minutes, zor::platform::DoubleToInt32(wholeMinutes));
  Store(seconds, (r - wholeMinutes) * 60.0);
  Store(hemisphere, Hemisphere(value, isLatitude));
}

void DegreesToDmParts(double value, bool isLatitude, int32_t* degrees, double* minutes,
                      char* hemisphere) {
  const double a = std::fabs(value);
  const double wholeDegrees = std::floor(a);
  Store(degrees, zor::platform::DoubleToInt32(wholeDegrees));
  Store(minutes, (a - wholeDegrees) * 60.0);
  Store(hemisphere, Hemisphere(value, isLatitude));
}

double DmsPartsToDegrees(int32_t degrees, int32_t minutes, double seconds, char hemisphere) {
  const double sign =
      (hemisphere == 's' || hemisphere == 'S' || hemisphere == 'w' || hemisphere == 'W') ? -1.0
                                                                                           : 1.0;
  return ((minutes / 60.0 + degrees) + seconds / 3600.0) * sign;
}

#include "core/text/number_text.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/text/latlon_dms.h"
#include "core/text/latlon_format.h"
#include "core/text/display_chars.h"
#include "core/text/string_helpers.h"
#include "platform/checked_int.h"
#include "platform/locale.h"

namespace {

using zor::platform::DoubleToInt32;

int ClampDecimals(int decimals) { return std::clamp(decimals, 0, kMaxTextDecimals); }

int ResolveDecimals(int decimals, double value) {
  return decimals == -1 ? DecimalsForValue(value) : ClampDecimals(decimals);
}

// The group sizes of a locale grouping text ("3;0", "3;2;0", "3"), right to
// left, and whether the last one repeats (a trailing 0). A size of 0 or an
// unreadable one ends the grouping: the digits left over form one group.
struct Grouping {
  std::vector<int> sizes;
  bool repeatLast = false;
};

Grouping ParseGrouping(const std::string& text) {
  Grouping g;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c >= '1' && c <= '9') {
      g.sizes.push_back(c - '0');
    } else if (c == '0') {
      g.repeatLast = !g.sizes.empty() && i + 1 == text.size();
      break;
    } else if (c != ';') {
      break;
    }
    ++i;
  }
  return g;
}

// The digits grouped from the right with the locale's separator.
std::string GroupDigits(const std::string& digits, const zor::platform::LocaleInfo& loc) {
  const Grouping g = ParseGrouping(loc.grouping);
  std::vector<size_t> cuts;  // group lengths from the right
  size_t left = digits.size();
  size_t k = 0;
  while (left > 0 && !g.sizes.empty()) {
    size_t size = 0;
    if (k < g.sizes.size())
      size = static_cast<size_t>(g.sizes[k]);
    else if (g.repeatLast)
      size = static_cast<size_t>(g.sizes.back());
    else
      break;
    if (size >= left) break;
    cuts.push_back(size);
    left -= size;
    ++k;
  }
  std::string out = digits.substr(0, left);
  size_t pos = left;
  for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
    out += loc.thousandSeparator;
    out.append(digits, pos, *it);
    pos += *it;
  }
  return out;
}

// A whole non-negative number as the locale's number format shows it, then
// cut before the last decimal separator, so only the grouped whole part is
// left ("1,234.00" -> "1,234").
std::string LocaleWholeNumber(uint64_t value) {
  const zor::platform::LocaleInfo& loc = zor::platform::GetUserLocale();
  std::string text = GroupDigits(std::to_string(value), loc);
  if (loc.decimalDigits > 0) {
    text += loc.decimalSeparator;
    text.append(static_cast<size_t>(std::min(loc.decimalDigits, 9)), '0');
  }
  if (!loc.decimalSeparator.empty()) {
    const size_t cut = text.rfind(loc.decimalSeparator);
    if (cut != std::string::npos) text.resize(cut);
  }
  return text;
}

// Whole degrees and minutes rounded to `decimals` from the exact split,
// carried into the next degree when they would print as 60 (which
// ParseLatitudeDm refuses).
void FormatDegreesMinutes(std::string& out, double degrees, int decimals, bool latitude) {
  decimals = ClampDecimals(decimals);
  const ExactSplit split = SplitExactly(degrees);
  long double whole = split.degrees;
  long double minutes = split.fullMinutes;
  if (PrintsAsSixty(minutes, decimals)) {
    minutes = 0.0L;
    whole += 1.0L;
  }
  const char hemisphere = HemisphereLetter(degrees < 0.0, latitude);
  const int width = decimals < 1 ? 2 : decimals + 3;
  out = FormatString(latitude ? "%02d %0*.*Lf %c" : "%03d %0*.*Lf %c",
                     DoubleToInt32(static_cast<double>(whole)), width, decimals, minutes,
                     hemisphere);
}

}  // namespace

std::string& FormatByteSize(std::string& out, uint64_t bytes, bool compact) {
  if (compact) {
    static const char* const kUnits[] = {"KB", "MB", "GB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 2) {
      value /= 1024.0;
      ++unit;
    }
    out = FormatString("%.1f%s", value, kUnits[unit]);
    return out;
  }
  // Whole kilobytes, rounded up, in integers: exact for every count.
  const uint64_t kilobytes = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
  out = LocaleWholeNumber(kilobytes) + "KB";
  return out;
}

std::string& FormatByteSize32(std::string& out, uint32_t bytes, bool compact) {
  return FormatByteSize(out, bytes, compact);
}

std::string FormatSize(double bytes) {
  if (bytes < 1024.0) return FormatString("%d bytes", DoubleToInt32(bytes));
  static const char* const kUnits[] = {"KB", "MB", "GB"};
  double value = bytes / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 2) {
    value /= 1024.0;
    ++unit;
  }
  return FormatString("%.1f %s", value, kUnits[unit]);
}

int DecimalsForValue(double value) {
  if (value == 0.0) return 1;
  const double a = std::fabs(value);
  if (a < 0.00001) return 6;
  if (a < 0.0001) return 5;
  if (a < 0.001) return 4;
  if (a < 0.01) return 3;
  if (a < 0.1) return 2;
  if (a < 1.0) return 1;
  return 0;
}

void FormatDistance(std::string& out, double nauticalMiles, int decimals, int unit) {
  decimals = ResolveDecimals(decimals, nauticalMiles);
  if (unit == kDistanceAuto)
    unit = nauticalMiles >= 0.54 ? kDistanceNauticalMiles : kDistanceMetres;
  switch (unit) {
    case kDistanceNauticalMiles:
      out = FormatString("%.*f NM", decimals, nauticalMiles);
      return;
    case kDistanceMetres:
      out = FormatString("%.*f m", decimals, nauticalMiles * 1852.0);
      return;
    case kDistanceKilometres:
      out = FormatString("%.*f km", decimals, nauticalMiles * 1.852);
      return;
    default:
      out.clear();
      return;
  }
}

void FormatWithUnit(std::string& out, double value, int decimals, const std::string& unit) {
  // The unit is appended, not made part of the format, so a '%' in it
  // ("%" itself is a unit) prints as it stands.
  out = FormatString("%.*f ", ResolveDecimals(decimals, value), value);
  out += unit;
}

void FormatBearing(std::string& out, double degrees, int decimals) {
  double a = degrees;
  if (std::isfinite(a)) {
    // fmod is exact, so this equals stepping by 360 one turn at a time, which
    // would take forever for huge angles.
    // Adding 0 turns -0 into 0, which prints without a sign.
    a = std::fmod(a, 360.0) + 0.0;
    if (a < 0.0) a += 360.0;
    if (a >= 360.0) a -= 360.0;
  }
  out = FormatString("%.*f", ClampDecimals(decimals), a);
  out += GetSpecialChar(kSpecialCharDegree);
}

void FormatLatitudeDm(std::string& out, double degrees, int decimals) {
  FormatDegreesMinutes(out, degrees, decimals, true);
}

void FormatLongitudeDm(std::string& out, double degrees, int decimals) {
  FormatDegreesMinutes(out, degrees, decimals, false);
}

void FormatLatLonDm(std::string& out, const double& latitude, const double& longitude,
                    int decimals) {
  std::string lon;
  FormatLatitudeDm(out, latitude, decimals);
  FormatLongitudeDm(lon, longitude, decimals);
  out += "  ";
  out += lon;
}

void FormatDmsText(std::string& out, double degrees, int decimals, bool latitude) {
  out = FormatDms(degrees, decimals, latitude);
}

void FormatHectometreText(std::string& out, double kilometres, int decimals) {
  decimals = ClampDecimals(decimals);
  const int32_t h = DoubleToInt32(kilometres * 10.0);
  const double metres = std::fabs(kilometres) * 1000.0 - std::fabs(static_cast<double>(h)) * 100.0;
  const int width = decimals + 2 + (decimals != 0 ? 1 : 0);
  out = FormatString("%d%c%0*.*f", h, kilometres < 0.0 ? '-' : '+', width, decimals, metres);
}

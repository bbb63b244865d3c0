#include "core/text/latlon_format.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/checked_int.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;

// What a format prints, in printf argument order.
enum class Layout {
  kDmsLetter,  // d, m, s, H
  kDmLetter,   // d, minutes with fraction, H
  kDecimal,    // signed decimal degrees
  kDmsSigned,  // d, m, s; '+' becomes '-' in the south and west
  kDmSigned,   // d, minutes with fraction; as above
  kRadians,    // signed radians
};

// The four variants of a code's texts, in the order latitude high, latitude
// normal, longitude high, longitude normal.
struct Variants {
  const char* text[4];
};

struct FormatRow {
  Layout layout;
  int decimalsHigh;  // decimals of the last printed field
  int decimalsNormal;
  Variants name;
  Variants mask;
  Variants printf;
};

constexpr FormatRow kFormats[kLatLonFormatCount] = {
    {Layout::kDmsLetter, 5, 3,
     {"dd;mm;ss.sssss H", "dd;mm;ss.sss H", "ddd;mm;ss.sssss H", "ddd;mm;ss.sss H"},
     {"##;##;##.##### N", "##;##;##.### N", "###;##;##.##### E", "###;##;##.### E"},
     {"%2d;%02.2d;%08.5lf %1c", "%2d;%02.2d;%06.3lf %1c", "%3d;%02.2d;%08.5lf %1c",
      "%3d;%02.2d;%06.3lf %1c"}},
    {Layout::kDmLetter, 7, 5,
     {"dd;mm.mmmmmmm H", "dd;mm.mmmmm H", "ddd;mm.mmmmmmm H", "ddd;mm.mmmmm H"},
     {"##;##.####### N", "##;##.##### N", "###;##.####### E", "###;##.##### E"},
     {"%2d;%010.7lf %1c", "%2d;%08.5lf %1c", "%3d;%010.7lf %1c", "%3d;%08.5lf %1c"}},
    {Layout::kDecimal, 9, 7,
     {"+dd.ddddddddd", "+dd.ddddddd", "+ddd.ddddddddd", "+ddd.ddddddd"},
     {"###.#########", "###.#######", "####.#########", "####.#######"},
     {"%13.9lf", "%11.7lf", "%14.9lf", "%12.7lf"}},
    {Layout::kDmsLetter, 3, 3,
     {"dddmmss.sssH", "dddmmss.sssH", "dddmmss.sssH", "dddmmss.sssH"},
     {"#######.###N", "#######.###N", "#######.###E", "#######.###E"},
     {"%3.3d%2.2d%06.3lf%1c", "%3.3d%2.2d%06.3lf%1c", "%3.3d%2.2d%06.3lf%1c",
      "%3.3d%2.2d%06.3lf%1c"}},
    {Layout::kDmsLetter, 1, 1,
     {"dd;mm;ss.s H", "dd;mm;ss.s H", "ddd;mm;ss.s H", "ddd;mm;ss.s H"},
     {"##;##;##.# N", "##;##;##.# N", "###;##;##.# E", "###;##;##.# E"},
     {"%2d;%2.2d;%04.1lf %1c", "%2d;%2.2d;%04.1lf %1c", "%3d;%2.2d;%04.1lf %1c",
      "%3d;%2.2d;%04.1lf %1c"}},
    {Layout::kDmsLetter, 7, 5,
     {"dd;mm;ss.sssssss H", "dd;mm;ss.sssss H", "ddd;mm;ss.sssssss H", "ddd;mm;ss.sssss H"},
     {"##;##;##.####### N", "##;##;##.##### N", "###;##;##.####### E", "###;##;##.##### E"},
     {"%2d;%02.2d;%010.7lf %1c", "%2d;%02.2d;%08.5lf %1c", "%3d;%02.2d;%010.7lf %1c",
      "%3d;%02.2d;%08.5lf %1c"}},
    {Layout::kDmLetter, 9, 7,
     {"dd;mm.mmmmmmmmm H", "dd;mm.mmmmmmm H", "ddd;mm.mmmmmmmmm H", "ddd;mm.mmmmmmm H"},
     {"##;##.######### N", "##;##.####### N", "###;##.######### E", "###;##.####### E"},
     {"%2d;%012.9lf %1c", "%2d;%010.7lf %1c", "%3d;%012.9lf %1c", "%3d;%010.7lf %1c"}},
    {Layout::kDecimal, 11, 9,
     {"+dd.ddddddddddd", "+dd.ddddddddd", "+ddd.ddddddddddd", "+ddd.ddddddddd"},
     {"###.###########", "###.#########", "####.###########", "####.#########"},
     {"%15.11lf", "%13.9lf", "%16.11lf", "%14.9lf"}},
    {Layout::kDmsSigned, 5, 3,
     {"+dd;mm;ss.sssss", "+dd;mm;ss.sss", "+ddd;mm;ss.sssss", "+ddd;mm;ss.sss"},
     {"###;##;##.#####", "###;##;##.###", "####;##;##.#####", "####;##;##.###"},
     {"%+3d;%02.2d;%08.5lf", "%+3d;%02.2d;%06.3lf", "%+4d;%02.2d;%08.5lf",
      "%+4d;%02.2d;%06.3lf"}},
    {Layout::kDmSigned, 7, 5,
     {"+dd;mm.mmmmmmm", "+dd;mm.mmmmm", "+ddd;mm.mmmmmmm", "+ddd;mm.mmmmm"},
     {"###;##.#######", "###;##.#####", "####;##.#######", "####;##.#####"},
     {"%+3d;%010.7lf", "%+3d;%08.5lf", "%+4d;%010.7lf", "%+4d;%08.5lf"}},
    {Layout::kDmsLetter, 5, 3,
     {"dd;mm;ss.sssssH", "dd;mm;ss.sssH", "ddd;mm;ss.sssssH", "ddd;mm;ss.sssH"},
     {"##;##;##.#####N", "##;##;##.###N", "###;##;##.#####E", "###;##;##.###E"},
     {"%02d;%02.2d;%08.5lf%1c", "%02d;%02.2d;%06.3lf%1c", "%03d;%02.2d;%08.5lf%1c",
      "%03d;%02.2d;%06.3lf%1c"}},
    {Layout::kDmsSigned, 7, 5,
     {"+dd;mm;ss.sssssss", "+dd;mm;ss.sssss", "+ddd;mm;ss.sssssss", "+ddd;mm;ss.sssss"},
     {"###;##;##.#######", "###;##;##.#####", "####;##;##.#######", "####;##;##.#####"},
     {"%+3d;%02.2d;%010.7lf", "%+3d;%02.2d;%08.5lf", "%+4d;%02.2d;%010.7lf",
      "%+4d;%02.2d;%08.5lf"}},
    {Layout::kDmLetter, 6, 6,
     {"ddmm.mmmmmm,H", "ddmm.mmmmmm,H", "dddmm.mmmmmm,H", "dddmm.mmmmmm,H"},
     {"####.######,N", "####.######,N", "#####.######,E", "#####.######,E"},
     {"%2d%09.6lf,%1c", "%2d%09.6lf,%1c", "%3d%09.6lf,%1c", "%3d%09.6lf,%1c"}},
    {Layout::kDmLetter, 4, 4,
     {"dd mm.mmmmH", "dd mm.mmmmH", "ddd mm.mmmmH", "ddd mm.mmmmH"},
     {"## ##.####N", "## ##.####N", "### ##.####E", "### ##.####E"},
     {"%2d %07.4lf%1c", "%2d %07.4lf%1c", "%3d %07.4lf%1c", "%3d %07.4lf%1c"}},
    {Layout::kRadians, 12, 10,
     {"+r.rrrrrrrrrrrr", "+r.rrrrrrrrrr", "+r.rrrrrrrrrrrr", "+r.rrrrrrrrrr"},
     {"##.############", "##.##########", "##.############", "##.##########"},
     {"%15.12lf", "%13.10lf", "%15.12lf", "%13.10lf"}},
};

// The printf conversions each layout passes, one letter per argument.
constexpr const char* ConversionsOf(Layout layout) {
  switch (layout) {
    case Layout::kDmsLetter: return "ddfc";
    case Layout::kDmLetter: return "dfc";
    case Layout::kDecimal: return "f";
    case Layout::kDmsSigned: return "ddf";
    case Layout::kDmSigned: return "df";
    case Layout::kRadians: return "f";
  }
  return "";
}

// The conversion letters of a printf format ('d', 'f' or 'c'), skipping
// flags, width, precision and the 'l' length; '?' for anything else.
constexpr bool ConversionsMatch(const char* format, const char* expected) {
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    while (*p == '+' || *p == '-' || *p == ' ' || *p == '#' || *p == '.' ||
           (*p >= '0' && *p <= '9'))
      ++p;
    if (*p == 'l') ++p;
    if (*expected == '\0' || *p != *expected) return false;
    ++expected;
  }
  return *expected == '\0';
}

constexpr bool AllFormatsMatchTheirArguments() {
  for (const FormatRow& row : kFormats)
    for (const char* format : row.printf.text)
      if (!ConversionsMatch(format, ConversionsOf(row.layout))) return false;
  return true;
}
// The formats are passed to vsnprintf at run time; a conversion that did not
// match its argument would be undefined behaviour, so check them here.
static_assert(AllFormatsMatchTheirArguments());

constexpr int kMaxDmsDecimals = 32;

// The value rounded to `decimals` decimals as printf rounds it, as the double
// nearest that text: with at most 15 significant digits that double prints
// back as the same text through a "%.Nlf" of the tables.
double RoundForPrint(long double value, int decimals) {
  if (!(std::fabs(value) < 1e18L)) return static_cast<double>(value);
  char text[64];
  std::snprintf(text, sizeof text, "%.*Lf", decimals, value);
  return std::strtod(text, nullptr);
}

const FormatRow* FindRow(int code) {
  if (code < 0 || code >= kLatLonFormatCount) return nullptr;
  return &kFormats[code];
}

int VariantIndex(bool latitude, bool highPrecision) {
  return (latitude ? 0 : 2) + (highPrecision ? 0 : 1);
}

std::string VariantText(const Variants FormatRow::*column, int code, bool latitude,
                        bool highPrecision) {
  const FormatRow* row = FindRow(code);
  if (row == nullptr) return {};
  return (row->*column).text[VariantIndex(latitude, highPrecision)];
}

__attribute__((format(printf, 2, 3))) void Printf(std::string& out, const char* format, ...) {
  char small[64];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    out.clear();
    return;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
    return;
  }
  out.assign(static_cast<size_t>(n) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(out.data(), out.size(), format, args);
  va_end(args);
  out.resize(static_cast<size_t>(n));
}

int32_t WrapIncrement(int32_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v) + 1u); }

// The angle as the formats take it.
struct Angle {
  int32_t degrees;
  int32_t minutes;
  long double seconds;
  long double fullMinutes;  // minutes with the fraction of the seconds
  char hemisphere;
  double signedDegrees;
};

void PrintAngle(std::string& out, int code, bool latitude, bool highPrecision, Angle a) {
  const FormatRow* row = FindRow(code);
  if (row == nullptr) {
    out.clear();
    return;
  }
  const char* format = row->printf.text[VariantIndex(latitude, highPrecision)];
  const int decimals = highPrecision ? row->decimalsHigh : row->decimalsNormal;
  const int h = static_cast<unsigned char>(a.hemisphere);
  switch (row->layout) {
    case Layout::kDecimal:
      Printf(out, format, a.signedDegrees);
      return;
    case Layout::kRadians:
      Printf(out, format, a.signedDegrees * kDegToRad);
      return;
    case Layout::kDmsLetter:
    case Layout::kDmsSigned: {
      double seconds = RoundForPrint(a.seconds, decimals);
      // Seconds that would round up to 60 go into the minutes.
      if (seconds == 60.0 && a.seconds < 60.0L) {
        seconds = 0.0;
        a.minutes = WrapIncrement(a.minutes);
        if (a.minutes == 60) {
          a.minutes = 0;
          a.degrees = WrapIncrement(a.degrees);
        }
      }
      if (row->layout == Layout::kDmsLetter) {
        Printf(out, format, a.degrees, a.minutes, seconds, h);
        return;
      }
      Printf(out, format, a.degrees, a.minutes, seconds);
      break;
    }
    case Layout::kDmLetter:
    case Layout::kDmSigned: {
      double minutes = RoundForPrint(a.fullMinutes, decimals);
      // Minutes that would round up to 60 go into the degrees.
      if (minutes == 60.0 && a.fullMinutes < 60.0L) {
        minutes = 0.0;
        a.degrees = WrapIncrement(a.degrees);
      }
      if (row->layout == Layout::kDmLetter) {
        Printf(out, format, a.degrees, minutes, h);
        return;
      }
      Printf(out, format, a.degrees, minutes);
      break;
    }
  }
  if (IsNegativeHemisphere(a.hemisphere)) std::replace(out.begin(), out.end(), '+', '-');
}

}  // namespace

std::string GetLatLonFormatName(int code, bool latitude, bool highPrecision) {
  return VariantText(&FormatRow::name, code, latitude, highPrecision);
}

std::string GetLatLonFormatMask(int code, bool latitude, bool highPrecision) {
  return VariantText(&FormatRow::mask, code, latitude, highPrecision);
}

std::string GetLatLonPrintfFormat(int code, bool latitude, bool highPrecision) {
  return VariantText(&FormatRow::printf, code, latitude, highPrecision);
}

void FillLatLonFormatList(zor::platform::IComboBox* combo, int level) {
  if (combo == nullptr) return;
  static constexpr int kShort[] = {0, 1, 2};
  static constexpr int kLong[] = {5, 0, 6, 1, 7, 2};
  const bool high = level >= 2;
  combo->ResetContent();
  auto add = [&](int code) {
    const int index = combo->AddString(GetLatLonFormatName(code, false, high));
    if (index >= 0) combo->SetItemData(index, static_cast<uintptr_t>(code));
  };
  if (level >= 1) {
    for (int code : kLong) add(code);
  } else {
    for (int code : kShort) add(code);
  }
}

void FormatLatLonDms(std::string& out, int code, const sDms& dms, bool latitude,
                     bool highPrecision) {
  PrintAngle(out, code, latitude, highPrecision,
             Angle{dms.degrees, dms.minutes, dms.seconds,
                   dms.minutes + static_cast<long double>(dms.seconds) / 60.0L, dms.hemisphere,
                   DmsRecordToDegrees(dms)});
}

void FormatDmsRecord(std::string& out, int code, const sDms& dms, bool highPrecision) {
  const char h = dms.hemisphere;
  const bool latitude = h == 'N' || h == 'n' || h == 'S' || h == 's';
  FormatLatLonDms(out, code, dms, latitude, highPrecision);
}

void FormatLatLon(std::string& out, int code, double degrees, bool latitude,
                  bool highPrecision) {
  const ExactSplit split = SplitExactly(degrees);
  const double magnitude = std::fabs(degrees);
  const char h = HemisphereLetter(split.negative, latitude);
  PrintAngle(out, code, latitude, highPrecision,
             Angle{zor::platform::DoubleToInt32(static_cast<double>(split.degrees)),
                   zor::platform::DoubleToInt32(static_cast<double>(split.minutes)),
                   split.seconds, split.fullMinutes, h,
                   split.negative ? -magnitude : magnitude});
}

std::string FormatDms(double degrees, int decimals, bool latitude) {
  decimals = std::clamp(decimals, 0, kMaxDmsDecimals);
  ExactSplit split = SplitExactly(degrees);
  if (PrintsAsSixty(split.seconds, decimals)) {
    split.seconds = std::fabs(split.seconds - 60.0L);
    split.minutes += 1.0L;
    if (split.minutes >= 60.0L) {
      split.minutes -= 60.0L;
      split.degrees += 1.0L;
    }
  }
  const char h = HemisphereLetter(split.negative, latitude);
  std::string out;
  Printf(out, "%2d;%02d;%0*.*Lf%c",
         zor::platform::DoubleToInt32(static_cast<double>(split.degrees)),
         zor::platform::DoubleToInt32(static_cast<double>(split.minutes)),
         decimals >= 1 ? decimals + 3 : 2, decimals, split.seconds, h);
  return out;
}

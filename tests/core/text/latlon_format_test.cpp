#include "core/text/latlon_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/text/latlon_parse.h"
#include "platform/ui_controls.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;

std::string Format(int code, double degrees, bool latitude, bool high) {
  std::string out = "previous";
  FormatLatLon(out, code, degrees, latitude, high);
  return out;
}

std::string FormatRecord(int code, const sDms& dms, bool latitude, bool high) {
  std::string out;
  FormatLatLonDms(out, code, dms, latitude, high);
  return out;
}

// Angles near whole minutes and degrees (where printed seconds or minutes
// round up) and a spread over the range.
std::vector<double> SweepValues(bool latitude) {
  const double limit = latitude ? 90.0 : 180.0;
  std::vector<double> v = {0.0, limit, 52.5, 52.999999999, 0.0166666, 0.016666666666,
                           limit - 1e-8, 1.0 / 3600.0, 1e-12};
  if (!latitude) v.push_back(179.99999999);
  for (int minute = 1; minute <= 60; ++minute) {
    for (double eps : {1e-13, 1e-10, 2e-9, 1e-7, 1.4e-6, 1e-5})
      v.push_back(37.0 + minute / 60.0 - eps);
  }
  for (int second = 1; second <= 60; ++second) {
    for (double eps : {1e-12, 3e-9, 1.3e-7, 1.4e-5}) v.push_back(8.0 + (second / 3600.0) - eps);
  }
  std::mt19937_64 rng(latitude ? 1 : 2);
  std::uniform_real_distribution<double> any(0.0, limit);
  for (int i = 0; i < 1500; ++i) v.push_back(any(rng));
  const size_t n = v.size();
  for (size_t i = 0; i < n; ++i) v.push_back(-v[i]);
  return v;
}

// Each run of '#' in the mask holds optional padding spaces, an optional sign
// and then only digits; the mask's 'N' / 'E' holds the hemisphere letter;
// every other character stands as it is.
::testing::AssertionResult FitsMask(const std::string& text, const std::string& mask,
                                    bool latitude) {
  if (text.size() != mask.size())
    return ::testing::AssertionFailure() << '"' << text << "\" vs mask \"" << mask << '"';
  for (size_t i = 0; i < mask.size();) {
    if (mask[i] == 'N' || mask[i] == 'E') {
      const bool ok = latitude ? (text[i] == 'N' || text[i] == 'S')
                               : (text[i] == 'E' || text[i] == 'W');
      if (!ok) return ::testing::AssertionFailure() << "letter in \"" << text << '"';
      ++i;
      continue;
    }
    if (mask[i] != '#') {
      if (text[i] != mask[i])
        return ::testing::AssertionFailure() << '"' << text << "\" vs mask \"" << mask << '"';
      ++i;
      continue;
    }
    size_t j = i;
    while (j < mask.size() && mask[j] == '#' && text[j] == ' ') ++j;
    if (j < mask.size() && mask[j] == '#' && (text[j] == '+' || text[j] == '-')) ++j;
    const size_t digits = j;
    while (j < mask.size() && mask[j] == '#' && text[j] >= '0' && text[j] <= '9') ++j;
    if (j == digits || (j < mask.size() && mask[j] == '#'))
      return ::testing::AssertionFailure() << '"' << text << "\" vs mask \"" << mask << '"';
    i = j;
  }
  return ::testing::AssertionSuccess();
}

// The whole-number part of the field the display name marks with `letter`
// ('m' minutes, 's' seconds); -1 when the format has no such field.
int WholeField(const std::string& text, const std::string& name, char letter) {
  const size_t first = name.find(letter);
  if (first == std::string::npos) return -1;
  size_t last = first;
  while (last < name.size() && name[last] == letter) ++last;
  return std::atoi(text.substr(first, last - first).c_str());
}

// Half a unit of the last printed digit, in degrees, read from the display
// name: the letter before the '.' tells the unit, the letters after it the
// decimals.
double HalfLastDigit(const std::string& name) {
  const size_t dot = name.find('.');
  size_t decimals = 0;
  while (dot + 1 + decimals < name.size() && name[dot + 1 + decimals] == name[dot - 1])
    ++decimals;
  double unit = 1.0;
  switch (name[dot - 1]) {
    case 's': unit = 1.0 / 3600.0; break;
    case 'm': unit = 1.0 / 60.0; break;
    case 'r': unit = 1.0 / kDegToRad; break;
    default: break;
  }
  return 0.5 * std::pow(10.0, -static_cast<double>(decimals)) * unit;
}

// Reads a text of the code back into signed degrees.
bool ReadBack(int code, const std::string& text, bool latitude, double& degrees) {
  switch (code) {
    case 3: {  // dddmmss.sssH
      const double v = std::atoi(text.substr(0, 3).c_str()) +
                       std::atoi(text.substr(3, 2).c_str()) / 60.0 +
                       std::atof(text.substr(5, 6).c_str()) / 3600.0;
      degrees = (text[11] == 'S' || text[11] == 'W') ? -v : v;
      return true;
    }
    case 12: {  // ddmm.mmmmmm,H with a 2- or 3-digit degree field
      const size_t w = latitude ? 2 : 3;
      const double v = std::atoi(text.substr(0, w).c_str()) +
                       std::atof(text.substr(w, 9).c_str()) / 60.0;
      degrees = (text.back() == 'S' || text.back() == 'W') ? -v : v;
      return true;
    }
    case 13:
      return latitude ? ParseLatitudeDm(text, degrees) : ParseLongitudeDm(text, degrees);
    case 14:
      degrees = std::atof(text.c_str()) / kDegToRad;
      return true;
    default:
      return ParseLatLonText(text, degrees);
  }
}

TEST(LatLonFormat, TablesAgreeAndStopAtCode14) {
  for (int code = 0; code < kLatLonFormatCount; ++code) {
    for (bool latitude : {true, false}) {
      for (bool high : {true, false}) {
        const std::string name = GetLatLonFormatName(code, latitude, high);
        const std::string mask = GetLatLonFormatMask(code, latitude, high);
        ASSERT_EQ(name.size(), mask.size()) << code;
        for (size_t i = 0; i < name.size(); ++i) {
          const char n = name[i];
          if (n == 'd' || n == 'm' || n == 's' || n == 'r' || n == '+')
            EXPECT_EQ(mask[i], '#') << code << ' ' << name << ' ' << mask;
          else if (n == 'H')
            EXPECT_EQ(mask[i], latitude ? 'N' : 'E') << code;
          else
            EXPECT_EQ(mask[i], n) << code;
        }
        EXPECT_FALSE(GetLatLonPrintfFormat(code, latitude, high).empty());
      }
    }
  }
  EXPECT_EQ(GetLatLonFormatName(0, true, true), "dd;mm;ss.sssss H");
  EXPECT_EQ(GetLatLonFormatMask(12, false, false), "#####.######,E");
  EXPECT_EQ(GetLatLonPrintfFormat(9, false, true), "%+4d;%010.7lf");
  for (int code : {-1, 15, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
    EXPECT_EQ(GetLatLonFormatName(code, true, true), "");
    EXPECT_EQ(GetLatLonFormatMask(code, false, false), "");
    EXPECT_EQ(GetLatLonPrintfFormat(code, true, false), "");
    EXPECT_EQ(Format(code, 52.5, true, false), "");
    EXPECT_EQ(FormatRecord(code, sDms{52, 30, 0.0f, 'N'}, true, true), "");
  }
}

TEST(LatLonFormat, PrintsKnownTexts) {
  EXPECT_EQ(Format(0, 52.5, true, false), "52;30;00.000 N");
  EXPECT_EQ(Format(0, -4.25, false, false), "  4;15;00.000 W");
  EXPECT_EQ(Format(0, 52.5, true, true), "52;30;00.00000 N");
  EXPECT_EQ(Format(1, -4.25, false, false), "  4;15.00000 W");
  EXPECT_EQ(Format(2, -4.25, false, false), "  -4.2500000");
  EXPECT_EQ(Format(3, 52.175, true, false), "0521030.000N");
  EXPECT_EQ(Format(4, 52.175, true, false), "52;10;30.0 N");
  EXPECT_EQ(Format(8, -52.5, true, false), "-52;30;00.000");
  EXPECT_EQ(Format(8, 52.5, true, false), "+52;30;00.000");
  EXPECT_EQ(Format(9, -4.25, false, true), "  -4;15.0000000");
  EXPECT_EQ(Format(10, 5.5, true, false), "05;30;00.000N");
  EXPECT_EQ(Format(11, -4.25, false, false), "  -4;15;00.00000");
  EXPECT_EQ(Format(12, 52.175, true, false), "5210.500000,N");
  EXPECT_EQ(Format(13, -4.25, false, false), "  4 15.0000W");
  EXPECT_EQ(Format(14, 180.0, false, false), " 3.1415926536");
  EXPECT_EQ(Format(14, -180.0, true, true), "-3.141592653590");
  // Seconds of 59.9996 print as the next minute, never as 60.
  EXPECT_EQ(Format(0, 52.0 + 10.0 / 60.0 + 59.9996 / 3600.0, true, false), "52;11;00.000 N");
  EXPECT_EQ(Format(13, -(52.0 + 59.99996 / 60.0), true, false), "53 00.0000S");
}

// Every code, both variants and both precisions, over angles built to round up.
TEST(LatLonFormat, SweepFitsMaskNeverShowsSixtyAndReadsBack) {
  for (bool latitude : {true, false}) {
    const std::vector<double> values = SweepValues(latitude);
    for (int code = 0; code < kLatLonFormatCount; ++code) {
      for (bool high : {true, false}) {
        const std::string mask = GetLatLonFormatMask(code, latitude, high);
        const std::string name = GetLatLonFormatName(code, latitude, high);
        const double tolerance = HalfLastDigit(name) + 1e-12;
        for (double value : values) {
          const std::string text = Format(code, value, latitude, high);
          ASSERT_TRUE(FitsMask(text, mask, latitude)) << code << ' ' << value;
          ASSERT_LT(WholeField(text, name, 'm'), 60) << text;
          ASSERT_LT(WholeField(text, name, 's'), 60) << text;
          double back = 0;
          ASSERT_TRUE(ReadBack(code, text, latitude, back)) << text;
          // A value that prints as zero may come back with either sign.
          ASSERT_NEAR(std::fabs(value) < tolerance ? std::fabs(back) : back, value, tolerance)
              << code << (high ? " high " : " normal ") << text;
        }
      }
    }
  }
}

// The digits of a code's last printed field and what that field counts.
struct LastField {
  int decimals;
  int64_t unitsPerDegree;  // of the last printed digit
  char kind;               // 's' seconds, 'm' minutes, 'd' degrees
};

LastField LastFieldOf(int code, bool latitude, bool high) {
  const std::string name = GetLatLonFormatName(code, latitude, high);
  const size_t dot = name.find('.');
  const char kind = name[dot - 1];
  int decimals = 0;
  while (dot + 1 + decimals < name.size() && name[dot + 1 + decimals] == kind) ++decimals;
  int64_t units = kind == 's' ? 3600 : kind == 'm' ? 60 : 1;
  for (int i = 0; i < decimals; ++i) units *= 10;
  return LastField{decimals, units, kind};
}

// The text of `value` rounded to the code's last digit, worked out exactly
// from the double's binary value in whole units of that digit. False only on
// an exact tie.
bool ExactText(int code, double value, bool latitude, bool high, std::string& text) {
  const LastField field = LastFieldOf(code, latitude, high);
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(value), &exponent);
  const auto mantissa = static_cast<unsigned __int128>(std::ldexp(fraction, 53));
  const int shift = 53 - exponent;
  if (shift <= 0 || shift > 120) return false;
  const unsigned __int128 scaled = mantissa * static_cast<unsigned __int128>(field.unitsPerDegree);
  const unsigned __int128 one = static_cast<unsigned __int128>(1) << shift;
  unsigned __int128 units = scaled >> shift;
  const unsigned __int128 rest = scaled & (one - 1);
  if (rest == one / 2) return false;
  if (rest > one / 2) ++units;
  int64_t digitUnit = 1;
  for (int i = 0; i < field.decimals; ++i) digitUnit *= 10;
  const auto n = static_cast<int64_t>(units);
  const bool negative = value < 0.0;
  const int h = latitude ? (negative ? 'S' : 'N') : (negative ? 'W' : 'E');
  const std::string format = GetLatLonPrintfFormat(code, latitude, high);
  char buffer[96];
  if (field.kind == 's') {
    const int64_t perMinute = 60 * digitUnit;
    const double seconds = static_cast<double>(n % perMinute) / static_cast<double>(digitUnit);
    const int minutes = static_cast<int>((n / perMinute) % 60);
    const int degrees = static_cast<int>(n / perMinute / 60);
    if (code == 8 || code == 11)
      std::snprintf(buffer, sizeof buffer, format.c_str(), degrees, minutes, seconds);
    else
      std::snprintf(buffer, sizeof buffer, format.c_str(), degrees, minutes, seconds, h);
  } else if (field.kind == 'm') {
    const int64_t perDegree = 60 * digitUnit;
    const double minutes = static_cast<double>(n % perDegree) / static_cast<double>(digitUnit);
    const int degrees = static_cast<int>(n / perDegree);
    if (code == 9)
      std::snprintf(buffer, sizeof buffer, format.c_str(), degrees, minutes);
    else
      std::snprintf(buffer, sizeof buffer, format.c_str(), degrees, minutes, h);
  } else {
    const double degrees = static_cast<double>(n) / static_cast<double>(digitUnit);
    std::snprintf(buffer, sizeof buffer, format.c_str(), negative ? -degrees : degrees);
  }
  text = buffer;
  if (negative && (code == 8 || code == 9 || code == 11))
    std::replace(text.begin(), text.end(), '+', '-');
  return true;
}

int64_t DigitUnits(const LastField& field) {
  int64_t units = 1;
  for (int i = 0; i < field.decimals; ++i) units *= 10;
  return units;
}

// Every text is the angle correctly rounded to its last digit, near the
// carry above all: seconds or minutes just below the point where they print
// as 60 show 59.99..., those at or above it the next minute or degree.
TEST(LatLonFormat, TextsAreCorrectlyRoundedNearTheCarry) {
  std::mt19937_64 rng(7);
  for (int code = 0; code < kLatLonFormatCount; ++code) {
    if (code == 14) continue;  // radians: no exact reference for pi
    for (bool high : {true, false}) {
      for (bool latitude : {true, false}) {
        const LastField field = LastFieldOf(code, latitude, high);
        const double limit = latitude ? 89.0 : 179.0;
        std::vector<double> values;
        std::uniform_real_distribution<double> any(-limit, limit);
        for (int i = 0; i < 300; ++i) values.push_back(any(rng));
        // Just below and above each carry point: the last whole minute (or
        // degree) plus 60 less half a digit.
        const double digit = 1.0 / static_cast<double>(field.unitsPerDegree);
        std::uniform_int_distribution<int> whole(0, static_cast<int>(limit) - 1);
        std::uniform_int_distribution<int> minute(0, 59);
        for (int i = 0; i < 40; ++i) {
          const double base = field.kind == 's' ? whole(rng) + minute(rng) / 60.0 : whole(rng);
          const double step = field.kind == 's' ? 1.0 / 60.0 : 1.0;
          const double edge = base + step - 0.5 * digit;
          for (double offset : {-0.1, -1e-2, -2e-3, 0.0, 2e-3, 1e-2, 0.1}) {
            const double v = edge + offset * digit;
            values.push_back(v);
            values.push_back(-v);
          }
          // The doubles next to a boundary, where a split of the angle in
          // double precision lands on the wrong side of it.
          std::uniform_int_distribution<int64_t> anyDigit(0, 60 * DigitUnits(field) - 1);
          const double inner = base + (static_cast<double>(anyDigit(rng)) + 0.5) * digit;
          for (double v : {edge, inner}) {
            double below = v;
            double above = v;
            for (int ulp = 0; ulp < 3; ++ulp) {
              below = std::nextafter(below, 0.0);
              above = std::nextafter(above, 360.0);
              for (double w : {below, above}) {
                values.push_back(w);
                values.push_back(-w);
              }
            }
          }
        }
        int compared = 0;
        for (double value : values) {
          std::string expected;
          if (!ExactText(code, value, latitude, high, expected)) continue;
          ++compared;
          ASSERT_EQ(Format(code, value, latitude, high), expected)
              << "code " << code << (high ? " high " : " normal ")
              << (latitude ? "latitude " : "longitude ") << value;
        }
        EXPECT_GT(compared, 600) << code;
      }
    }
  }
}

// The carry is decided by the digits printf prints, not by a comparison with
// the double nearest 60 less half a digit: for 4, 5 and 9 decimals that
// double lies just below the true point and prints as 59.99..., so it must
// not be carried, while the next double up prints as 60 and is.
TEST(LatLonFormat, CarryFollowsThePrintedDigitsAtTheBoundary) {
  struct Case {
    int code;
    bool high;
    const char* below;  // minutes equal to the double nearest the point
    const char* above;  // minutes one double higher
  };
  const Case cases[] = {{13, false, " 0 59.9999N", " 1 00.0000N"},
                        {13, true, " 0 59.9999N", " 1 00.0000N"},
                        {1, false, " 0;59.99999 N", " 1;00.00000 N"},
                        {9, false, " +0;59.99999", " +1;00.00000"},
                        {6, true, " 0;59.999999999 N", " 1;00.000000000 N"}};
  for (const Case& c : cases) {
    const int decimals = LastFieldOf(c.code, true, c.high).decimals;
    const std::string edge = "59." + std::string(static_cast<size_t>(decimals), '9') + "5";
    const double nearest = std::strtod(edge.c_str(), nullptr);
    for (double minutes : {nearest, std::nextafter(nearest, 60.0)}) {
      // An angle below 1 degree whose split gives exactly these minutes:
      // its steps are fine enough to reach every double near 60.
      double angle = minutes / 60.0;
      for (int i = 0; i < 8 && angle * 60.0 != minutes; ++i)
        angle = std::nextafter(angle, angle * 60.0 < minutes ? 1.0 : 0.0);
      ASSERT_EQ(angle * 60.0, minutes) << c.code;
      char printed[64];
      std::snprintf(printed, sizeof printed, "%.*f", decimals, minutes);
      EXPECT_EQ(Format(c.code, angle, true, c.high), printed[0] == '5' ? c.below : c.above)
          << c.code << ' ' << printed;
    }
  }
}

TEST(LatLonFormat, PrintsRecordsAsTheyStandButNeverSixty) {
  const sDms south{52, 30, 0.0f, 's'};
  EXPECT_EQ(FormatRecord(8, south, true, false), "-52;30;00.000");
  EXPECT_EQ(FormatRecord(0, south, true, false), "52;30;00.000 s");
  EXPECT_EQ(FormatRecord(2, south, true, false), "-52.5000000");
  // A record that was not carried for the format still prints no 60.
  EXPECT_EQ(FormatRecord(0, sDms{52, 59, 59.9997f, 'N'}, true, false), "53;00;00.000 N");
  EXPECT_EQ(FormatRecord(1, sDms{52, 59, 59.9999f, 'N'}, true, false), "53;00.00000 N");
  EXPECT_EQ(FormatRecord(0, sDms{52, 58, 59.9997f, 'N'}, true, false), "52;59;00.000 N");

  std::string out;
  FormatDmsRecord(out, 0, sDms{4, 15, 0.0f, 'W'}, false);
  EXPECT_EQ(out, "  4;15;00.000 W");
  FormatDmsRecord(out, 0, sDms{4, 15, 0.0f, 's'}, false);
  EXPECT_EQ(out, " 4;15;00.000 s");
}

TEST(LatLonFormat, NonFiniteAndHugeAnglesPrintWithoutFault) {
  const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(), 1e300, -5e9};
  for (double value : values) {
    for (int code = 0; code < kLatLonFormatCount; ++code) {
      EXPECT_FALSE(Format(code, value, true, true).empty()) << code;
      EXPECT_FALSE(Format(code, value, false, false).empty()) << code;
    }
    EXPECT_FALSE(FormatDms(value, 3, true).empty());
  }
  EXPECT_EQ(Format(7, 1e300, false, true).size(), 301u + 1u + 11u);
}

// FormatDms is the angle correctly rounded to its last decimal of a second,
// worked out exactly from the double's binary value, also for the doubles
// right next to a rounding boundary.
TEST(LatLonFormat, FormatDmsIsCorrectlyRounded) {
  std::mt19937_64 rng(11);
  std::uniform_int_distribution<int> whole(0, 179);
  std::uniform_int_distribution<int> minute(0, 59);
  int compared = 0;
  for (int decimals = 0; decimals <= 9; ++decimals) {
    int64_t digitUnit = 1;
    for (int i = 0; i < decimals; ++i) digitUnit *= 10;
    std::uniform_int_distribution<int64_t> anyDigit(0, 60 * digitUnit);
    for (int i = 0; i < 300; ++i) {
      // Half a digit above a whole digit of the seconds, the last one of a
      // minute often, then a few doubles either side.
      const int64_t k = i % 3 == 0 ? 60 * digitUnit : anyDigit(rng);
      double v = whole(rng) + minute(rng) / 60.0 +
                 (static_cast<double>(k) - 0.5) / static_cast<double>(digitUnit) / 3600.0;
      v = std::nextafter(v, i % 2 == 0 ? 0.0 : 360.0);
      if (i % 4 == 0) v = std::nextafter(v, 360.0);
      if (i % 5 == 0) v = -v;
      int exponent = 0;
      const double fraction = std::frexp(std::fabs(v), &exponent);
      const auto mantissa = static_cast<unsigned __int128>(std::ldexp(fraction, 53));
      const int shift = 53 - exponent;
      const unsigned __int128 scaled =
          mantissa * static_cast<unsigned __int128>(3600 * digitUnit);
      const unsigned __int128 one = static_cast<unsigned __int128>(1) << shift;
      auto units = static_cast<int64_t>(scaled >> shift);
      const unsigned __int128 rest = scaled & (one - 1);
      if (rest == one / 2) continue;
      if (rest > one / 2) ++units;
      const int64_t perMinute = 60 * digitUnit;
      char expected[96];
      int n = std::snprintf(expected, sizeof expected, "%2d;%02d;%02lld",
                            static_cast<int>(units / perMinute / 60),
                            static_cast<int>(units / perMinute % 60),
                            static_cast<long long>(units % perMinute / digitUnit));
      if (decimals >= 1)
        n += std::snprintf(expected + n, sizeof expected - static_cast<size_t>(n), ".%0*lld",
                           decimals, static_cast<long long>(units % digitUnit));
      std::snprintf(expected + n, sizeof expected - static_cast<size_t>(n), "%c",
                    v < 0.0 ? 'S' : 'N');
      ASSERT_EQ(FormatDms(v, decimals, true), expected) << decimals << ' ' << v;
      ++compared;
    }
  }
  EXPECT_GT(compared, 2900);
}

TEST(LatLonFormat, FormatDmsCarriesAndClampsDecimals) {
  EXPECT_EQ(FormatDms(10.999999, 2, true), "11;00;00.00N");
  EXPECT_EQ(FormatDms(-4.25, 3, false), " 4;15;00.000W");
  EXPECT_EQ(FormatDms(52.5, -3, true), "52;30;00N");
  EXPECT_EQ(FormatDms(52.0 + 10.0 / 60.0 + 59.6 / 3600.0, 0, true), "52;11;00N");
  EXPECT_EQ(FormatDms(52.0 + 10.0 / 60.0 + 59.4 / 3600.0, 0, true), "52;10;59N");
  EXPECT_EQ(FormatDms(52.5, std::numeric_limits<int>::max(), true).size(), 42u);
  for (int decimals = 0; decimals <= 12; ++decimals) {
    for (double value : SweepValues(false)) {
      const std::string text = FormatDms(value, decimals, false);
      const size_t minutes = text.find(';') + 1;
      ASSERT_EQ(text[minutes + 2], ';') << text;
      ASSERT_LT(std::atoi(text.substr(minutes, 2).c_str()), 60) << text;
      ASSERT_LT(std::atoi(text.substr(minutes + 3, 2).c_str()), 60) << text;
    }
  }
}

class RecordingCombo : public zor::platform::IComboBox {
 public:
  std::vector<std::pair<std::string, uintptr_t>> items;
  int resets = 0;

  void ResetContent() override { ++resets, items.clear(); }
  int AddString(std::string_view text) override {
    items.emplace_back(std::string(text), 0);
    return GetCount() - 1;
  }
  bool SetItemData(int index, uintptr_t data) override {
    return Valid(index) && (items[static_cast<size_t>(index)].second = data, true);
  }
  uintptr_t GetItemData(int index) const override {
    return Valid(index) ? items[static_cast<size_t>(index)].second : 0;
  }
  std::string GetItemText(int index) const override {
    return Valid(index) ? items[static_cast<size_t>(index)].first : "";
  }
  int SetCurSel(int) override { return zor::platform::kComboError; }  // not used here
  int GetCurSel() const override { return zor::platform::kComboError; }
  int GetCount() const override { return static_cast<int>(items.size()); }

 private:
  bool Valid(int index) const { return index >= 0 && index < GetCount(); }
};

TEST(LatLonFormat, FillsFormatListByLevel) {
  RecordingCombo combo;
  combo.AddString("left over");
  const std::vector<std::pair<int, std::vector<uintptr_t>>> levels = {
      {-1, {0, 1, 2}}, {0, {0, 1, 2}}, {1, {5, 0, 6, 1, 7, 2}}, {2, {5, 0, 6, 1, 7, 2}}};
  for (const auto& [level, codes] : levels) {
    FillLatLonFormatList(&combo, level);
    ASSERT_EQ(combo.GetCount(), static_cast<int>(codes.size())) << level;
    for (int i = 0; i < combo.GetCount(); ++i) {
      const int code = static_cast<int>(codes[static_cast<size_t>(i)]);
      EXPECT_EQ(combo.GetItemData(i), codes[static_cast<size_t>(i)]);
      EXPECT_EQ(combo.GetItemText(i), GetLatLonFormatName(code, false, level >= 2));
    }
  }
  EXPECT_EQ(combo.GetItemText(0), "ddd;mm;ss.sssssss H");
  EXPECT_EQ(combo.resets, 4);
  FillLatLonFormatList(nullptr, 1);  // no control: nothing happens
}

}  // namespace

#include "core/text/number_text.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/text/latlon_format.h"
#include "core/text/display_chars.h"
#include "core/text/latlon_parse.h"
#include "platform/locale.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string ByteSize(uint64_t bytes, bool compact) {
  std::string out = "previous";
  return FormatByteSize(out, bytes, compact);
}

std::string GroupedIn(const char* thousands, const char* decimal, const char* grouping,
                      int decimalDigits, uint64_t kilobytes) {
  zor::platform::LocaleInfo loc = zor::platform::DefaultLocale();
  loc.thousandSeparator = thousands;
  loc.decimalSeparator = decimal;
  loc.grouping = grouping;
  loc.decimalDigits = decimalDigits;
  zor::platform::SetUserLocale(loc);
  const std::string text = ByteSize(kilobytes * 1024, false);
  zor::platform::ResetUserLocale();
  return text;
}

TEST(NumberTextByteSize, CompactStepsUpToGigabytesOnly) {
  EXPECT_EQ(ByteSize(1572864, true), "1.5MB");
  EXPECT_EQ(ByteSize(1023, true), "1.0KB");        // 0.999 KB
  EXPECT_EQ(ByteSize(1048575, true), "1024.0KB");  // 1023.999 KB prints rounded
  EXPECT_EQ(ByteSize(UINT64_MAX, true), "17179869184.0GB");
  std::string out;
  EXPECT_EQ(FormatByteSize32(out, 5u << 20, true), "5.0MB");
}

TEST(NumberTextByteSize, WholeKilobytesRoundUpAndGroupAsTheLocale) {
  EXPECT_EQ(ByteSize(1234 * 1024, false), "1,234KB");
  EXPECT_EQ(ByteSize(1234 * 1024 + 1, false), "1,235KB");
  EXPECT_EQ(ByteSize(0, false), "0KB");
  // Longer than the Windows programs' 11 characters: shown whole, exactly (2^54).
  EXPECT_EQ(ByteSize(UINT64_MAX, false), "18,014,398,509,481,984KB");
  std::string out;
  EXPECT_EQ(FormatByteSize32(out, UINT32_MAX, false), "4,194,304KB");
  EXPECT_EQ(GroupedIn(".", ",", "3;0", 2, 1234567), "1.234.567KB");
  EXPECT_EQ(GroupedIn(",", ".", "3;2;0", 2, 12345678), "1,23,45,678KB");
  EXPECT_EQ(GroupedIn(",", ".", "3", 0, 12345678), "12345,678KB");  // no repeat
  EXPECT_EQ(GroupedIn(" ", ".", "0", 3, 12345678), "12345678KB");
}

TEST(NumberTextSize, BytesThenBinaryUnits) {
  EXPECT_EQ(FormatSize(1023.9), "1023 bytes");
  EXPECT_EQ(FormatSize(1536), "1.5 KB");
  EXPECT_EQ(FormatSize(1024.0 * 1024 * 1024 * 1024), "1024.0 GB");
  EXPECT_EQ(FormatSize(-1e12), "-2147483648 bytes");  // checked conversion
  EXPECT_EQ(FormatSize(kInf), "inf GB");
}

TEST(NumberTextDecimals, FirstSignificantDigit) {
  const struct {
    double value;
    int decimals;
  } cases[] = {{0.0, 1},    {0.000001, 6}, {0.00001, 5}, {-0.00005, 5}, {0.0005, 4},
               {0.005, 3},  {0.05, 2},     {-0.5, 1},    {1.0, 0},      {kNaN, 0}};
  for (const auto& c : cases) EXPECT_EQ(DecimalsForValue(c.value), c.decimals) << c.value;
}

TEST(NumberTextDistance, UnitsDecimalsAndAutomaticChoice) {
  const struct {
    double nm;
    int decimals;
    int unit;
    const char* text;
  } cases[] = {
      {0.5, -1, kDistanceAuto, "926.0 m"},
      {2.0, 2, kDistanceAuto, "2.00 NM"},
      {0.54, 1, kDistanceAuto, "0.5 NM"},
      {-3.0, 0, kDistanceAuto, "-5556 m"},
      {1.0, 3, kDistanceKilometres, "1.852 km"},
      {0.05, -1, kDistanceNauticalMiles, "0.05 NM"},
      {1.25, -7, kDistanceNauticalMiles, "1 NM"},
      {1e308, 2, kDistanceMetres, "inf m"},
      {2.0, 2, 7, ""},
      {2.0, 2, -1, ""},
  };
  for (const auto& c : cases) {
    std::string out = "previous";
    FormatDistance(out, c.nm, c.decimals, c.unit);
    EXPECT_EQ(out, c.text) << c.nm << " " << c.decimals << " " << c.unit;
  }
  std::string out;
  FormatDistance(out, 1.0, 1 << 30, kDistanceNauticalMiles);
  EXPECT_EQ(out, "1." + std::string(kMaxTextDecimals, '0') + " NM");
}

TEST(NumberTextWithUnit, UnitIsCopiedAsItStands) {
  std::string out;
  FormatWithUnit(out, 0.004, -1, "m");
  EXPECT_EQ(out, "0.004 m");
  // Printf directives in a unit must not be read as a format.
  FormatWithUnit(out, 50.0, 1, "%");
  EXPECT_EQ(out, "50.0 %");
  FormatWithUnit(out, 1.0, 0, "%s%n%d");
  EXPECT_EQ(out, "1 %s%n%d");
}

TEST(NumberTextBearing, IntoOneTurnWithTheDegreeSign) {
  const std::string deg = GetSpecialChar(kSpecialCharDegree);
  const struct {
    double degrees;
    int decimals;
    const char* text;
  } cases[] = {{-90.0, 0, "270"},     {720.0, 0, "0"},        {360.0, 1, "0.0"},
               {-1e-20, 1, "0.0"},    {-719.5, 1, "0.5"},     {12345.25, 2, "105.25"},
               {kInf, 0, "inf"},      {-0.0, 1, "0.0"},       {-360.0, 0, "0"},
               {-720.0, 2, "0.00"}};
  for (const auto& c : cases) {
    std::string out;
    FormatBearing(out, c.degrees, c.decimals);
    EXPECT_EQ(out, c.text + deg) << c.degrees;
  }
  // Stepping one turn at a time would never end here.
  std::string out;
  FormatBearing(out, 1e300, 0);
  const double a = std::stod(out);
  EXPECT_TRUE(a >= 0.0 && a < 360.0) << out;
}

TEST(NumberTextDegreesMinutes, LatitudeLongitudePairAndDms) {
  std::string out;
  FormatLatitudeDm(out, -52.5, 3);
  EXPECT_EQ(out, "52 30.000 S");
  FormatLatitudeDm(out, 5.125, 1);
  EXPECT_EQ(out, "05 07.5 N");
  FormatLatitudeDm(out, 52.5, 0);
  EXPECT_EQ(out, "52 30 N");
  FormatLongitudeDm(out, -4.25, 2);
  EXPECT_EQ(out, "004 15.00 W");
  // Minutes never print as 60: they carry into the degrees, and the text
  // reads back.
  FormatLatitudeDm(out, 52.9999999, 3);
  EXPECT_EQ(out, "53 00.000 N");
  FormatLongitudeDm(out, -179.99999999, 5);
  EXPECT_EQ(out, "180 00.00000 W");
  FormatLatitudeDm(out, 0.9999999999, 0);
  EXPECT_EQ(out, "01 00 N");
  for (int decimals = 0; decimals <= 9; ++decimals) {
    for (int degree = 0; degree < 90; degree += 7) {
      const double edge = degree + 1.0 - 0.5 * std::pow(10.0, -decimals) / 60.0;
      double v = edge;
      for (int i = 0; i < 6; ++i, v = std::nextafter(v, i < 3 ? 0.0 : 90.0)) {
        if (i == 3) v = edge;
        FormatLatitudeDm(out, -v, decimals);
        EXPECT_EQ(out.find(" 60"), std::string::npos) << out;
        double back = 0;
        ASSERT_TRUE(ParseLatitudeDm(out, back)) << out;
        EXPECT_NEAR(back, -v, 0.51 * std::pow(10.0, -decimals) / 60.0 + 1e-12) << out;
      }
    }
  }
  FormatLatLonDm(out, -52.5, 4.25, 1);
  EXPECT_EQ(out, "52 30.0 S  004 15.0 E");
  FormatDmsText(out, 10.999999, 2, true);
  EXPECT_EQ(out, "11;00;00.00N");
  FormatDmsText(out, -4.5, 0, false);
  EXPECT_EQ(out, FormatDms(-4.5, 0, false));
}

TEST(NumberTextHectometre, HectometresSignAndMetres) {
  const struct {
    double km;
    int decimals;
    const char* text;
  } cases[] = {{12.345, 2, "123+45.00"}, {-0.05, 0, "0-50"}, {-12.345, 1, "-123-45.0"},
               {0.0, 0, "0+00"},         {0.1234, 1, "1+23.4"}};
  for (const auto& c : cases) {
    std::string out;
    FormatHectometreText(out, c.km, c.decimals);
    EXPECT_EQ(out, c.text) << c.km;
  }
  std::string out;
  FormatHectometreText(out, 1e12, 0);  // beyond the int range
  EXPECT_EQ(out.substr(0, 12), "-2147483648+");
}

}  // namespace

#include "core/text/number_pick.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/locale.h"

namespace {

TEST(ParseFirstNumberTest, FindsTheFirstNumber) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"12.5", 12.5},   {" 12.5", 12.5}, {"x12.5", 12.5},     {"-3", -3},
      {"+3", 3},        {"a-5b", -5},     {"7", 7},            {"a7", 7},
      {"1.2.3", 1.2},   {"--5", -5},      {"5-", 5},           {"4807.038,N", 4807.038},
      {"007", 7},       {"12.", 12},      {"x 3 4", 3},        {"-x5", 5},
      {"0", 0},         {"\xB5" "9", 9},  {"+.5", 0.5},
  };
  for (const Case& c : cases) {
    double v = -1234;
    EXPECT_TRUE(ParseFirstNumber(c.text, v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(ParseFirstNumberTest, PointBeforeTheFirstDigitBelongsToTheNumber) {
  double v = 0;
  ASSERT_TRUE(ParseFirstNumber(".5", v));
  EXPECT_EQ(v, 0.5);
  ASSERT_TRUE(ParseFirstNumber("-.5", v));
  EXPECT_EQ(v, -0.5);
  ASSERT_TRUE(ParseFirstNumber("x-.25m", v));
  EXPECT_EQ(v, -0.25);
  ASSERT_TRUE(ParseFirstNumber("-..5", v));  // two points: only the one next to the digit
  EXPECT_EQ(v, 0.5);
}

TEST(ParseFirstNumberTest, FailuresLeaveTheValue) {
  for (const char* text : {"", "x", "ab", "-", ".", "-.", "+", "\xB0"}) {
    double v = 42;
    EXPECT_FALSE(ParseFirstNumber(text, v)) << text;
    EXPECT_EQ(v, 42) << text;
  }
}

TEST(ParseFirstNumberTest, NoValueMarkerAndNonFiniteGiveFalse) {
  char marker[64];
  std::snprintf(marker, sizeof marker, "%.0f", -static_cast<double>(FLT_MAX));
  ASSERT_EQ(std::strtod(marker, nullptr), kNoNumberValue);
  double v = 42;
  EXPECT_FALSE(ParseFirstNumber(marker, v));
  EXPECT_FALSE(ParseFirstNumber(std::string("depth ") + marker + " m", v));
  EXPECT_EQ(v, 42);

  const std::string huge(400, '9');
  EXPECT_FALSE(ParseFirstNumber(huge, v));
  EXPECT_EQ(v, 42);

  // Underflow is not an error: the value is tiny and finite.
  const std::string tiny = "0." + std::string(400, '0') + "1";
  ASSERT_TRUE(ParseFirstNumber(tiny, v));
  EXPECT_GE(v, 0.0);
  EXPECT_LT(v, 1e-300);
}

TEST(IsNumberTest, SignsAndPoint) {
  for (const char* yes : {" -1.5 ", "1", "+1", "-", "+", ".", "1.", ".5", "-.5", "007"})
    EXPECT_TRUE(IsNumber(yes)) << yes;
  for (const char* no : {"", "   ", "1.2.3", "1+2", "--1", "+-1", "1-", "1e5", "1,5", "1 2",
                         "\xB5"})
    EXPECT_FALSE(IsNumber(no)) << no;
}

TEST(IsIntegerTest, DigitsAndSignsAnywhere) {
  for (const char* yes : {"12", " -12 ", "1-2+", "+", "--"}) EXPECT_TRUE(IsInteger(yes)) << yes;
  for (const char* no : {"", " ", "1.0", "1a", "0x1"}) EXPECT_FALSE(IsInteger(no)) << no;
}

TEST(HexTextToIntTest, FoldsIn32Bits) {
  EXPECT_EQ(HexTextToInt(""), 0);
  EXPECT_EQ(HexTextToInt("1f"), 31);
  EXPECT_EQ(HexTextToInt("1F"), 31);
  EXPECT_EQ(HexTextToInt("7FFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(HexTextToInt("FFFFFFFF"), -1);
  EXPECT_EQ(HexTextToInt("123456789"), 0x23456789);  // the top digit falls off
  EXPECT_EQ(HexTextToInt("G"), 16);                    // not rejected: 'G' - '7'
  EXPECT_EQ(HexTextToInt("1G"), 32);
}

class DecimalSeparatorTest : public ::testing::Test {
 protected:
  void TearDown() override { zor::platform::ResetUserLocale(); }
  static void UseComma() {
    zor::platform::LocaleInfo loc = zor::platform::DefaultLocale();
    loc.decimalSeparator = ",";
    zor::platform::SetUserLocale(loc);
  }
  static std::string Trimmed(std::string s, int min_decimals) {
    TrimTrailingZeros(s, min_decimals);
    return s;
  }
};

TEST_F(DecimalSeparatorTest, TrimTrailingZeros) {
  EXPECT_EQ(Trimmed("12.500", 0), "12.5");
  EXPECT_EQ(Trimmed("12.000", 0), "12");
  EXPECT_EQ(Trimmed("12.000", 2), "12.00");
  EXPECT_EQ(Trimmed("12.500", 2), "12.50");
  EXPECT_EQ(Trimmed("12.5", 3), "12.5");
  EXPECT_EQ(Trimmed("12.", 0), "12");
  EXPECT_EQ(Trimmed("1200", 0), "1200");
  EXPECT_EQ(Trimmed("100.0", -5), "100");
  EXPECT_EQ(Trimmed("1.0.0", 0), "1.0");  // the last point counts
  EXPECT_EQ(Trimmed("", 0), "");
  // An exponent is never cut.
  EXPECT_EQ(Trimmed("1.5e10", 0), "1.5e10");
  EXPECT_EQ(Trimmed("2.000E+100", 0), "2.000E+100");
}

TEST_F(DecimalSeparatorTest, UserSeparator) {
  EXPECT_EQ(GetDecimalSeparator(), '.');
  UseComma();
  EXPECT_EQ(GetDecimalSeparator(), ',');
  EXPECT_EQ(Trimmed("12,500", 0), "12,5");
  EXPECT_EQ(Trimmed("12,000", 0), "12");
  EXPECT_EQ(Trimmed("12.500", 0), "12.5");     // falls back to '.'
  EXPECT_EQ(Trimmed("1.000,500", 0), "1.000,5");  // the user separator wins
}

TEST(RoundNumberTextTest, RoundsInDoublePrecision) {
  std::string s = "0.1234567891";
  RoundNumberText(s, 9);
  EXPECT_EQ(s, "0.123456789");  // a float copy would give 0.123456791
  s = " 2.25 ";
  RoundNumberText(s, 1);
  EXPECT_EQ(s, "2.2");
  s = "-1.5";
  RoundNumberText(s, 3);
  EXPECT_EQ(s, "-1.500");
  s = "16777217.0";
  RoundNumberText(s, 0);
  EXPECT_EQ(s, "16777217");
  // printf fails near INT_MAX decimals; the text used to come back empty.
  // No double has more than 1074 decimals, so none is lost by stopping there.
  for (int decimals : {1074, 100000, INT_MAX}) {
    s = "0.5";
    RoundNumberText(s, decimals);
    EXPECT_EQ(s, "0." + std::string(1074, '0').replace(0, 1, "5")) << decimals;
  }
}

TEST(RoundNumberTextTest, LeavesOtherTextsAlone) {
  for (const char* text : {"123", "abc.1", "1.2.3", ""}) {
    std::string s = text;
    RoundNumberText(s, 2);
    EXPECT_EQ(s, text);
  }
  std::string s = "1.25";
  RoundNumberText(s, -1);
  EXPECT_EQ(s, "1.25");
}

TEST(ToBinaryTextTest, NoLeadingZeros) {
  EXPECT_EQ(ToBinaryText(0), "0");
  EXPECT_EQ(ToBinaryText(1), "1");
  EXPECT_EQ(ToBinaryText(5), "101");
  EXPECT_EQ(ToBinaryText(0x80000000u), "1" + std::string(31, '0'));
  EXPECT_EQ(ToBinaryText(0xFFFFFFFFu), std::string(32, '1'));
}

}  // namespace

#include "core/time/time_text.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/time/calendar.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "tests/support/system_time_builder.h"

namespace {

using zor::platform::SYSTEMTIME;

bool Same(const SYSTEMTIME& a, const SYSTEMTIME& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The fields as "y-m-d h:m:s.ms" (day of week left out: it must be 0).
std::string Fields(const SYSTEMTIME& st) {
  if (st.wDayOfWeek != 0) return "day of week set";
  return std::to_string(st.wYear) + "-" + std::to_string(st.wMonth) + "-" +
         std::to_string(st.wDay) + " " + std::to_string(st.wHour) + ":" +
         std::to_string(st.wMinute) + ":" + std::to_string(st.wSecond) + "." +
         std::to_string(st.wMilliseconds);
}

// ---- Printing.

TEST(TimeTextPrint, LocaleOrDecimalClockDateFirstOrClockFirst) {
  const SYSTEMTIME st = MakeSystemTime(2019, 3, 6, 12, 34, 56, 789);
  EXPECT_EQ(FormatSystemDateTimeLocale(&st, true), "3/6/2019 12:34:56");
  EXPECT_EQ(FormatSystemDateTimeDecimals(&st, 0, true), "3/6/2019 12:34:56");
  EXPECT_EQ(FormatSystemDateTimeDecimals(&st, 1, true), "3/6/2019 12:34:56.7");
  EXPECT_EQ(FormatSystemDateTimeDecimals(&st, 2, true), "3/6/2019 12:34:56.78");
  EXPECT_EQ(FormatSystemDateTimeDecimals(&st, 3, false), "3/6/2019");
  EXPECT_EQ(FormatSystemDateTimeDecimals(&st, 4, true), "3/6/2019 ");
  EXPECT_EQ(FormatSystemTimeDateLocale(&st, true), "12:34:56 3/6/2019");
  EXPECT_EQ(FormatSystemTimeDateDecimals(&st, 3, true), "12:34:56.789 3/6/2019");
  EXPECT_EQ(FormatSystemTimeDateDecimals(&st, 9, true), " 3/6/2019");
  // A zero date (date first), a zero clock (clock first) or no record.
  const SYSTEMTIME clockOnly = MakeSystemTime(0, 0, 0, 12, 34, 56);
  const SYSTEMTIME midnight = MakeSystemTime(2019, 3, 6, 0, 0, 0, 500);
  EXPECT_EQ(FormatSystemDateTimeLocale(&clockOnly, true), "00:00:00");
  EXPECT_EQ(FormatSystemDateTimeDecimals(&clockOnly, 3, true), "00:00:00");
  EXPECT_EQ(FormatSystemTimeDateLocale(&midnight, true), "00:00:00");
  EXPECT_EQ(FormatSystemTimeDateDecimals(&midnight, 3, true), "00:00:00");
  EXPECT_EQ(FormatSystemDateTimeLocale(nullptr, true), "00:00:00");
  EXPECT_EQ(FormatSystemTimeDateDecimals(nullptr, 0, false), "00:00:00");
  // A date the locale cannot show is empty; the clock still prints.
  const SYSTEMTIME bad = MakeSystemTime(2019, 13, 6, 1, 2, 3);
  EXPECT_EQ(FormatSystemDateTimeLocale(&bad, true), " 01:02:03");
}

TEST(TimeTextPrint, LocalePatternIsFollowedAndTrimmed) {
  zor::platform::LocaleInfo loc = zor::platform::DefaultLocale();
  loc.shortDate = "dd.MM.yyyy  ";
  zor::platform::SetUserLocale(loc);
  const SYSTEMTIME st = MakeSystemTime(2019, 3, 6, 12, 34, 56);
  const std::string a = FormatSystemDateTimeLocale(&st, true);
  const std::string b = FormatSystemTimeDateLocale(&st, true);
  // Longer than 11 characters: shown whole rather than dropped.
  loc.shortDate = "dddd, d MMMM yyyy";
  zor::platform::SetUserLocale(loc);
  const std::string c = FormatSystemDateTimeLocale(&st, false);
  zor::platform::ResetUserLocale();
  EXPECT_EQ(a, "06.03.2019 12:34:56");
  EXPECT_EQ(b, "12:34:56 06.03.2019");
  EXPECT_EQ(c, "Wednesday, 6 March 2019");
}

TEST(TimeTextPrint, TodayAndNowFollowTheClock) {
  for (bool utc : {true, false}) {
    // The clock read on both sides: a tick of the date between is no failure.
    auto now = [utc] {
      return utc ? zor::platform::GetSystemTime() : zor::platform::GetLocalTime();
    };
    const SYSTEMTIME before = now();
    const std::string today = FormatToday(utc);
    const SYSTEMTIME after = now();
    EXPECT_TRUE(today == FormatSystemDateTimeLocale(&before, false) ||
                today == FormatSystemDateTimeLocale(&after, false));
    for (int decimals : {-1, 0, 1, 2, 3, 7}) {
      const std::string clock = FormatNowClock(utc, decimals);
      EXPECT_EQ(clock.size(), decimals <= 0 ? 8u : 9u + std::min(decimals, 3)) << clock;
      EXPECT_LT(TimeTextToSeconds(clock.c_str()), 86400.0);
    }
  }
}

TEST(TimeTextPrint, IsoParts) {
  const SYSTEMTIME st = MakeSystemTime(2019, 3, 6, 12, 34, 56, 789);
  EXPECT_EQ(FormatIsoDateTime(st, kIsoDateAndTime, 1), "2019-03-06T12:34:56.789+01:00");
  EXPECT_EQ(FormatIsoDateTime(st, kIsoDateOnly, 1), "2019-03-06");
  EXPECT_EQ(FormatIsoDateTime(st, kIsoTimeOnly, -5), "12:34:56.789-05:00");
  EXPECT_EQ(FormatIsoDateTime(st, kIsoTimeOnly, 0), "12:34:56.789+00:00");
  EXPECT_EQ(FormatIsoDateTime(st, 3, 0), "");
  EXPECT_EQ(FormatIsoDateTime(st, -1, 0), "");
}

// ---- ISO texts.

// The int arguments of the printers at their extremes: no overflow (the
// sanitizer build checks that); unknown parts and decimals give no text.
TEST(TimeTextPrint, ExtremeIntArgumentsNeverOverflow) {
  const SYSTEMTIME st = MakeSystemTime(65535, 65535, 65535, 65535, 65535, 65535, 65535);
  for (int v : {INT_MIN, INT_MIN + 1, -1, 0, 1, 2, 3, 4, INT_MAX - 1, INT_MAX}) {
    (void)FormatIsoDateTime(st, v, v);
    (void)FormatIsoDateTime(st, kIsoDateAndTime, v);
    (void)FormatNowClock(v > 0, v);
    (void)FormatSystemDateTimeDecimals(&st, v, true);
    (void)FormatSystemTimeDateDecimals(&st, v, true);
    (void)IsValidDateRecord(sDateRecord{v, v, v});
  }
  EXPECT_EQ(FormatIsoDateTime(st, INT_MIN, 0), "");
  EXPECT_EQ(FormatNowClock(true, INT_MAX).size(), 12u);
  EXPECT_EQ(FormatNowClock(false, INT_MIN).size(), 8u);
}

TEST(TimeTextIso, DateTimeAndZone) {
  SYSTEMTIME st = MakeSystemTime(1, 1, 1, 1, 1, 1, 1);
  st.wDayOfWeek = 5;
  double zone = 99.0;
  ASSERT_TRUE(ParseIsoDateTime("2019-03-06T12:34:56.789+01:30", st, &zone));
  EXPECT_TRUE(Same(st, MakeSystemTime(2019, 3, 6, 12, 34, 56, 789)));
  EXPECT_DOUBLE_EQ(zone, 1.5);
  ASSERT_TRUE(ParseIsoDateTime("2019-03-06T01:02:03.5", st, nullptr));
  EXPECT_EQ(st.wMilliseconds, 500);
  ASSERT_TRUE(ParseIsoDateTime("2019-03-06T01:02:03.123456Z", st, nullptr));
  EXPECT_EQ(st.wMilliseconds, 123);
}

TEST(TimeTextIso, RoundTripsItsOwnText) {
  for (int zone : {-12, -5, 0, 3, 14}) {
    const SYSTEMTIME st = MakeSystemTime(2024, 2, 29, 23, 59, 58, 7);
    SYSTEMTIME back{};
    double z = 0;
    ASSERT_TRUE(ParseIsoDateTime(FormatIsoDateTime(st, kIsoDateAndTime, zone), back, &z));
    EXPECT_TRUE(Same(back, st));
    EXPECT_EQ(z, zone);
  }
}

TEST(TimeTextIso, DateAloneOrTimeAloneSetOnlyTheirFields) {
  SYSTEMTIME st = MakeSystemTime(1, 2, 3, 4, 5, 6, 7);
  st.wDayOfWeek = 3;
  double zone = 99.0;
  ASSERT_TRUE(ParseIsoDateTime("2019-03-06", st, &zone));
  EXPECT_TRUE(Same(st, MakeSystemTime(2019, 3, 6, 4, 5, 6, 7)));
  EXPECT_EQ(zone, 99.0);
  ASSERT_TRUE(ParseIsoDateTime("12:34:56.000", st, &zone));
  EXPECT_TRUE(Same(st, MakeSystemTime(2019, 3, 6, 12, 34, 56, 0)));
  EXPECT_EQ(zone, 99.0);
  // The milliseconds go with the time, 0 without a fraction.
  st.wMilliseconds = 7;
  ASSERT_TRUE(ParseIsoDateTime("12:34:56+02:00", st, &zone));
  EXPECT_EQ(st.wMilliseconds, 0);
  EXPECT_EQ(zone, 2.0);
}

TEST(TimeTextIso, OtherTextsFailWithoutChange) {
  const SYSTEMTIME start = MakeSystemTime(1, 2, 3, 4, 5, 6, 7);
  for (const char* text : {"12:34:56", "", "2019/03/06", "2019-03-06 T1", "20190306T123456",
                           "abcdefghijklmn", "2019-03-06 12:00:00T"}) {
    SYSTEMTIME st = start;
    double zone = 99.0;
    EXPECT_FALSE(ParseIsoDateTime(text, st, &zone)) << text;
    EXPECT_TRUE(Same(st, start)) << text;
    EXPECT_EQ(zone, 99.0);
  }
  // Short after the 'T': the missing fields read as 0, never past the end.
  SYSTEMTIME st{};
  EXPECT_TRUE(ParseIsoDateTime("2019-03-06T1", st, nullptr));
  EXPECT_EQ(st.wHour, 1);
  EXPECT_TRUE(ParseIsoDateTime("2019-03-06T12:34:56+0", st, nullptr));
}

// ---- Clock texts.

TEST(TimeTextClock, ParseClockText) {
  int h = 9, m = 9, s = 9, f = 9;
  EXPECT_TRUE(ParseClockText("12:30", h, m, s, f));
  EXPECT_EQ(h * 10000 + m * 100 + s, 123000);
  EXPECT_EQ(f, 0);
  EXPECT_TRUE(ParseClockText("1:02:03.25", h, m, s, f));
  EXPECT_EQ(h * 10000 + m * 100 + s, 10203);
  EXPECT_EQ(f, 25);
  EXPECT_TRUE(ParseClockText("7:5", h, m, s, f));  // one minute digit: not read
  EXPECT_EQ(h * 10000 + m * 100 + s, 70000);
  EXPECT_TRUE(ParseClockText("7:05.5", h, m, s, f));  // no second ':': the '.' anywhere
  EXPECT_EQ(m, 5);
  EXPECT_EQ(f, 5);
  EXPECT_TRUE(ParseClockText("99999999999:00:00.99999999999", h, m, s, f));
  EXPECT_EQ(h, INT_MAX);
  EXPECT_EQ(f, INT_MAX);
  for (const char* text : {"1230", "", ":12:30"}) {
    h = m = s = f = 9;
    EXPECT_FALSE(ParseClockText(text, h, m, s, f)) << text;
    EXPECT_EQ(h + m + s + f, 0);
  }
}

TEST(TimeTextClock, CompactAndSeparatedForms) {
  EXPECT_EQ(Fields(ParseTimeToSystemTime("123456.5")), "0-0-0 12:34:56.500");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("945")), "0-0-0 9:45:0.0");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("094556")), "0-0-0 9:45:56.0");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("094556.25")), "0-0-0 9:45:56.250");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("12:34:56.25")), "0-0-0 12:34:56.250");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("t=12h 5m 7.25s")), "0-0-0 12:5:7.250");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("12:34")), "0-0-0 12:34:0.0");
  // Rounding to 1000 ms carries into the second.
  EXPECT_EQ(Fields(ParseTimeToSystemTime("12:34:56.9996")), "0-0-0 12:34:57.0");
  // A '.' right after the hour is no separator: the compact form reads "9.".
  EXPECT_EQ(Fields(ParseTimeToSystemTime("9.45")), "0-0-0 9:0:0.0");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("9:45")), "0-0-0 9:45:0.0");
  EXPECT_DOUBLE_EQ(TimeTextToSeconds("12:34:56.25"), 45296.25);
  EXPECT_DOUBLE_EQ(TimeTextToSeconds("123456.5"), 45296.5);
}

// Seconds rounded to the millisecond carry through seconds, minutes and
// hours, in the separated and the compact form alike; the last half
// millisecond of the day, with no date to carry into, stays 23:59:59.999.
TEST(TimeTextClock, RoundingCarriesThroughEveryField) {
  for (int h = 0; h < 24; ++h) {
    for (int m : {0, 9, 58, 59}) {
      for (int sec : {0, 30, 58, 59}) {
        for (int tenK : {0, 4, 1234, 4996, 5004, 9994, 9996, 9999}) {
          // Tenths of milliseconds, rounded half up, in integers.
          int64_t ms = ((int64_t{h} * 3600 + m * 60 + sec) * 10000 + tenK + 5) / 10;
          ms = std::min<int64_t>(ms, 86399999);
          char want[32];
          std::snprintf(want, sizeof want, "0-0-0 %d:%d:%d.%d", int(ms / 3600000),
                        int(ms / 60000 % 60), int(ms / 1000 % 60), int(ms % 1000));
          char text[32];
          std::snprintf(text, sizeof text, "%d:%02d:%02d.%04d", h, m, sec, tenK);
          ASSERT_EQ(Fields(ParseTimeToSystemTime(text)), want) << text;
          std::snprintf(text, sizeof text, "%02d%02d%02d.%04d", h, m, sec, tenK);
          ASSERT_EQ(Fields(ParseTimeToSystemTime(text)), want) << text;
          ASSERT_DOUBLE_EQ(TimeTextToSeconds(text), ms / 1000.0) << text;
        }
      }
    }
  }
  EXPECT_EQ(Fields(ParseTimeToSystemTime("12:34:59.9996")), "0-0-0 12:35:0.0");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("235959.9999")), "0-0-0 23:59:59.999");
  // Fields beyond their range are not checked and take a carry only where
  // the rounding itself reaches the limit.
  EXPECT_EQ(Fields(ParseTimeToSystemTime("30:59:59.9996")), "0-0-0 31:0:0.0");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("1:75:30.9996")), "0-0-0 1:75:31.0");
  EXPECT_EQ(Fields(ParseTimeToSystemTime("99999999999:59:59.9999")).substr(6), "65535:59:59.999");
}

TEST(TimeTextClock, UnreadableAndHugeTextsGiveZerosOrWrap) {
  for (const char* text : {static_cast<const char*>(nullptr), "", "abc", ".", "::"})
    EXPECT_EQ(Fields(ParseTimeToSystemTime(text)), "0-0-0 0:0:0.0") << (text ? text : "null");
  EXPECT_EQ(TimeTextToSeconds(nullptr), 0.0);
  // Seconds that are not finite or do not fit leave zeros, not undefined values.
  EXPECT_EQ(Fields(ParseTimeToSystemTime("1:2:3e999")), "0-0-0 1:2:0.0");
  // An hour beyond the int range is INT_MAX, kept to its 16 bits.
  EXPECT_EQ(ParseTimeToSystemTime("99999999999:00").wHour, 0xFFFF);
}

TEST(TimeTextClock, TimeValueOfAClockText) {
  const CZORTime t = ParseTimeText("12:34:56.25");
  ASSERT_TRUE(t.IsValid());
  EXPECT_EQ(t.GetDay(), kDatelessDay);
  EXPECT_DOUBLE_EQ(t.GetSeconds(), 45296.25);
  // The dateless day is where 0000-00-00 always landed: one day after the
  // proleptic calendar's, which DateToMjd gives.
  EXPECT_EQ(kDatelessDay, DateToMjd(0, 0, 0) + 1);
  // Compact whole seconds, and decimal seconds kept unrounded.
  EXPECT_DOUBLE_EQ(ParseTimeText("094556").GetSeconds(), 35156.0);
  EXPECT_DOUBLE_EQ(ParseTimeText("123456.0004").GetSeconds(), 45296.0004);
  EXPECT_DOUBLE_EQ(TimeTextSecondsOfDay("945"), 35100.0);
  for (const char* text : {"", "no time", "."}) {
    EXPECT_FALSE(ParseTimeText(text).IsValid()) << text;
    EXPECT_EQ(TimeTextSecondsOfDay(text), -1.0);
  }
  EXPECT_FALSE(ParseTimeText("1:2:1e999").IsValid());
}

// ---- Dates.

TEST(TimeTextDate, ThreeFieldOrders) {
  EXPECT_EQ(Fields(ParseDateDmy("060319")), "2019-3-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateDmy("06.03.2019")), "2019-3-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateYmd("20190306")), "2019-3-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateYmd("190306")), "2019-3-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateMdy("03/06/19")), "2019-3-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateMdy("03062019")), "2019-3-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateMdy("date: 3/6/2019 (UTC)")), "2019-3-6 0:0:0.0");
  // Two-digit years are 2000..2099; 100 and more stand as written.
  EXPECT_EQ(Fields(ParseDateYmd("99-1-2")), "2099-1-2 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateYmd("0-1-2")), "2000-1-2 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateYmd("100-1-2")), "100-1-2 0:0:0.0");
  // Missing numbers leave their fields 0 (the year then 2000).
  EXPECT_EQ(Fields(ParseDateDmy("6.3.")), "2000-3-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDateYmd("2019-")), "2019-0-0 0:0:0.0");
}

TEST(TimeTextDate, UnreadableTextsGiveZeros) {
  for (const char* text : {static_cast<const char*>(nullptr), "", "abc", "-/."}) {
    EXPECT_EQ(Fields(ParseDateYmd(text)), "0-0-0 0:0:0.0") << (text ? text : "null");
    EXPECT_EQ(Fields(ParseDateDmy(text)), "0-0-0 0:0:0.0");
    EXPECT_EQ(Fields(ParseDateMdy(text)), "0-0-0 0:0:0.0");
  }
  // A compact run of digits of another length than 6 or 8 reads no field;
  // the two-digit year rule then makes its year 2000.
  for (const char* text : {"1", "12345", "1234567", "123456789", "x 0000000000"}) {
    EXPECT_EQ(Fields(ParseDateYmd(text)), "2000-0-0 0:0:0.0") << text;
    EXPECT_EQ(Fields(ParseDateDmy(text)), "2000-0-0 0:0:0.0") << text;
    EXPECT_EQ(Fields(ParseDateMdy(text)), "2000-0-0 0:0:0.0") << text;
  }
  // Beyond the int range: INT_MAX, kept to 16 bits.
  EXPECT_EQ(ParseDateYmd("99999999999.1.1").wYear, 0xFFFF);
}

TEST(TimeTextDate, DotDate) {
  EXPECT_EQ(Fields(ParseDotDate("2019.03.06")), "2019-3-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDotDate("2019.3.6.45.extra")), "2019-3-6 0:0:45.0");
  EXPECT_EQ(Fields(ParseDotDate("19.3.6")), "19-3-6 0:0:0.0");  // no two-digit rule
  EXPECT_EQ(Fields(ParseDotDate("2019..6")), "2019-0-6 0:0:0.0");
  EXPECT_EQ(Fields(ParseDotDate("2019.03")), "0-0-0 0:0:0.0");
  EXPECT_EQ(Fields(ParseDotDate("")), "0-0-0 0:0:0.0");
}

TEST(TimeTextDate, TimeValueOfADateText) {
  const CZORTime want(2019, 3, 6, 0, 0, 0.0);
  EXPECT_EQ(ParseDateText("060319"), want);
  EXPECT_EQ(ParseDateText("06032019"), want);
  EXPECT_EQ(ParseDateText("6/3/19"), want);
  EXPECT_EQ(ParseDateText("6.3.2019"), want);
  EXPECT_EQ(ParseDateText("2019-03-06"), want);  // first number above 1000: year first
  EXPECT_EQ(ParseDateText("6.3"), CZORTime(2000, 3, 6, 0, 0, 0.0));
  for (const char* text : {"", "none", "1234567", "0603201"})
    EXPECT_FALSE(ParseDateText(text).IsValid()) << text;
  // A year that leaves the day range is not set rather than wrapped.
  EXPECT_FALSE(ParseDateText("99999999999-1-1").IsValid());
}

TEST(TimeTextDate, DateRecordCheck) {
  EXPECT_FALSE(IsValidDateRecord({1979, 12, 31}));
  EXPECT_TRUE(IsValidDateRecord({1980, 1, 1}));
  EXPECT_TRUE(IsValidDateRecord({2019, 2, 31}));  // days per month are not checked
  EXPECT_FALSE(IsValidDateRecord({2019, 0, 1}));
  EXPECT_FALSE(IsValidDateRecord({2019, 1, 32}));
  EXPECT_TRUE(IsValidDateRecord({INT_MAX, 12, 31}));
}

}  // namespace

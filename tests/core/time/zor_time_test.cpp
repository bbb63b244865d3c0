#include "core/time/zor_time.h"

#include "tests/platform/scoped_tz.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kNoValue = -3.4028234663852886e38;

CZORTime Make(int32_t day, double seconds) { return CZORTime(sTimeRecord{day, 0, seconds}); }

bool AllZero(const void* p, size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i] != 0) return false;
  return true;
}

// The step-by-step alignment walk, as the oracle for the direct computation.
int WalkAlign(int64_t& day, int64_t refDay, double delta, double size) {
  const int64_t start = day;
  for (;;) {
    const double d = static_cast<double>(day - refDay) * size + delta;
    if (d > size / 2) --day;
    else if (d < -size / 2) ++day;
    else return static_cast<int>(day - start);
  }
}

TEST(CZORTime, NotSetValueGivesZerosAndInvalidTexts) {
  const CZORTime t;
  EXPECT_FALSE(t.IsValid());
  EXPECT_FALSE(Make(5, -1.0).IsValid());
  EXPECT_TRUE(Make(5, -0.999).IsValid());
  const sTimeRecord rec = Make(7, -5.0).GetTimeRecord();
  EXPECT_TRUE(AllZero(&rec, sizeof rec));
  const sGpsWeekTime gps = t.ToGpsWeek();
  EXPECT_TRUE(AllZero(&gps, sizeof gps));
  EXPECT_EQ(t.FormatTime(3, ':'), "Invalid");
  EXPECT_EQ(t.FormatMjd(3), "Invalid");
  EXPECT_EQ(t.GetDecimalYear(), 0.0);
  EXPECT_EQ(t.GetTotalSeconds(), 0.0);
  EXPECT_EQ(t.Compare(Make(1, 0)), -999);
  EXPECT_EQ(Make(1, 0).Compare(t), 1);
  int y, m, d, dow, h, mi, s, ms;
  EXPECT_FALSE(t.GetFieldsMs(y, m, d, dow, h, mi, s, ms));
  EXPECT_EQ(y + m + d + dow + h + mi + s + ms, 0);
  // A not-set time counts as 1970-01-01 in the boost text.
  EXPECT_EQ(t.ToSimpleString(), "1970-Jan-01 00:00:00");
}

TEST(CZORTime, ConstructorsAndSetters) {
  const CZORTime noon(2000, 1, 1, 12, 0, 0.0);
  EXPECT_EQ(noon.GetDay(), 51544);
  EXPECT_EQ(noon.GetSeconds(), 43200.0);
  EXPECT_EQ(CZORTime(2000, 1, 1, 25, 0, 0.0).GetSeconds(), 90000.0);  // not folded
  const CZORTime tod(1, 2, 3.5);
  EXPECT_EQ(tod.GetDay(), 0);
  EXPECT_EQ(tod.GetSeconds(), 3723.5);
  std::tm tm{};
  tm.tm_year = 100, tm.tm_mon = 1, tm.tm_mday = 29, tm.tm_hour = 1, tm.tm_min = 1, tm.tm_sec = 1;
  EXPECT_EQ(CZORTime(tm), CZORTime(2000, 2, 29, 1, 1, 1.0));
  CZORTime t;
  t.SetDayOfYear(2000, 60, 0, 0, 5.0);
  EXPECT_EQ(t, CZORTime(2000, 2, 29, 0, 0, 5.0));
  EXPECT_EQ(t.GetDayOfYear(), 60);
  EXPECT_EQ(t.GetDaysInYear(), 366);
  EXPECT_EQ(t.GetDaysInMonth(), 29);
  t.SetUnixSeconds(-1.0);
  EXPECT_EQ(t.GetDay(), 40586);
  EXPECT_EQ(t.GetSeconds(), 86399.0);
  t.SetMjdSeconds(51544 * 86400.0 + 10.0);
  EXPECT_EQ(t, Make(51544, 10.0));
  CZORTime u;
  EXPECT_EQ(u.Assign(t), 51544);
  EXPECT_EQ(u, t);
}

// Every entry point that takes int fields runs without overflow for every
// combination of extreme values (the sanitizer build checks that); a date
// whose day number leaves 32 bits gives not set, any other the calendar's day.
TEST(CZORTime, ExtremeIntArgumentsNeverOverflow) {
  constexpr int kMin = std::numeric_limits<int>::min();
  constexpr int kMax = std::numeric_limits<int>::max();
  const int v[] = {kMin, kMin + 1, -1, 0, 1, kMax - 1, kMax};
  auto expectDate = [](const CZORTime& t, int y, int m, int d, double seconds) {
    const int64_t mjd = DateToMjd64(y, m, d);
    if (mjd < kMin || mjd > kMax) {
      ASSERT_FALSE(t.IsValid()) << y << ' ' << m << ' ' << d;
    } else {
      ASSERT_EQ(t.GetDay(), mjd) << y << ' ' << m << ' ' << d;
      ASSERT_EQ(t.GetSeconds(), seconds);
    }
  };
  for (int y : v) {
    for (int m : v) {
      for (int d : v) {
        for (int h : v) {
          for (int mi : v) {
            for (int s : v) {
              const double seconds = h * 3600.0 + mi * 60.0 + s;
              expectDate(CZORTime(y, m, d, h, mi, s), y, m, d, seconds);
              CZORTime t;
              t.SetDateTime(y, m, d, h, mi, s);
              expectDate(t, y, m, d, seconds);
            }
          }
        }
        CZORTime t;
        t.SetDate(y, m, d, 0.0);
        expectDate(t, y, m, d, 0.0);
        int fy, fm, fd, dow, h, mi, s, ms;
        t.GetFieldsMs(fy, fm, fd, dow, h, mi, s, ms);
        (void)t.GetDayOfYear();
        (void)t.GetDaysInMonth();
        (void)t.ToGpsWeek();
        (void)t.FormatTime(d, ':');
        (void)t.FormatMjd(d);
        t.TruncateSeconds(d);
        t.SetDayOfYear(y, m, d, kMin, kMax);
        (void)t.GetDecimalYear();
        CZORTime tod(y, m, d);
        EXPECT_EQ(tod.GetSeconds(), y * 3600.0 + m * 60.0 + d);
        (void)tod.SetTimeOfDay(Make(51544, 0.0), y, m, d);
        std::tm tm{};
        tm.tm_year = y, tm.tm_mon = m, tm.tm_mday = d, tm.tm_hour = y, tm.tm_min = m,
        tm.tm_sec = d;
        (void)CZORTime(tm);
      }
      CZORTime t;
      t.SetDecimalYear(y, m, m < 0);
      t.SetGpsWeek(y, m);
    }
  }
}

TEST(CZORTime, UnrepresentableNumbersGiveNotSet) {
  for (double bad : {kInf, -kInf, kNaN, 1e300, -1e300, kNoValue}) {
    CZORTime t = Make(51544, 0.0);
    t.SetUnixSeconds(bad);
    EXPECT_FALSE(t.IsValid()) << bad;
    t = Make(51544, 0.0);
    t.SetMjdSeconds(bad);
    EXPECT_FALSE(t.IsValid()) << bad;
    t = Make(51544, 0.0);
    t.SetDecimalYear(bad);
    EXPECT_FALSE(t.IsValid()) << bad;
    t = Make(51544, 0.0);
    t.SetDecimalYear(2000, bad, true);
    EXPECT_FALSE(t.IsValid()) << bad;
    t = Make(51544, 0.0);
    t.SetGpsWeek(1000, bad);
    EXPECT_FALSE(t.IsValid()) << bad;
    t = Make(51544, 0.0);
    EXPECT_EQ(t.SetSecondsOfDay(Make(51544, 0.0), bad), 0);
    EXPECT_FALSE(t.IsValid()) << bad;
    t = Make(51544, 0.0);
    t += bad;
    EXPECT_FALSE(t.IsValid()) << bad;
  }
  CZORTime t;
  t.SetGpsWeek(std::numeric_limits<int32_t>::max(), 0.0);  // day beyond 32 bits
  EXPECT_FALSE(t.IsValid());
  t.SetUnixSeconds(86400.0 * 3e9);
  EXPECT_FALSE(t.IsValid());
}

// Folding keeps the seconds inside [0, 86400) even where a division rounds:
// a move just below midnight, or a count of seconds just below a whole number
// of days, must not leave 86400 seconds (a time that prints as 24:00) or a
// hair below zero (second -1).
TEST(CZORTime, FoldingKeepsSecondsWithinTheDay) {
  auto expectFolded = [](const CZORTime& t, double instant, const char* what) {
    ASSERT_TRUE(t.IsValid()) << what;
    EXPECT_GE(t.GetSeconds(), 0.0) << what << ' ' << instant;
    EXPECT_LT(t.GetSeconds(), 86400.0) << what << ' ' << instant;
    EXPECT_NEAR(t.GetDay() * 86400.0 + t.GetSeconds(), instant, 1e-3) << what;
  };
  for (double tiny : {1e-20, 1e-300, 4.9e-324, 1e-12, 7e-12}) {
    CZORTime t = Make(60000, 0.0);
    t -= tiny;
    expectFolded(t, 60000 * 86400.0, "-=");
    t = Make(60000, 86400.0);
    t += -tiny;
    expectFolded(t, 60001 * 86400.0, "+= from 86400");
    t.SetUnixSeconds(-tiny);
    expectFolded(t, kMjdUnixEpoch * 86400.0, "unix");
    t.SetMjdSeconds(-tiny);
    expectFolded(t, 0.0, "mjd");
  }
  // Just below and above whole days, far from day 0.
  for (double days : {1.0, 3.0, 12345.0, 123456789.0, 1e9, -3.0, -123456789.0}) {
    for (double off : {-1e-6, -1e-9, -1e-12, 0.0, 1e-9}) {
      const double s = days * 86400.0 + off;
      CZORTime t;
      t.SetMjdSeconds(s);
      expectFolded(t, s, "mjd");
      t.SetUnixSeconds(s);
      expectFolded(t, s + kMjdUnixEpoch * 86400.0, "unix");
      t = Make(0, 0.5);
      t += s;
      expectFolded(t, s + 0.5, "+=");
    }
  }
}

// Above three decimals the clock is the instant's own, cut to microseconds:
// seconds outside the day (hour 25, a hair before midnight) print folded
// into the date, as with fewer decimals.
TEST(CZORTime, MicrosecondTextsFoldTheSecondsIntoTheDay) {
  struct Case {
    double seconds;
    const char* six;
  } cases[] = {{90000.0, "01:00:00.000000"},        {-0.5, "23:59:59.500000"},
               {-1e-7, "23:59:59.999999"},          {86400.0, "00:00:00.000000"},
               {3 * 86400.0 + 61.25, "00:01:01.250000"}, {43200.0, "12:00:00.000000"}};
  for (const Case& c : cases) {
    const CZORTime t = Make(51544, c.seconds);
    EXPECT_EQ(t.FormatTime(6, ':'), c.six) << c.seconds;
    EXPECT_EQ(t.FormatTime(4, ':'), std::string(c.six).substr(0, 13)) << c.seconds;
  }
  // Seconds no date can hold are no time, whatever the decimals.
  EXPECT_EQ(Make(51544, 1e300).FormatTime(6, ':'), "Invalid");
  EXPECT_EQ(Make(51544, 1e300).FormatTime(3, ':'), "Invalid");
  int y, mo, d, dow, h, mi, s, us;
  ASSERT_TRUE(Make(51544, -0.25).GetFieldsUs(y, mo, d, dow, h, mi, s, us));
  EXPECT_TRUE(y == 1999 && mo == 12 && d == 31 && dow == 5 && h == 23 && mi == 59 && s == 59 &&
              us == 750000);
  EXPECT_FALSE(Make(51544, 1e300).GetFieldsUs(y, mo, d, dow, h, mi, s, us));
  EXPECT_FALSE(CZORTime().GetFieldsUs(y, mo, d, dow, h, mi, s, us));
}

TEST(CZORTime, DecimalYear) {
  CZORTime t;
  t.SetDecimalYear(2000.5);  // half of 366 days: 2000-07-02 00:00
  EXPECT_EQ(t, CZORTime(2000, 7, 2, 0, 0, 0.0));
  EXPECT_DOUBLE_EQ(t.GetDecimalYear(), 2000.5);
  t.SetDecimalYear(2001, 0.25, true);  // 365.2425 * 0.25 = 91.310625 days
  EXPECT_EQ(t.GetDay(), DateToMjd(2001, 1, 1) + 91);
  EXPECT_NEAR(t.GetSeconds(), 0.310625 * 86400, 1e-6);
  int year;
  double fraction;
  t.GetYearAndFraction(year, fraction, true);
  EXPECT_EQ(year, 2001);
  EXPECT_NEAR(fraction, 0.25, 1e-12);
  const double now = CZORTime::GetDecimalYearNow();
  EXPECT_GT(now, 2020.0);
  EXPECT_LT(now, 2200.0);
}

TEST(CZORTime, NowFollowsTheSystemClock) {
  CZORTime t;
  t.SetNowUtc();
  const double unix = std::chrono::duration<double>(
                          std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR((t.GetDay() - kMjdUnixEpoch) * 86400.0 + t.GetSeconds(), unix, 2.0);
  EXPECT_GE(t.GetSeconds(), 0.0);
  EXPECT_LT(t.GetSeconds(), 86400.0);
  // Microseconds: the fraction is a whole number of them.
  const double micro = (t.GetSeconds() - std::floor(t.GetSeconds())) * 1e6;
  EXPECT_NEAR(micro, std::round(micro), 1e-3);
  {
    ScopedTz tz("<+0930>-9:30");
    CZORTime local;
    local.SetNowLocal();
    CZORTime utc;
    utc.SetNowUtc();
    EXPECT_GE(local.GetSeconds(), 0.0);
    EXPECT_LT(local.GetSeconds(), 86400.0);
    EXPECT_NEAR(local - utc, 9.5 * 3600.0, 2.0);
  }
}

TEST(CZORTime, FieldsMsRoundAndFoldIntoTheDate) {
  int y, m, d, dow, h, mi, s, ms;
  ASSERT_TRUE(Make(51544, 86399.9996).GetFieldsMs(y, m, d, dow, h, mi, s, ms));
  EXPECT_TRUE(y == 2000 && m == 1 && d == 2 && dow == 0 && h == 0 && mi == 0 && s == 0 && ms == 0);
  ASSERT_TRUE(Make(51544, 3 * 86400.0 + 5.0).GetFieldsMs(y, m, d, dow, h, mi, s, ms));
  EXPECT_TRUE(y == 2000 && m == 1 && d == 4 && h == 0 && mi == 0 && s == 5);
  // A valid time just below zero seconds lies on the previous day.
  ASSERT_TRUE(Make(51544, -0.5).GetFieldsMs(y, m, d, dow, h, mi, s, ms));
  EXPECT_TRUE(y == 1999 && m == 12 && d == 31 && dow == 5 && h == 23 && mi == 59 && s == 59 &&
              ms == 500);
  ASSERT_TRUE(Make(-1, 0.0).GetFieldsMs(y, m, d, dow, h, mi, s, ms));
  EXPECT_TRUE(y == 1858 && m == 11 && d == 16 && dow == 2);  // a Tuesday
  EXPECT_FALSE(Make(std::numeric_limits<int32_t>::max(), 86400.0).GetFieldsMs(
      y, m, d, dow, h, mi, s, ms));

  // Near every second boundary of a day, and across ties: fields stay in
  // range and add up to the rounded milliseconds.
  const double offsets[] = {0.0, 0.0004999, 0.0005, 0.4995, 0.9994999999, 0.9995, 0.99949999,
                            0.9999999};
  for (int sec = 0; sec < 86400; ++sec) {
    for (double off : offsets) {
      const double x = sec + off;
      ASSERT_TRUE(Make(60000, x).GetFieldsMs(y, m, d, dow, h, mi, s, ms));
      ASSERT_TRUE(h < 24 && mi < 60 && s < 60 && ms < 1000 && ms >= 0) << x;
      const int64_t total = (DateToMjd(y, m, d) - 60000) * 86400000LL +
                            ((h * 60LL + mi) * 60 + s) * 1000 + ms;
      ASSERT_EQ(total, static_cast<int64_t>(std::floor(x * 1000.0 + 0.5))) << x;
    }
  }
}

TEST(CZORTime, TimeOfDayMicrosecondsNeverReachASecond) {
  int h, m, s, us;
  Make(1, 59.9999999).GetTimeOfDayUs(h, m, s, us);
  EXPECT_TRUE(h == 0 && m == 0 && s == 59 && us == 999999);
  for (int sec = 0; sec < 86400; sec += 7) {
    for (double off : {0.0, 0.0000004, 0.0000005, 0.9999994, 0.9999996, 0.99999999}) {
      Make(1, sec + off).GetTimeOfDayUs(h, m, s, us);
      ASSERT_TRUE(us >= 0 && us < 1000000 && s >= 0 && s < 60 && m < 60) << sec + off;
    }
  }
}

TEST(CZORTime, FormatTimeDecimalsAndSeparators) {
  const CZORTime t = Make(51544, 3723.4567891);
  EXPECT_EQ(t.FormatTime(0, ':'), "01:02:03");
  EXPECT_EQ(t.FormatTime(-4, ':'), "01:02:03");
  EXPECT_EQ(t.FormatTime(1, ':'), "01:02:03.4");
  EXPECT_EQ(t.FormatTime(2, ':'), "01:02:03.45");
  EXPECT_EQ(t.FormatTime(3, ':'), "01:02:03.457");
  EXPECT_EQ(t.FormatTime(4, ':'), "01:02:03.4567");
  EXPECT_EQ(t.FormatTime(6, ':'), "01:02:03.456789");
  EXPECT_EQ(t.FormatTime(9, ':'), "01:02:03.456789");
  EXPECT_EQ(t.FormatTime(std::numeric_limits<int>::max(), ':'), "01:02:03.456789");
  EXPECT_EQ(t.FormatTime(3, '\0'), "010203.457");
  EXPECT_EQ(t.FormatTime(0, '-'), "01-02-03");
  EXPECT_EQ(Make(51544, 86399.9996).FormatTime(3, ':'), "00:00:00.000");
}

// A zero second prints without a sign at every number of decimals, whether
// -0.0 came from a fold (fmod kept the sign of the whole days before it),
// from a record, or is a tiny negative that cannot be folded at the end of
// the day range; a fold stores +0.0, as seconds - n * 86400 gives it.
TEST(CZORTime, ZeroSecondPrintsWithoutSign) {
  CZORTime back = Make(51545, 0.0);
  back -= 86400.0;
  CZORTime fromMjd;
  fromMjd.SetMjdSeconds(-86400.0);
  // Folding would leave the 32-bit days: the seconds stay as they are.
  const CZORTime edge = Make(std::numeric_limits<int32_t>::min(), -1e-6);
  for (const CZORTime& t : {back, fromMjd}) {
    EXPECT_FALSE(std::signbit(t.GetSeconds())) << t.GetDay();
    sTimeRecord r{};
    t.GetTimeRecord(r);
    EXPECT_FALSE(std::signbit(r.seconds));
  }
  for (int decimals = 0; decimals <= 17; ++decimals) {
    char zero[32];
    std::snprintf(zero, sizeof zero, "%0*.*f", 5, decimals, 0.0);
    EXPECT_EQ(back.FormatMjd(decimals), std::string("51544 ") + zero) << decimals;
    EXPECT_EQ(fromMjd.FormatMjd(decimals), std::string("-0001 ") + zero) << decimals;
    EXPECT_EQ(Make(51545, -0.0).FormatMjd(decimals), std::string("51545 ") + zero) << decimals;
    if (decimals < 6) {
      EXPECT_EQ(edge.FormatMjd(decimals), std::string("-2147483648 ") + zero) << decimals;
    }
    const std::string clock = Make(51545, -0.0).FormatTime(decimals, ':');
    EXPECT_EQ(clock.find('-'), std::string::npos) << clock;
  }
  EXPECT_EQ(edge.FormatMjd(6), "-2147483648 -0.000001");
}

TEST(CZORTime, MjdAndBoostTexts) {
  EXPECT_EQ(Make(51544, 43200.0).FormatMjd(3), "51544 43200.000");
  EXPECT_EQ(Make(123, 5.5).FormatMjd(1), "00123 005.5");
  EXPECT_EQ(Make(123, 5.5).FormatMjd(-7), "00123 00006");
  EXPECT_EQ(Make(1, 0.5).FormatMjd(1000), "00001 0.50000000000000000");
  EXPECT_FALSE(Make(1, 1e300).FormatMjd(17).empty());
  // One rounding: seconds that print as a whole day are the next day's 0,
  // and seconds outside the day are folded into it.
  EXPECT_EQ(Make(51544, 86399.9996).FormatMjd(3), "51545 0.000");
  EXPECT_EQ(Make(51544, 86399.5).FormatMjd(0), "51545 00000");
  EXPECT_EQ(Make(51544, 86399.96).FormatMjd(1), "51545 000.0");
  EXPECT_EQ(Make(51544, 86399.9994).FormatMjd(3), "51544 86399.999");
  EXPECT_EQ(Make(51544, 90000.0).FormatMjd(1), "51545 3600.0");
  EXPECT_EQ(Make(51544, -0.25).FormatMjd(2), "51543 86399.75");
  EXPECT_EQ(Make(-1, 86399.99999).FormatMjd(2), "00000 00.00");
  // The seconds print as printf prints them at every number of decimals:
  // the binary value rounded, exact ties to even. Values on and beside the
  // ties of each decimal, and just below a whole day, where only seconds
  // that print as 86400 move to the next day.
  EXPECT_EQ(Make(60000, 12209.65).FormatMjd(1), "60000 12209.6");
  EXPECT_EQ(Make(60000, 4.5).FormatMjd(0), "60000 00004");
  EXPECT_EQ(Make(60000, 59.9995).FormatMjd(3), "60000 59.999");
  auto printf_mjd = [](int32_t day, int decimals, double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%05d %05.*f", day, decimals, seconds);
    return std::string(text);
  };
  for (int decimals = 0; decimals <= 17; ++decimals) {
    const double unit = std::pow(10.0, -decimals);
    for (double base : {0.0, 4.0, 59.0, 12209.0, 43199.0, 86398.0, 86399.0}) {
      for (double steps : {0.0, 1.0, 2.0, 5.0, 6.0, 9.0, 65.0, 125.0, 99.0, 999.0}) {
        const double tie = base + (steps + 0.5) * unit;
        for (double s : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9), base + 0.625,
                         base + 0.375, base + 0.0625, base + 0.9375, base + 0.99999999}) {
          if (!(s >= 0.0 && s < 86400.0)) continue;
          std::string expected = printf_mjd(60000, decimals, s);
          if (std::strtod(expected.c_str() + 6, nullptr) >= 86400.0)
            expected = printf_mjd(60001, decimals, 0.0);
          ASSERT_EQ(Make(60000, s).FormatMjd(decimals), expected) << s << ' ' << decimals;
        }
      }
    }
  }
  for (int decimals = 0; decimals <= 6; ++decimals) {
    for (double off : {0.0, 0.0004, 0.0005, 0.4999, 0.5, 0.9994, 0.9995, 0.99949999, 0.9999999}) {
      const std::string text = Make(60000, 86399.0 + off).FormatMjd(decimals);
      const double printed = std::strtod(text.c_str() + 6, nullptr);
      EXPECT_LT(printed, 86400.0) << text;
      EXPECT_NEAR(std::stod(text.substr(0, 5)) * 86400.0 + printed, 60000 * 86400.0 + 86399.0 + off,
                  0.5 * std::pow(10.0, -decimals) + 1e-5)
          << text;
    }
  }

  const CZORTime t = Make(51544, 45296.25);
  EXPECT_EQ(t.ToSimpleString(), "2000-Jan-01 12:34:56.250000");
  EXPECT_EQ(t.Format("%d/%m/%Y"), "01/01/2000");
  EXPECT_EQ(t.Format("%H%M"), "1234");
  EXPECT_EQ(CZORTime(10000, 1, 1, 0, 0, 0.0).ToSimpleString(), "Invalid");
  EXPECT_EQ(CZORTime(1399, 12, 31, 0, 0, 0.0).Format("%Y"), "Invalid");
  EXPECT_EQ(Make(51544, 1e300).ToSimpleString(), "Invalid");
}

// The boost texts print the instant rounded to the nearest millisecond, as
// FormatTime does, including the carry into the next day; the oracle is
// chrono on the same rounded millisecond count.
TEST(CZORTime, BoostTextsRoundToTheNearestMillisecond) {
  namespace chr = std::chrono;
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  uint64_t state = 99;
  for (int i = 0; i < 2000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const int32_t day = 40000 + static_cast<int32_t>((state >> 33) % 40000);
    // Sub-millisecond fractions all over the day, and the last half
    // millisecond before midnight.
    const double seconds = i < 1600
                               ? static_cast<double>(state >> 11) / 9007199254740992.0 * 86400.0
                               : 86399.9995 + (i - 1600) * 1.2e-6;
    const CZORTime t = Make(day, seconds);
    const int64_t ms =
        (int64_t{day} - kMjdUnixEpoch) * 86400000 +
        static_cast<int64_t>(std::floor(seconds * 1000.0 + 0.5));
    const chr::sys_time<chr::milliseconds> tp{chr::milliseconds(ms)};
    const chr::sys_days sd = chr::floor<chr::days>(tp);
    const chr::year_month_day ymd(sd);
    const chr::hh_mm_ss<chr::milliseconds> hms(tp - sd);
    char want[64];
    std::snprintf(want, sizeof want, "%04d-%s-%02u %02d:%02d:%02d", int(ymd.year()),
                  kMonths[unsigned(ymd.month()) - 1], unsigned(ymd.day()), int(hms.hours().count()),
                  int(hms.minutes().count()), int(hms.seconds().count()));
    std::string simple = want;
    if (hms.subseconds().count() != 0) {
      std::snprintf(want, sizeof want, ".%03d000", int(hms.subseconds().count()));
      simple += want;
    }
    ASSERT_EQ(t.ToSimpleString(), simple) << day << ' ' << seconds;
    std::snprintf(want, sizeof want, "%02u/%02u/%04d %02d:%02d:%02d.%03d", unsigned(ymd.day()),
                  unsigned(ymd.month()), int(ymd.year()), int(hms.hours().count()),
                  int(hms.minutes().count()), int(hms.seconds().count()),
                  int(hms.subseconds().count()));
    ASSERT_EQ(t.Format("%d/%m/%Y %H:%M:%S.") + t.FormatTime(3, ':').substr(9), want);
    ASSERT_EQ(t.Format("%d/%m/%Y ") + t.FormatTime(3, ':'), want) << day << ' ' << seconds;
  }
}

TEST(CZORTime, FromText) {
  EXPECT_EQ(CZORTime(std::string("2002-01-31 10:00:01.123")), Make(52305, 36001.0));
  EXPECT_EQ(CZORTime(std::string("2002-01-31")), Make(52305, 0.0));
  EXPECT_EQ(CZORTime(std::string("2002-Jan-31")), Make(52305, 0.0));
  EXPECT_ANY_THROW(CZORTime(std::string("no date")));
  EXPECT_ANY_THROW(CZORTime(std::string("20x2-01-31")));
  EXPECT_ANY_THROW(CZORTime(std::string("")));
  // A byte below '0' (or above '~') deep inside a long field throws like
  // any unreadable text, without the arithmetic overflow boost's digit
  // reader would make of it (caught in the sanitizer build).
  for (const char* text : {"\x85" "01211", "2019-01-(01211", "\t01211", "+01211 12:00:00",
                           "2019-\xff" "00001-01", "(12345-01-01", "4828/4/1 02200::3/1 0",
                           "2019-01-01 12:/0001:00"}) {
    EXPECT_ANY_THROW(CZORTime(std::string(text))) << text;
  }
}

TEST(CZORTime, GpsWeek) {
  sGpsWeekTime g = Make(kMjdGpsEpoch, 0.0).ToGpsWeek();
  EXPECT_TRUE(g.week == 0 && g.seconds == 0.0);
  g = Make(kMjdGpsEpoch - 1, 0.0).ToGpsWeek();  // truncation toward zero
  EXPECT_TRUE(g.week == 0 && g.seconds == -86400.0);
  g = Make(kMjdGpsEpoch + 13, 100.0).ToGpsWeek();
  EXPECT_TRUE(g.week == 1 && g.seconds == 6 * 86400.0 + 100.0);
  for (int32_t day = kMjdGpsEpoch; day < kMjdGpsEpoch + 60; ++day) {
    const CZORTime t = Make(day, 1234.5);
    EXPECT_EQ(CZORTime(t.ToGpsWeek()), t) << day;
  }
  // The not-set pair and its neighbours.
  EXPECT_FALSE(CZORTime(sGpsWeekTime{kNotSetGpsWeek, 0, kNotSetGpsSeconds}).IsValid());
  EXPECT_EQ(CZORTime(sGpsWeekTime{kNotSetGpsWeek, 0, kNotSetGpsSeconds}), CZORTime());
  EXPECT_EQ(CZORTime(sGpsWeekTime{kNotSetGpsWeek, 0, -345600.0}), Make(0, 0.0));
  const CZORTime negative(sGpsWeekTime{2, 0, -90000.0});  // sign of the seconds kept
  EXPECT_EQ(negative.GetDay(), kMjdGpsEpoch + 14 - 1);
  EXPECT_EQ(negative.GetSeconds(), -3600.0);
}

TEST(CZORTime, ArithmeticFoldsAndComparisons) {
  CZORTime t = Make(10, 0.0);
  const CZORTime r = (t += 90000.0);
  EXPECT_EQ(t, Make(11, 3600.0));
  EXPECT_EQ(r, t);
  t = Make(10, 0.0);
  t -= 1.0;
  EXPECT_EQ(t, Make(9, 86399.0));
  EXPECT_EQ(Make(10, 0.0) + 86400.0 * 5 + 1, Make(15, 1.0));
  EXPECT_EQ(Make(10, 0.0) - 86400.0 * 20, Make(-10, 0.0));
  CZORTime unset;
  unset += 5.0;
  EXPECT_FALSE(unset.IsValid());
  EXPECT_FALSE((CZORTime() - 100.0).IsValid());
  unset.AddHours(3);
  EXPECT_FALSE(unset.IsValid());
  t = Make(10, 3600.0);
  t.AddHours(-2);
  EXPECT_EQ(t, Make(9, 86400.0 - 3600.0));
  EXPECT_EQ(Make(2, 10.0) - Make(1, 20.0), 86390.0);

  const CZORTime a = Make(1, 86400.0), b = Make(2, 0.0);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);
  EXPECT_TRUE(a <= b && a >= b && !(a < b) && !(a > b));
  EXPECT_TRUE(Make(1, 5.0) < Make(1, 6.0));
  EXPECT_EQ(Make(1, 5.0).Compare(Make(1, 6.0)), -1);
  EXPECT_EQ(Make(2, 0.0).Compare(Make(1, 99999.0)), 1);
  EXPECT_EQ(Make(1, 5.0).Compare(Make(1, 5.0)), 0);

  t = Make(1, 125.75);
  t.TruncateSeconds(0);
  EXPECT_EQ(t.GetSeconds(), 125.0);
  t.TruncateSeconds(60);
  EXPECT_EQ(t.GetSeconds(), 120.0);
}

TEST(CZORTime, AlignToDayBoundaries) {
  const CZORTime ref = Make(100, 50000.0);
  CZORTime t = Make(101, 50000.0 - 43200.0);  // exactly +43200: stays
  EXPECT_EQ(t.AlignToDay(ref), 0);
  EXPECT_EQ(t.GetDay(), 101);
  t = Make(101, 50000.0 - 43199.999);  // 43200.001 ahead: one day back
  EXPECT_EQ(t.AlignToDay(ref), -1);
  EXPECT_EQ(t.GetDay(), 100);
  t = Make(100, 50000.0 - 43200.0);  // exactly -43200: stays
  EXPECT_EQ(t.AlignToDay(ref), 0);
  t = Make(100, 50000.0 - 43200.001);
  EXPECT_EQ(t.AlignToDay(ref), 1);
  // A time of day without a date takes the reference's day; the result
  // counts from 0.
  t = CZORTime(0, 0, 10.0);
  EXPECT_EQ(t.AlignToDay(ref), 101);
  EXPECT_EQ(t, Make(101, 10.0));
  EXPECT_EQ(t.SetTimeOfDay(ref, 23, 59, 59.0), 0);
  EXPECT_EQ(t, Make(100, 86399.0));

  // The direct computation lands where the day-by-day walk does.
  uint64_t state = 7;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const int32_t day = 50000 + static_cast<int32_t>((state >> 33) % 4000);
    // Whole half days hit the boundaries exactly; the rest are arbitrary.
    const double sec = (state >> 20) % 2 ? ((state >> 8) % 1000) * 43200.0
                                         : static_cast<double>((state >> 12) % 100000000) / 1000.0;
    CZORTime t2 = Make(day, sec);
    const CZORTime ref2 = Make(52000, (state >> 45) % 86400);
    int64_t expectDay = day;
    const int expectMoved = WalkAlign(expectDay, 52000, sec - ref2.GetSeconds(), 86400.0);
    ASSERT_EQ(t2.AlignToDay(ref2), expectMoved) << day << ' ' << sec;
    ASSERT_EQ(t2.GetDay(), expectDay);
  }
}

TEST(CZORTime, AlignmentWithUnusableInputsReturnsPromptly) {
  const CZORTime ref = Make(100, 0.0);
  for (double bad : {kInf, -kInf, kNaN, 1e300, kNoValue}) {
    CZORTime t = Make(5, bad);
    const sTimeRecord before = t.GetTimeRecord();
    EXPECT_EQ(t.AlignToDay(ref), 0);
    EXPECT_EQ(t.AlignToWeek(ref), 0);
    EXPECT_EQ(t.AlignToGpsWeek(sGpsWeekTime{1, 0, 0.0}), 0);
    const sTimeRecord after = t.GetTimeRecord();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    CZORTime u = Make(5, 10.0);
    EXPECT_EQ(u.AlignToDay(Make(100, bad)), 0);
    EXPECT_EQ(u.AlignToWeek(Make(100, bad)), 0);
    EXPECT_EQ(u.AlignToGpsWeek(sGpsWeekTime{1, 0, bad}), 0);
    EXPECT_EQ(u, Make(5, 10.0));
  }
  CZORTime u = Make(5, 10.0);
  EXPECT_EQ(u.AlignToDay(CZORTime()), 0);
  EXPECT_EQ(u.AlignToGpsWeek(sGpsWeekTime{kNotSetGpsWeek, 0, kNotSetGpsSeconds}), 0);
  EXPECT_EQ(u, Make(5, 10.0));
  // A huge but finite time of day leaves nothing to align to: not set.
  EXPECT_EQ(u.SetSecondsOfDay(ref, 1e300), 0);
  EXPECT_FALSE(u.IsValid());
}

TEST(CZORTime, AlignToWeek) {
  const sGpsWeekTime ref{1000, 0, 302400.0};
  CZORTime t(sGpsWeekTime{1001, 0, 0.0});  // exactly +302400: stays
  EXPECT_EQ(t.AlignToGpsWeek(ref), 0);
  t.SetGpsWeek(1001, 0.001);
  EXPECT_EQ(t.AlignToGpsWeek(ref), -1);
  EXPECT_EQ(t, CZORTime(sGpsWeekTime{1000, 0, 0.001}));
  t.SetGpsWeek(990, 3.0);
  EXPECT_EQ(t.AlignToWeek(CZORTime(ref)), 10);
  EXPECT_EQ(t, CZORTime(sGpsWeekTime{1000, 0, 3.0}));
  for (int32_t w = 900; w < 1100; w += 3) {
    for (double sow : {0.0, 302399.0, 302400.0, 302401.0, 604799.5}) {
      CZORTime u(sGpsWeekTime{w, 0, sow});
      int64_t week = w;
      const int expect = WalkAlign(week, ref.week, sow - ref.seconds, 604800.0);
      ASSERT_EQ(u.AlignToGpsWeek(ref), expect) << w << ' ' << sow;
      const sGpsWeekTime g = u.ToGpsWeek();
      ASSERT_EQ(g.week, week);
      ASSERT_EQ(g.seconds, sow);
    }
  }
}

TEST(CZORTime, SerializeIsSixteenBytesAndDeserializeKeepsTheValueOnFailure) {
  const CZORTime t = Make(51544, 43200.5);
  Zor::ByteVector buf;
  ASSERT_TRUE(Zor::SerializeToBytes(t, buf, 0));
  ASSERT_EQ(buf.size(), 16u);
  int32_t version, day;
  double seconds;
  std::memcpy(&version, buf.data(), 4);
  std::memcpy(&day, buf.data() + 4, 4);
  std::memcpy(&seconds, buf.data() + 8, 8);
  EXPECT_TRUE(version == 1 && day == 51544 && seconds == 43200.5);
  CZORTime back;
  ASSERT_TRUE(Zor::DeserializeFromBytes(back, buf));
  EXPECT_EQ(back, t);

  const CZORTime old = Make(7, 8.0);
  Zor::ByteVector bad = buf;
  bad[0] = 2;
  CZORTime u = old;
  try {
    Zor::DeserializeFromBytes(u, bad);
    ADD_FAILURE() << "version 2 accepted";
  } catch (const Zor::IArchiveException& e) {
    EXPECT_EQ(e.Code(), 7);
    EXPECT_NE(std::string(e.what()).find("ZorTime"), std::string::npos);
  }
  EXPECT_EQ(u, old);
  for (size_t n = 1; n < 16; ++n) {
    Zor::ByteVector cut(buf.begin(), buf.begin() + n);
    Zor::ByteVectorArchive ar(cut);
    EXPECT_THROW(u.Deserialize(ar), Zor::IArchiveException) << n;
    EXPECT_EQ(u, old);
    EXPECT_EQ(ar.GetPosition(), 0u);
  }
}

}  // namespace

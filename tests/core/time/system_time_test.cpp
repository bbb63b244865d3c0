#include "core/time/system_time.h"

#include <gtest/gtest.h>

#include "tests/support/system_time_builder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/date_picture.h"
#include "platform/file_time.h"
#include "platform/locale.h"
#include "tests/platform/scoped_tz.h"

using zor::platform::SYSTEMTIME;

namespace {

// "yyyy-mm-dd hh:mm:ss.mmm w" of a record.
std::string Text(const SYSTEMTIME& st) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d %d", st.wYear, st.wMonth,
                st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
  return buf;
}

std::string Text(const CZORTime& t) { return t.IsValid() ? Text(TimeToSystemTime(t)) : "not set"; }

template <typename T>
bool AllZero(const T& value) {
  static const T zero{};
  T copy = value;
  // Records carry padding words; a value-initialised one has them zero too.
  return std::memcmp(&copy, &zero, sizeof(T)) == 0;
}

CZORTime At(int y, int m, int d, int h = 0, int mi = 0, double s = 0.0) {
  return CZORTime(y, m, d, h, mi, s);
}

TEST(SystemTimeConversionTest, RecordToTimeAndBack) {
  const sTimeRecord none = SystemTimeToTime(SYSTEMTIME{});
  EXPECT_EQ(none.day, 0);
  EXPECT_EQ(none.pad, 0u);
  EXPECT_EQ(none.seconds, -1.0);

  const sTimeRecord r = SystemTimeToTime(MakeSystemTime(2000, 1, 1, 12, 30, 15, 250));
  EXPECT_EQ(r.day, 51544);
  EXPECT_DOUBLE_EQ(r.seconds, 45015.25);
  // Fields are not checked: month 13 is January of the next year.
  EXPECT_EQ(SystemTimeToTime(MakeSystemTime(2023, 13, 1)).day, SystemTimeToTime(MakeSystemTime(2024, 1, 1)).day);

  const SYSTEMTIME st = TimeToSystemTime(CZORTime(r));
  EXPECT_EQ(Text(st), "2000-01-01 12:30:15.250 6");
  EXPECT_EQ(SystemTimeToTime(st).seconds, r.seconds);
}

TEST(SystemTimeConversionTest, NoTimeIsSixteenZeroBytes) {
  EXPECT_TRUE(AllZero(TimeToSystemTime(CZORTime())));
  EXPECT_TRUE(AllZero(TimeToSystemTime(CZORTime(sTimeRecord{0, 0, 3600.0}))));
  // Years that do not fit the 16-bit field.
  EXPECT_TRUE(AllZero(TimeToSystemTime(CZORTime(sTimeRecord{DateToMjd(70000, 1, 1), 0, 0.0}))));
  EXPECT_TRUE(AllZero(TimeToSystemTime(CZORTime(sTimeRecord{DateToMjd(-5, 1, 1), 0, 0.0}))));
  EXPECT_EQ(Text(TimeToSystemTime(CZORTime(sTimeRecord{DateToMjd(65535, 12, 31), 0, 0.0}))),
            "65535-12-31 00:00:00.000 2");
}

TEST(SystemTimeConversionTest, RoundsToMillisecondsIntoTheNextDay) {
  const CZORTime t(sTimeRecord{DateToMjd(2024, 3, 1), 0, 86399.9996});
  EXPECT_EQ(Text(TimeToSystemTime(t)), "2024-03-02 00:00:00.000 6");
  const CZORTime u(sTimeRecord{DateToMjd(2024, 3, 1), 0, 86399.9994});
  EXPECT_EQ(Text(TimeToSystemTime(u)), "2024-03-01 23:59:59.999 5");
}

// The conversion carries its own copy of the millisecond rounding; it must
// give the fields of CZORTime::GetFieldsMs for any time.
TEST(SystemTimeConversionTest, AgreesWithTheTimeValueFields) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<int32_t> days(-678575, 23'258'000);  // years 1 .. 65535
  std::uniform_real_distribution<double> seconds(-0.9, 90000.0);
  std::vector<CZORTime> times = {CZORTime(sTimeRecord{51544, 0, 86399.9995}),
                                 CZORTime(sTimeRecord{51544, 0, 86399.99949999}),
                                 CZORTime(sTimeRecord{51544, 0, -0.0004}),
                                 CZORTime(sTimeRecord{51544, 0, -0.0006}),
                                 CZORTime(sTimeRecord{51544, 0, 172800.0}),
                                 CZORTime(sTimeRecord{INT32_MAX, 0, 86400.0}),
                                 CZORTime(sTimeRecord{51544, 0, 1e300})};
  for (int i = 0; i < 200000; ++i) times.emplace_back(sTimeRecord{days(rng), 0, seconds(rng)});
  for (const CZORTime& t : times) {
    int y = 0, mo = 0, d = 0, w = 0, h = 0, mi = 0, s = 0, ms = 0;
    const bool ok = t.GetFieldsMs(y, mo, d, w, h, mi, s, ms) && y >= 0 && y <= 0xFFFF;
    const SYSTEMTIME st = TimeToSystemTime(t);
    if (!ok) {
      ASSERT_TRUE(AllZero(st)) << t.GetDay() << " " << t.GetSeconds();
      continue;
    }
    SYSTEMTIME expected = MakeSystemTime(y, mo, d, h, mi, s, ms);
    expected.wDayOfWeek = static_cast<uint16_t>(w);
    ASSERT_EQ(Text(st), Text(expected)) << t.GetDay() << " " << t.GetSeconds();
  }
}

TEST(SystemTimeConversionTest, FromCTimeAndClock) {
  {
    ScopedTz tz("UTC0");
    const CZORTime t = TimeFromCTime(zor::platform::CTime(86400 + 3661));
    EXPECT_EQ(t.GetDay(), kMjdUnixEpoch + 1);
    EXPECT_EQ(t.GetSeconds(), 3661.0);
  }
  {
    ScopedTz tz("<+09>-9");
    EXPECT_EQ(Text(TimeFromCTime(zor::platform::CTime(0))), "1970-01-01 09:00:00.000 4");
    const double ahead = GetLocalNow() - GetUtcNow();
    EXPECT_NEAR(ahead, 9 * 3600.0, 5.0);
  }
  const double unixNow = static_cast<double>(std::time(nullptr));
  const CZORTime now = GetUtcNow();
  EXPECT_NEAR((now.GetDay() - kMjdUnixEpoch) * 86400.0 + now.GetSeconds(), unixNow, 5.0);
}

TEST(SystemTimeZoneTest, UtcAndLocalAcrossDaylightChanges) {
  {
    ScopedTz tz(kCentralEurope);
    EXPECT_EQ(Text(UtcToLocal(At(2024, 3, 31, 0, 59, 59.5))), "2024-03-31 01:59:59.500 0");
    EXPECT_EQ(Text(UtcToLocal(At(2024, 3, 31, 1, 0, 0.0))), "2024-03-31 03:00:00.000 0");
    EXPECT_EQ(Text(UtcToLocal(At(2024, 10, 27, 1, 0, 0.0))), "2024-10-27 02:00:00.000 0");
    EXPECT_EQ(Text(LocalToUtc(At(2024, 10, 27, 3, 0, 0.0))), "2024-10-27 02:00:00.000 0");
    EXPECT_EQ(Text(LocalToUtc(At(2024, 1, 1, 0, 30, 0.0))), "2023-12-31 23:30:00.000 0");
  }
  {
    ScopedTz tz(kUsEastern);
    EXPECT_EQ(Text(UtcToLocal(At(2024, 3, 10, 7, 0, 0.0))), "2024-03-10 03:00:00.000 0");
    EXPECT_EQ(Text(UtcToLocal(At(2024, 11, 3, 6, 0, 0.0))), "2024-11-03 01:00:00.000 0");
    EXPECT_EQ(Text(LocalToUtc(At(2024, 7, 4, 20, 0, 0.0))), "2024-07-05 00:00:00.000 5");

    SYSTEMTIME out = MakeSystemTime(1999, 1, 1);
    EXPECT_EQ(Text(UtcToLocalSystemTime(out, MakeSystemTime(2024, 1, 1, 3))), "2023-12-31 22:00:00.000 0");
    EXPECT_EQ(Text(out), "2023-12-31 22:00:00.000 0");
    EXPECT_EQ(Text(LocalToUtcSystemTime(out, MakeSystemTime(2023, 12, 31, 22))), "2024-01-01 03:00:00.000 1");
    // No time stays no time.
    EXPECT_TRUE(AllZero(UtcToLocalSystemTime(out, SYSTEMTIME{})));
    EXPECT_FALSE(UtcToLocal(CZORTime()).IsValid());
    EXPECT_FALSE(LocalToUtc(CZORTime(sTimeRecord{0, 0, 3600.0})).IsValid());
  }
}

// Dublin flags its winter time as daylight time; the repeated hour on the
// last Sunday of October is still read as its first pass (summer time) and
// the skipped hour in March with the summer offset, as in every other zone.
TEST(SystemTimeZoneTest, LocalToUtcGoesByOffsetsNotTheDaylightFlag) {
  for (const char* zone : {"Europe/Dublin", "Europe/London", "WET0WEST,M3.5.0/1,M10.5.0"}) {
    ScopedTz tz(zone);
    for (int year = 1997; year <= 2037; ++year) {
      for (int month : {3, 10}) {
        const int32_t end = DateToMjd(year, month, 31);
        const int lastSunday = 31 - MjdDayOfWeek(end);
        // The change is at 01:00 UTC: 01:30 local is skipped in March and
        // repeated in October; both read with the summer offset (+1 h).
        EXPECT_EQ(Text(LocalToUtc(At(year, month, lastSunday, 1, 30, 0.25))),
                  Text(At(year, month, lastSunday, 0, 30, 0.25)))
            << zone << ' ' << year << '-' << month;
        EXPECT_EQ(Text(LocalToUtc(At(year, month, lastSunday, 2, 30))),
                  Text(At(year, month, lastSunday, month == 3 ? 1 : 2, 30)))
            << zone << ' ' << year << '-' << month;
      }
    }
  }
}

// The offset in force now, in zones that flag winter as daylight time, with
// half-hour and two-hour changes, or none.
TEST(SystemTimeZoneTest, UtcOffsetHoursIsTheOffsetInForceInEveryZone) {
  for (const char* zone : {"Europe/Dublin", "Africa/Casablanca", "Australia/Lord_Howe",
                           "Antarctica/Troll", "Pacific/Chatham", "America/St_Johns",
                           "Asia/Kolkata", "America/New_York", "EST5EDT,M3.2.0,M11.1.0"}) {
    ScopedTz tz(zone);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ASSERT_NE(localtime_r(&now, &local), nullptr);
    EXPECT_EQ(GetUtcOffsetHours(), local.tm_gmtoff / 3600.0) << zone;
  }
}

TEST(SystemTimeZoneTest, UtcOffsetHours) {
  {
    ScopedTz tz("UTC0");
    EXPECT_EQ(GetUtcOffsetHours(), 0.0);
  }
  {
    ScopedTz tz("<-0330>3:30");
    EXPECT_EQ(GetUtcOffsetHours(), -3.5);
  }
  {
    ScopedTz tz(kCentralEurope);
    const double offset = GetUtcOffsetHours();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ASSERT_NE(localtime_r(&now, &local), nullptr);
    EXPECT_EQ(offset, local.tm_isdst > 0 ? 2.0 : 1.0);
  }
}

TEST(SystemTimeGpsTest, WeekToRecord) {
  const sTimeRecord none = GpsWeekToTimeRecord(sGpsWeekTime{0, 0, 0.0}, 0.0);
  EXPECT_EQ(none.seconds, -1.0);
  EXPECT_EQ(GpsWeekToTimeRecord(sGpsWeekTime{5, 0, -1.0}, 0.0).seconds, -1.0);

  const CZORTime t(GpsWeekToTimeRecord(sGpsWeekTime{1, 0, 0.0}, 18.0));
  EXPECT_EQ(Text(t), "1980-01-12 23:59:42.000 6");
  EXPECT_EQ(Text(CZORTime(GpsWeekToTimeRecord(sGpsWeekTime{1, 0, 0.0}, 0.0))),
            "1980-01-13 00:00:00.000 0");
}

TEST(SystemTimeGpsTest, TimeToWeekAddsTheOffset) {
  const CZORTime t = At(2024, 2, 4, 0, 0, 10.0);  // 10 s into GPS week 2300
  const sGpsWeekTime g = TimeToGpsWeek(t, 18.0);
  EXPECT_EQ(g.week, 2300);
  EXPECT_EQ(g.seconds, 28.0);
  EXPECT_EQ(CZORTime(GpsWeekToTimeRecord(g, 18.0)) - t, 0.0);

  const sGpsWeekTime s = SystemTimeToGpsWeek(MakeSystemTime(2024, 2, 10, 23, 59, 59, 500), 1.0);
  EXPECT_EQ(s.week, 2301);
  EXPECT_DOUBLE_EQ(s.seconds, 0.5);

  EXPECT_TRUE(AllZero(TimeToGpsWeek(CZORTime(), 18.0)));
  EXPECT_TRUE(AllZero(TimeToGpsWeek(CZORTime(sTimeRecord{0, 0, 100.0}), 18.0)));
  EXPECT_TRUE(AllZero(SystemTimeToGpsWeek(SYSTEMTIME{}, 18.0)));
}

TEST(SystemTimeGpsTest, SecondsOfWeekNearWeekBoundaries) {
  // Week 2300 begins on 2024-02-04.
  const SYSTEMTIME early = MakeSystemTime(2024, 2, 4, 0, 0, 10);     // second 10 of the week
  const SYSTEMTIME late = MakeSystemTime(2024, 2, 10, 23, 59, 55);   // second 604795
  const SYSTEMTIME middle = MakeSystemTime(2024, 2, 7, 12);

  EXPECT_EQ(Text(GpsSecondsOfWeekToTime(early, 604790.0, false, 0.0)), "2024-02-03 23:59:50.000 6");
  EXPECT_EQ(Text(GpsSecondsOfWeekToTime(late, 5.0, false, 0.0)), "2024-02-11 00:00:05.000 0");
  EXPECT_EQ(Text(GpsSecondsOfWeekToTime(early, 100.0, false, 0.0)), "2024-02-04 00:01:40.000 0");
  EXPECT_EQ(Text(GpsSecondsOfWeekToTime(late, 604000.0, false, 0.0)), "2024-02-10 23:46:40.000 6");
  EXPECT_EQ(Text(GpsSecondsOfWeekToTime(middle, 3618.0, true, 18.0)), "2024-02-04 01:00:00.000 0");
  EXPECT_EQ(Text(GpsSecondsOfWeekToTime(middle, 3618.0, false, 18.0)), "2024-02-04 01:00:18.000 0");
  // The offset brings a value just past the boundary back into the old week.
  EXPECT_EQ(Text(GpsSecondsOfWeekToTime(late, 10.0, true, 18.0)), "2024-02-10 23:59:52.000 6");
  EXPECT_FALSE(GpsSecondsOfWeekToTime(SYSTEMTIME{}, 100.0, false, 0.0).IsValid());
}

TEST(SystemTimeAlignTest, ReferenceDay) {
  SYSTEMTIME t = MakeSystemTime(2024, 3, 1, 23, 59);
  AlignToReferenceDay(t, MakeSystemTime(2024, 3, 2, 0, 1));
  EXPECT_EQ(Text(t), "2024-03-01 23:59:00.000 5");  // -120 s: stays

  t = MakeSystemTime(2024, 3, 1, 0, 1);
  AlignToReferenceDay(t, MakeSystemTime(2024, 3, 2, 23, 59));
  EXPECT_EQ(Text(t), "2024-03-03 00:01:00.000 0");  // two days on, +120 s

  t = MakeSystemTime(2024, 3, 1, 12);
  AlignToReferenceDay(t, MakeSystemTime(2024, 3, 2, 0));  // exactly -43200 s: stays
  EXPECT_EQ(Text(t), "2024-03-01 12:00:00.000 5");

  t = SYSTEMTIME{};
  AlignToReferenceDay(t, MakeSystemTime(2024, 3, 2));
  EXPECT_TRUE(AllZero(t));

  t = MakeSystemTime(2024, 3, 1, 23, 59);
  AlignToReferenceDay(t, SYSTEMTIME{});
  EXPECT_EQ(Text(t), "2024-03-01 23:59:00.000 0");  // untouched, day of week as given
}

TEST(SystemTimeAlignTest, ReferenceMinute) {
  CZORTime t = At(2024, 3, 1, 9, 30, 10.5);
  AlignToReferenceMinute(t, At(2024, 3, 2, 14, 0, 0.0));
  EXPECT_EQ(Text(t), "2024-03-02 14:00:10.500 6");

  t = At(2024, 3, 1, 9, 0, 50.0);
  AlignToReferenceMinute(t, At(2024, 3, 1, 9, 59, 30.0));
  EXPECT_EQ(Text(t), "2024-03-01 09:58:50.000 5");

  const CZORTime before = At(2024, 3, 1, 9, 30, 10.5);
  t = before;
  AlignToReferenceMinute(t, CZORTime());
  EXPECT_TRUE(t == before);
  AlignToReferenceMinute(t, CZORTime(sTimeRecord{0, 0, 100.0}));
  EXPECT_TRUE(t == before);
}

TEST(SystemTimeArithmeticTest, MidTimeAndDifferences) {
  const CZORTime a = At(2024, 3, 1, 23, 0, 0.0);
  const CZORTime b = At(2024, 3, 2, 1, 0, 0.0);
  EXPECT_EQ(Text(MidTime(a, b)), "2024-03-02 00:00:00.000 6");
  EXPECT_FALSE(MidTime(a, CZORTime()).IsValid());
  EXPECT_EQ(AbsTimeDifference(a, b), 7200.0);
  EXPECT_EQ(AbsTimeDifference(b, a), 7200.0);
  EXPECT_EQ(AbsTimeDifference(CZORTime(), a), 0.0);

  SYSTEMTIME out = MakeSystemTime(9, 9, 9);
  ASSERT_TRUE(SystemTimeDifference(out, MakeSystemTime(2024, 3, 1, 12, 0, 0, 500), MakeSystemTime(2024, 2, 29, 11)));
  EXPECT_EQ(Text(out), "1601-01-02 01:00:00.500 2");
  out = MakeSystemTime(9, 9, 9);
  EXPECT_FALSE(SystemTimeDifference(out, MakeSystemTime(2024, 2, 29), MakeSystemTime(2024, 3, 1)));
  EXPECT_TRUE(AllZero(out));
  out = MakeSystemTime(9, 9, 9);
  EXPECT_FALSE(SystemTimeDifference(out, MakeSystemTime(2024, 2, 30), MakeSystemTime(2024, 2, 1)));
  EXPECT_TRUE(AllZero(out));
}

TEST(SystemTimeArithmeticTest, ElapsedSeconds) {
  EXPECT_EQ(ElapsedSeconds(1000, 1000 + 1'500'000'000), 1.5);
  EXPECT_EQ(ElapsedSeconds(0, 19'999), 0.00001);  // 10 us steps, cut
  EXPECT_EQ(ElapsedSeconds(0, 9'999), 0.0);
  EXPECT_EQ(ElapsedSeconds(2'000'000'000, 0), -2.0);
  // A year at 1 GHz: the scaled count no longer fits 64 bits.
  EXPECT_EQ(ElapsedSeconds(0, 31'536'000'000'000'000), 31'536'000.0);
  EXPECT_EQ(ElapsedSeconds(INT64_MIN, INT64_MAX), 18446744073.70955);
}

TEST(SystemTimeCalendarTest, Questions) {
  EXPECT_EQ(SystemTimeDayOfYear(MakeSystemTime(2024, 12, 31)), 366);
  EXPECT_EQ(SystemTimeDayOfYear(MakeSystemTime(2023, 3, 1)), 60);
  EXPECT_EQ(SystemTimeDayOfYear(SYSTEMTIME{}), 0);

  const CZORTime leap = At(2024, 2, 10, 12, 0, 0.0);
  EXPECT_EQ(DayOfYear(leap), 41);
  EXPECT_EQ(DaysInYear(leap), 366);
  EXPECT_EQ(DaysInMonth(leap), 29);
  EXPECT_TRUE(IsLeapYearOf(leap));
  EXPECT_EQ(DaysInMonth(At(2100, 2, 1)), 28);
  EXPECT_FALSE(IsLeapYearOf(At(2100, 2, 1)));
  // The month of the millisecond-rounded time.
  EXPECT_EQ(DaysInMonth(CZORTime(sTimeRecord{DateToMjd(2024, 1, 31), 0, 86399.9999})), 29);

  const CZORTime none;
  EXPECT_EQ(DayOfYear(none), 0);
  EXPECT_EQ(DaysInYear(none), 0);
  EXPECT_EQ(DaysInMonth(none), 0);
  EXPECT_FALSE(IsLeapYearOf(none));

  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  const double today = GetDecimalYearToday();
  EXPECT_GE(today, utc.tm_year + 1900.0 - 0.01);
  EXPECT_LT(today, utc.tm_year + 1901.0 + 0.01);
}

TEST(SystemTimeTextTest, TimeOfDay) {
  const int day = DateToMjd(2024, 3, 1);
  EXPECT_EQ(FormatTimeOfDay(CZORTime(sTimeRecord{day, 0, 43200.999}), 2, ':'), "12:00:00.99");
  EXPECT_EQ(FormatTimeOfDay(CZORTime(sTimeRecord{day, 0, 43200.12345}), 4, ':'), "12:00:00.1234");
  EXPECT_EQ(FormatTimeOfDay(CZORTime(sTimeRecord{day, 0, 3723.5}), 1, 0), "010203.5");
  EXPECT_EQ(FormatTimeOfDay(CZORTime(), 3, ':'), "Invalid");

  const SYSTEMTIME st = MakeSystemTime(2024, 3, 1, 1, 2, 3, 999);
  EXPECT_EQ(FormatSystemTimeOfDay(st, 3, ':'), "01:02:03.999");
  EXPECT_EQ(FormatSystemTimeOfDay(st, 2, ':'), "01:02:03.99");
  EXPECT_EQ(FormatSystemTimeOfDay(st, 1, '-'), "01-02-03.9");
  EXPECT_EQ(FormatSystemTimeOfDay(st, 0, 0), "010203");
  EXPECT_EQ(FormatSystemTimeOfDay(st, 5, ':'), "01:02:03.99900");
  EXPECT_EQ(FormatSystemTimeOfDay(st, 9, ':'), "01:02:03.999000");
  EXPECT_EQ(FormatSystemTimeOfDay(MakeSystemTime(0, 3, 1, 1), 3, ':'), "Invalid");
}

TEST(SystemTimeTextTest, DateTimeTakesDateAndTimeFromTheSameRounding) {
  const CZORTime t(sTimeRecord{DateToMjd(2024, 3, 1), 0, 86399.9996});
  EXPECT_EQ(FormatDateTime(t, 3, ':'), "2024-03-02 00:00:00.000");
  EXPECT_EQ(FormatDateTime(t, 0, ':'), "2024-03-02 00:00:00");
  EXPECT_EQ(FormatDateTime(t, 6, ':'), "2024-03-01 23:59:59.999600");
  EXPECT_EQ(FormatDateTime(CZORTime(), 3, ':'), "Invalid");
  EXPECT_EQ(FormatSystemDateTime(MakeSystemTime(2024, 3, 1, 4, 5, 6, 78), 2, 0), "2024-03-01 040506.07");
  EXPECT_EQ(FormatSystemDateTime(SYSTEMTIME{}, 2, ':'), "Invalid");
}

// Every decimals count shows the same day for seconds outside [0, 86400):
// the date is never one day off from its clock (away from a carry of the
// millisecond rounding, which the microsecond texts do not make).
TEST(SystemTimeTextTest, DateTimeFoldsSecondsOutsideTheDayAtEveryPrecision) {
  const int32_t day = DateToMjd(2024, 2, 29);
  for (double seconds : {-0.75, -0.25, 86400.0, 90000.0, 2 * 86400.0 + 3.5}) {
    const CZORTime t(sTimeRecord{day, 0, seconds});
    const std::string three = FormatDateTime(t, 3, ':');
    for (int decimals : {4, 6, 9}) {
      const std::string more = FormatDateTime(t, decimals, ':');
      EXPECT_EQ(more.substr(0, 11), three.substr(0, 11)) << seconds << ' ' << decimals;
      EXPECT_EQ(more.substr(11, 8), three.substr(11, 8)) << seconds << ' ' << decimals;
    }
  }
  EXPECT_EQ(FormatDateTime(CZORTime(sTimeRecord{day, 0, 90000.0}), 6, ':'),
            "2024-03-01 01:00:00.000000");
  EXPECT_EQ(FormatDateTime(CZORTime(sTimeRecord{day, 0, -0.75}), 6, ':'),
            "2024-02-28 23:59:59.250000");
}

TEST(SystemTimeTextTest, MjdText) {
  const CZORTime t(sTimeRecord{51544, 0, 43200.25});
  EXPECT_EQ(FormatMjdText(t, 3), "51544 43200.250");
  EXPECT_EQ(FormatMjdText(CZORTime(sTimeRecord{7, 0, 5.5}), 1), "00007 005.5");
  EXPECT_EQ(FormatMjdText(t, -4), "51544 43200");
  EXPECT_EQ(FormatMjdText(t, 1000), "51544 43200.25000000000000000");  // held at 17
  EXPECT_EQ(FormatMjdText(CZORTime(), 3), "Invalid");
  EXPECT_EQ(FormatSystemTimeMjd(MakeSystemTime(2000, 1, 1, 12, 0, 0, 250), 2), "51544 43200.25");
  EXPECT_EQ(FormatSystemTimeMjd(SYSTEMTIME{}, 2), "Invalid");
  // The last millisecond of a day rounds to the next day's start, never to
  // 86400 seconds.
  EXPECT_EQ(FormatSystemTimeMjd(MakeSystemTime(2000, 1, 1, 23, 59, 59, 999), 2), "51545 00.00");
  EXPECT_EQ(FormatSystemTimeMjd(MakeSystemTime(2000, 1, 1, 23, 59, 59, 999), 3),
            "51544 86399.999");
  EXPECT_EQ(FormatMjdText(CZORTime(sTimeRecord{51544, 0, 86399.96}), 1), "51545 000.0");
  EXPECT_EQ(FormatMjdText(CZORTime(sTimeRecord{51544, 0, -0.0}), 2), "51544 00.00");
}

TEST(SystemTimeTextTest, StrftimePattern) {
  ScopedTz tz("UTC0");
  const CZORTime t = At(2024, 3, 5, 13, 4, 5.0);
  EXPECT_EQ(FormatTimeWithPattern(t, "%Y-%m-%d %H:%M:%S %a"), "2024-03-05 13:04:05 Tue");
  EXPECT_EQ(FormatTimeWithPattern(t, nullptr), "");
  EXPECT_EQ(FormatTimeWithPattern(t, std::string(127, 'x').c_str()), std::string(127, 'x'));
  EXPECT_EQ(FormatTimeWithPattern(t, std::string(128, 'x').c_str()), "");  // no room for the zero
  EXPECT_EQ(FormatTimeWithPattern(CZORTime(), "%Y"), "Invalid");
  EXPECT_EQ(FormatTimeWithPattern(CZORTime(sTimeRecord{0, 0, 10.0}), "%Y"), "Invalid");
  EXPECT_EQ(FormatTimeWithPattern(At(1969, 12, 31, 23, 59, 59.0), "%Y"), "Invalid");
  EXPECT_EQ(FormatTimeWithPattern(At(1970, 1, 1), "%Y"), "1970");
  EXPECT_EQ(FormatTimeWithPattern(At(3000, 12, 31, 23, 59, 59.0), "%Y"), "3000");
  EXPECT_EQ(FormatTimeWithPattern(At(3001, 1, 1), "%Y"), "Invalid");
}

TEST(SystemTimeTextTest, LocalePictures) {
  const CZORTime t = At(2024, 3, 5, 13, 4, 5.0);
  EXPECT_EQ(FormatDateWithPattern(t, "dddd d MMM yy"), "Tuesday 5 Mar 24");
  EXPECT_EQ(FormatDateWithPattern(t, nullptr), "3/5/2024");
  EXPECT_EQ(FormatDateWithPattern(t, std::string(259, 'x').c_str()), std::string(259, 'x'));
  EXPECT_EQ(FormatDateWithPattern(t, std::string(260, 'x').c_str()), "");
  EXPECT_EQ(FormatDateWithPattern(CZORTime(), "d"), "");
  EXPECT_EQ(FormatTimeOfDayWithPattern(t, "HH'h'mm"), "13h04");
  EXPECT_EQ(FormatDate(t, zor::platform::DATE_LONGDATE), "Tuesday, March 5, 2024");
  EXPECT_EQ(FormatTimeOfDayLocale(t, 0), "1:04:05 PM");
  EXPECT_EQ(FormatTimeOfDayLocale(t, zor::platform::TIME_NOSECONDS), "1:04 PM");
}

// Every int argument of the texts, at its extremes, on set and unset values
// alike: no overflow (the sanitizer build checks that), and a clock shows
// the digits asked for (at most six).
TEST(SystemTimeTextTest, ExtremeIntArgumentsNeverOverflow) {
  constexpr int kMin = std::numeric_limits<int>::min();
  constexpr int kMax = std::numeric_limits<int>::max();
  const CZORTime times[] = {CZORTime(), At(2024, 2, 29, 23, 59, 59.9996),
                            CZORTime(sTimeRecord{kMax, 0, 1e15}),
                            CZORTime(sTimeRecord{kMin, 0, 0.5})};
  const SYSTEMTIME st = MakeSystemTime(65535, 65535, 65535, 65535, 65535, 65535, 65535);
  for (int v : {kMin, kMin + 1, -1, 0, 1, 3, 4, 6, 7, kMax - 1, kMax}) {
    EXPECT_EQ(FormatTimeOfDay(times[1], v, ':').size(), v <= 0 ? 8u : 9u + std::min(v, 6)) << v;
    for (const CZORTime& t : times) {
      (void)FormatTimeOfDay(t, v, ':');
      (void)FormatDateTime(t, v, '\0');
      (void)FormatMjdText(t, v);
    }
    (void)FormatSystemTimeOfDay(st, v, '.');
    (void)FormatSystemDateTime(st, v, ':');
    (void)FormatSystemTimeMjd(st, v);
    (void)DaysInMonthOf(v, v);
    (void)zor::platform::DaysInMonthOf(v, v);
  }
}

TEST(SystemTimeTextTest, Duration) {
  EXPECT_EQ(FormatDuration(90061.5, false), "1 d 01:01:01.5");
  EXPECT_EQ(FormatDuration(90061.5, true), "1 d 01:01:02");
  EXPECT_EQ(FormatDuration(5.0, false), "00:00:05.0");
  EXPECT_EQ(FormatDuration(5.0, true), "00:00:05");
  EXPECT_EQ(FormatDuration(-59.96, true), "-00:01:00");
  EXPECT_EQ(FormatDuration(-59.96, false), "-00:01:00.0");
  // A negative duration keeps its sign where it rounds to zero; -0.0 is not
  // negative.
  EXPECT_EQ(FormatDuration(-0.04, false), "-00:00:00.0");
  EXPECT_EQ(FormatDuration(-0.3, true), "-00:00:00");
  EXPECT_EQ(FormatDuration(-0.4, true), "-00:00:00");
  EXPECT_EQ(FormatDuration(-std::numeric_limits<double>::denorm_min(), false), "-00:00:00.0");
  EXPECT_EQ(FormatDuration(-std::numeric_limits<double>::denorm_min(), true), "-00:00:00");
  EXPECT_EQ(FormatDuration(-0.0, false), "00:00:00.0");
  EXPECT_EQ(FormatDuration(-0.0, true), "00:00:00");
  EXPECT_EQ(FormatDuration(-0.06, false), "-00:00:00.1");
  EXPECT_EQ(FormatDuration(3599.96, false), "01:00:00.0");
  EXPECT_EQ(FormatDuration(86399.97, false), "1 d 00:00:00.0");
  EXPECT_EQ(FormatDuration(59.94, false), "00:00:59.9");
  EXPECT_EQ(FormatDuration(10 * 86400.0 + 7200.0, true), "10 d 02:00:00");
  // Without a carry the tenths are those printf shows for the seconds: an
  // exact tie goes to even, and 0.15 is a little below its tie.
  EXPECT_EQ(FormatDuration(1.25, false), "00:00:01.2");
  EXPECT_EQ(FormatDuration(61.75, false), "00:01:01.8");
  EXPECT_EQ(FormatDuration(0.15, false), "00:00:00.1");
  EXPECT_EQ(FormatDuration(3600.35, false), "01:00:00.3");  // 3600.3499999...
  EXPECT_EQ(FormatDuration(59.95, false), "00:01:00.0");
  for (int tenths = 0; tenths <= 600; ++tenths) {
    for (double off : {-0.05, -0.0499, 0.0, 0.0499, 0.05}) {
      const double x = tenths / 10.0 + off;
      if (x < 0.0) continue;
      char printed[32];
      std::snprintf(printed, sizeof printed, "%.1f", x);
      if (std::strtod(printed, nullptr) >= 60.0) continue;  // carries: checked above
      const std::string text = FormatDuration(x, false);
      ASSERT_EQ(std::strtod(text.c_str() + 6, nullptr), std::strtod(printed, nullptr)) << x;
    }
  }
}

TEST(SystemTimeTextTest, LocaleTimeFormat) {
  using zor::platform::LocaleInfo;
  EXPECT_EQ(GetLocaleTimeFormat(false), "h:mm:ss tt");
  EXPECT_EQ(GetLocaleTimeFormat(true), "h:mm tt");

  LocaleInfo loc = zor::platform::DefaultLocale();
  loc.timeFormat = "HH.mm.s";
  loc.timeSeparator = ".";
  zor::platform::SetUserLocale(loc);
  EXPECT_EQ(GetLocaleTimeFormat(true), "HH.mm");
  loc.timeFormat = "HH.mm";
  zor::platform::SetUserLocale(loc);
  EXPECT_EQ(GetLocaleTimeFormat(true), "HH.mm");  // nothing to remove
  zor::platform::ResetUserLocale();
}

}  // namespace

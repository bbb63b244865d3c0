#include "platform/file_time.h"

#include <gtest/gtest.h>

#include "tests/support/system_time_builder.h"

#include <chrono>
#include <cstring>

namespace zor::platform {
namespace {

bool Accepts(const SYSTEMTIME& st) {
  uint64_t ticks = 0;
  return SystemTimeToFileTime(st, ticks);
}

TEST(FileTimeTest, ValidationBoundaries) {
  EXPECT_TRUE(Accepts(MakeSystemTime(1601, 1, 1)));
  EXPECT_FALSE(Accepts(MakeSystemTime(1600, 12, 31, 23, 59, 59, 999)));
  EXPECT_TRUE(Accepts(MakeSystemTime(30827, 12, 31, 23, 59, 59, 999)));
  EXPECT_FALSE(Accepts(MakeSystemTime(30828, 1, 1)));

  EXPECT_TRUE(Accepts(MakeSystemTime(2000, 2, 29)));   // divisible by 400
  EXPECT_FALSE(Accepts(MakeSystemTime(1900, 2, 29)));  // by 100 only
  EXPECT_TRUE(Accepts(MakeSystemTime(2024, 2, 29)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2023, 2, 29)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2024, 4, 31)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2024, 1, 0)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2024, 0, 1)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2024, 13, 1)));

  EXPECT_TRUE(Accepts(MakeSystemTime(2024, 1, 1, 23, 59, 59, 999)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2024, 1, 1, 24)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2024, 1, 1, 0, 60)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2024, 1, 1, 0, 0, 60)));
  EXPECT_FALSE(Accepts(MakeSystemTime(2024, 1, 1, 0, 0, 0, 1000)));

  // The day of week is not looked at.
  SYSTEMTIME st = MakeSystemTime(2024, 1, 1);
  st.wDayOfWeek = 77;
  EXPECT_TRUE(Accepts(st));
}

TEST(FileTimeTest, KnownInstants) {
  uint64_t ticks = 1;
  ASSERT_TRUE(SystemTimeToFileTime(MakeSystemTime(1601, 1, 1), ticks));
  EXPECT_EQ(ticks, 0u);
  ASSERT_TRUE(SystemTimeToFileTime(MakeSystemTime(1970, 1, 1), ticks));
  EXPECT_EQ(ticks, kUnixEpochTicks);
  ASSERT_TRUE(SystemTimeToFileTime(MakeSystemTime(1970, 1, 1, 0, 0, 1, 250), ticks));
  EXPECT_EQ(ticks, kUnixEpochTicks + 12'500'000);

  FILETIME ft{};
  ASSERT_TRUE(SystemTimeToFileTime(MakeSystemTime(2000, 1, 1), ft));
  EXPECT_EQ(FileTimeToTicks(ft), 125'911'584'000'000'000u);

  SYSTEMTIME st{};
  ASSERT_TRUE(FileTimeToSystemTime(0, st));
  EXPECT_EQ(st.wYear, 1601);
  EXPECT_EQ(st.wDayOfWeek, 1);  // Monday
  ASSERT_TRUE(FileTimeToSystemTime(ft, st));
  EXPECT_EQ(st.wDayOfWeek, 6);  // 2000-01-01, Saturday
}

TEST(FileTimeTest, LargestValueAndOverflow) {
  SYSTEMTIME st{};
  ASSERT_TRUE(FileTimeToSystemTime(0x7FFFFFFFFFFFFFFFULL, st));
  EXPECT_EQ(st.wYear, 30828);
  EXPECT_EQ(st.wMonth, 9);
  EXPECT_EQ(st.wDay, 14);
  EXPECT_EQ(st.wHour, 2);
  EXPECT_EQ(st.wMinute, 48);
  EXPECT_EQ(st.wSecond, 5);
  EXPECT_EQ(st.wMilliseconds, 477);

  SYSTEMTIME untouched = MakeSystemTime(1999, 9, 9);
  SYSTEMTIME probe = untouched;
  EXPECT_FALSE(FileTimeToSystemTime(0x8000000000000000ULL, probe));
  EXPECT_FALSE(FileTimeToSystemTime(~0ULL, probe));
  EXPECT_EQ(std::memcmp(&probe, &untouched, sizeof probe), 0);
}

// Every 97th day from 1601 to 30827 against the standard library's civil
// calendar, and back again through the file time.
TEST(FileTimeTest, AgreesWithChronoCalendar) {
  using namespace std::chrono;
  const sys_days first = sys_days(year{1601} / January / 1);
  const sys_days last = sys_days(year{30827} / December / 31);
  int checked = 0;
  for (sys_days day = first; day <= last; day += days{97}) {
    const uint64_t ticks = static_cast<uint64_t>((day - first).count()) * kTicksPerDay +
                           (13 * 3600 + 14 * 60 + 15) * kTicksPerSecond + 678 * kTicksPerMillisecond;
    SYSTEMTIME st{};
    ASSERT_TRUE(FileTimeToSystemTime(ticks, st));
    const year_month_day ymd(day);
    ASSERT_EQ(st.wYear, static_cast<int>(ymd.year()));
    ASSERT_EQ(st.wMonth, static_cast<unsigned>(ymd.month()));
    ASSERT_EQ(st.wDay, static_cast<unsigned>(ymd.day()));
    ASSERT_EQ(st.wDayOfWeek, weekday(day).c_encoding());
    ASSERT_EQ(st.wHour, 13);
    ASSERT_EQ(st.wMinute, 14);
    ASSERT_EQ(st.wSecond, 15);
    ASSERT_EQ(st.wMilliseconds, 678);
    uint64_t back = 0;
    ASSERT_TRUE(SystemTimeToFileTime(st, back));
    ASSERT_EQ(back, ticks);
    ++checked;
  }
  EXPECT_GT(checked, 100000);
}

TEST(FileTimeTest, LastDaysOfLeapCycles) {
  // 31 December of a leap year and the last day of a 400-year cycle are the
  // places where a day count slips into the next year.
  for (int y : {1604, 1700, 2000, 2024, 2400}) {
    uint64_t ticks = 0;
    ASSERT_TRUE(SystemTimeToFileTime(MakeSystemTime(y, 12, 31, 23, 59, 59, 999), ticks));
    SYSTEMTIME st{};
    ASSERT_TRUE(FileTimeToSystemTime(ticks, st));
    EXPECT_EQ(st.wYear, y);
    EXPECT_EQ(st.wMonth, 12);
    EXPECT_EQ(st.wDay, 31);
    ASSERT_TRUE(FileTimeToSystemTime(ticks + kTicksPerMillisecond, st));
    EXPECT_EQ(st.wYear, y + 1);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 1);
  }
}

TEST(FileTimeTest, UnixTime) {
  EXPECT_EQ(UnixTimeToFileTime(0, 0), kUnixEpochTicks);
  EXPECT_EQ(UnixTimeToFileTime(1, 500'000'000), kUnixEpochTicks + 15'000'000);
  EXPECT_EQ(UnixTimeToFileTime(-11'644'473'601, 0), 0u);  // before 1601
  EXPECT_LT(UnixTimeToFileTime(INT64_MAX, 999'999'999), 0x8000000000000000ULL);
  // Nanoseconds beyond one second carry into the seconds, either way, and no
  // pair overflows (the sanitizer build traps a signed overflow).
  EXPECT_EQ(UnixTimeToFileTime(0, 2'500'000'000), kUnixEpochTicks + 25'000'000);
  EXPECT_EQ(UnixTimeToFileTime(10, -2'500'000'000), kUnixEpochTicks + 75'000'000);
  for (int64_t s : {INT64_MIN, int64_t{-11'644'473'600}, int64_t{0}, int64_t{910'692'730'085},
                    INT64_MAX}) {
    for (int64_t ns : {INT64_MIN, int64_t{-1}, int64_t{0}, int64_t{999'999'999}, INT64_MAX}) {
      EXPECT_LT(UnixTimeToFileTime(s, ns), 0x8000000000000000ULL) << s << ' ' << ns;
    }
  }
  EXPECT_EQ(UnixTimeToFileTime(INT64_MIN, INT64_MAX), 0u);
}

}  // namespace
}  // namespace zor::platform

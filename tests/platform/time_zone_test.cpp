#include "platform/time_zone.h"

#include <gtest/gtest.h>

#include "tests/support/system_time_builder.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <vector>

#include "platform/clock.h"
#include "platform/file_time.h"
#include "tests/platform/scoped_tz.h"

namespace zor::platform {
namespace {

// "yyyy-mm-dd hh:mm:ss.mmm w" of a record, for readable comparisons.
std::string Text(const SYSTEMTIME& st) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d %d", st.wYear, st.wMonth,
                st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
  return buf;
}

std::string ToLocal(const SYSTEMTIME& utc) {
  SYSTEMTIME local{};
  if (!SystemTimeToTzSpecificLocalTime(utc, local)) return "failed";
  return Text(local);
}

std::string ToUtc(const SYSTEMTIME& local) {
  SYSTEMTIME utc{};
  if (!TzSpecificLocalTimeToSystemTime(local, utc)) return "failed";
  return Text(utc);
}

TEST(TimeZoneTest, CentralEuropeAcrossDaylightChanges) {
  ScopedTz tz(kCentralEurope);
  // Spring: 01:00 UTC on the last Sunday of March turns 02:00 CET into 03:00 CEST.
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 3, 31, 0, 59, 59, 999)), "2024-03-31 01:59:59.999 0");
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 3, 31, 1, 0, 0, 0)), "2024-03-31 03:00:00.000 0");
  // Autumn: 01:00 UTC on the last Sunday of October turns 03:00 CEST into 02:00 CET.
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 10, 27, 0, 59, 59, 500)), "2024-10-27 02:59:59.500 0");
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 10, 27, 1, 0, 0, 0)), "2024-10-27 02:00:00.000 0");
  // Across midnight and the new year.
  EXPECT_EQ(ToLocal(MakeSystemTime(2023, 12, 31, 23, 30)), "2024-01-01 00:30:00.000 1");

  EXPECT_EQ(ToUtc(MakeSystemTime(2024, 7, 1, 12)), "2024-07-01 10:00:00.000 1");
  EXPECT_EQ(ToUtc(MakeSystemTime(2024, 1, 1, 0, 30)), "2023-12-31 23:30:00.000 0");
  // The skipped hour is read with the larger offset (after the change), the
  // repeated hour with the larger offset too (its first pass).
  EXPECT_EQ(ToUtc(MakeSystemTime(2024, 3, 31, 2, 30)), "2024-03-31 00:30:00.000 0");
  EXPECT_EQ(ToUtc(MakeSystemTime(2024, 10, 27, 2, 30)), "2024-10-27 00:30:00.000 0");
  EXPECT_EQ(ToUtc(MakeSystemTime(2024, 10, 27, 3, 0)), "2024-10-27 02:00:00.000 0");
}

TEST(TimeZoneTest, UsEasternAcrossDaylightChanges) {
  ScopedTz tz(kUsEastern);
  // Spring: second Sunday of March, 02:00 EST becomes 03:00 EDT (07:00 UTC).
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 3, 10, 6, 59, 59)), "2024-03-10 01:59:59.000 0");
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 3, 10, 7, 0, 0)), "2024-03-10 03:00:00.000 0");
  // Autumn: first Sunday of November, 02:00 EDT becomes 01:00 EST (06:00 UTC).
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 11, 3, 5, 59, 59)), "2024-11-03 01:59:59.000 0");
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 11, 3, 6, 0, 0)), "2024-11-03 01:00:00.000 0");
  EXPECT_EQ(ToLocal(MakeSystemTime(2024, 1, 1, 3, 0, 0)), "2023-12-31 22:00:00.000 0");

  EXPECT_EQ(ToUtc(MakeSystemTime(2024, 3, 10, 2, 30)), "2024-03-10 06:30:00.000 0");
  EXPECT_EQ(ToUtc(MakeSystemTime(2024, 11, 3, 1, 30)), "2024-11-03 05:30:00.000 0");
  EXPECT_EQ(ToUtc(MakeSystemTime(2024, 12, 31, 21, 0, 0, 1)), "2025-01-01 02:00:00.001 3");
}

// Hour by hour through a year: local and back gives the same instant except
// in the hour after daylight time ends, whose local times are read as the
// first pass.
TEST(TimeZoneTest, RoundTripThroughAYear) {
  for (const char* zone : {kCentralEurope, kUsEastern}) {
    ScopedTz tz(zone);
    uint64_t start = 0;
    ASSERT_TRUE(SystemTimeToFileTime(MakeSystemTime(2024, 1, 1), start));
    int moved = 0;
    for (int hour = 0; hour < 366 * 24; ++hour) {
      const uint64_t ticks = start + hour * 3600 * kTicksPerSecond + 1234 * kTicksPerMillisecond;
      SYSTEMTIME utc{}, local{}, back{};
      ASSERT_TRUE(FileTimeToSystemTime(ticks, utc));
      ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(utc, local));
      ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(local, back));
      uint64_t backTicks = 0;
      ASSERT_TRUE(SystemTimeToFileTime(back, backTicks));
      if (backTicks != ticks) {
        EXPECT_EQ(ticks - backTicks, 3600 * kTicksPerSecond) << zone << " " << Text(utc);
        ++moved;
      }
    }
    EXPECT_EQ(moved, 1) << zone;
  }
}

int64_t OffsetAt(int64_t unixSeconds) {
  const time_t t = static_cast<time_t>(unixSeconds);
  std::tm broken{};
  if (localtime_r(&t, &broken) == nullptr) return INT64_MIN;
  return broken.tm_gmtoff;
}

SYSTEMTIME FromUnix(int64_t seconds) {
  SYSTEMTIME st{};
  FileTimeToSystemTime(static_cast<uint64_t>(seconds + int64_t{kUnixEpochTicks / kTicksPerSecond}) *
                           kTicksPerSecond,
                       st);
  return st;
}

struct Change {
  int64_t at;      // the first instant of the new offset
  int64_t before;  // offsets east of UTC, seconds
  int64_t after;
};

// The zone's offset changes from 1900 to 2100, found day by day and then to
// the second.
std::vector<Change> Changes() {
  std::vector<Change> changes;
  const int64_t first = -2208988800;  // 1900-01-01
  const int64_t last = 4102444800;    // 2100-01-01
  int64_t previous = OffsetAt(first);
  for (int64_t day = first + 86400; day <= last; day += 86400) {
    const int64_t offset = OffsetAt(day);
    if (offset == previous) continue;
    int64_t lo = day - 86400, hi = day;  // OffsetAt(lo) == previous, OffsetAt(hi) != previous
    while (hi - lo > 1) {
      const int64_t mid = lo + (hi - lo) / 2;
      (OffsetAt(mid) == previous ? lo : hi) = mid;
    }
    changes.push_back({hi, previous, OffsetAt(hi)});
    previous = offset;
  }
  return changes;
}

// Around every offset change of zones whose winter time is flagged as
// daylight time (Dublin, Casablanca), one with a 30-minute change (Lord
// Howe), a POSIX rule, and zones that changed rarely but far: a skipped
// day at the date line (Apia, Kwajalein), half hours (Caracas), two hours
// at once (Troll): a wall time shown by two instants gives the earlier one,
// a wall time shown by none is read with the larger offset, and a wall time
// shown once gives that instant.
TEST(TimeZoneTest, RepeatedAndSkippedTimesFollowOneRuleInEveryZone) {
  for (const char* zone : {"Europe/Dublin", "Africa/Casablanca", "Australia/Lord_Howe",
                           "EST5EDT,M3.2.0,M11.1.0", "America/New_York", "Pacific/Apia",
                           "Pacific/Kwajalein", "America/Caracas", "Antarctica/Troll"}) {
    ScopedTz tz(zone);
    const std::vector<Change> changes = Changes();
    const bool often = changes.size() > 40;  // the first five change twice a year
    ASSERT_GT(changes.size(), 2u) << zone;
    int repeated = 0, skipped = 0;
    for (const Change& c : changes) {
      const int64_t low = c.at + std::min(c.before, c.after);
      const int64_t high = c.at + std::max(c.before, c.after);
      for (int64_t wall : {low - 1, low, (low + high) / 2, high - 1, high}) {
        const int64_t viaBefore = wall - c.before;  // shows the old offset before the change
        const int64_t viaAfter = wall - c.after;
        const bool beforeShows = viaBefore < c.at;
        const bool afterShows = viaAfter >= c.at;
        int64_t want = std::min(viaBefore, viaAfter);  // both or neither: the larger offset
        if (beforeShows != afterShows) want = beforeShows ? viaBefore : viaAfter;
        if (wall > low && wall < high) ++(beforeShows ? repeated : skipped);
        SYSTEMTIME local = FromUnix(wall);
        local.wMilliseconds = 250;
        SYSTEMTIME expected = FromUnix(want);
        expected.wMilliseconds = 250;
        ASSERT_EQ(ToUtc(local), Text(expected))
            << zone << " wall " << Text(local) << " change at " << Text(FromUnix(c.at)) << " from "
            << c.before << " to " << c.after;
      }
    }
    if (!often) continue;
    EXPECT_GT(repeated, 20) << zone;
    EXPECT_GT(skipped, 20) << zone;
  }
}

// Zones that flag their winter time as daylight time report the summer as
// daylight time all the same: the larger offset is daylight time.
TEST(TimeZoneTest, ZoneInformationGoesByOffsets) {
  for (const char* zone : {"Europe/Dublin", "Europe/London", kCentralEurope}) {
    ScopedTz tz(zone);
    TimeZoneInformation info;
    const uint32_t id = GetTimeZoneInformation(info);
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    const int64_t current = OffsetAt(now);
    int64_t smallest = current;
    for (int week = 1; week <= 53; ++week) {
      smallest = std::min(smallest, OffsetAt(now + week * 604800));
    }
    EXPECT_EQ(info.bias, -smallest / 60) << zone;
    EXPECT_EQ(info.daylightBias, -60) << zone;
    EXPECT_EQ(id, current == smallest ? kTimeZoneIdStandard : kTimeZoneIdDaylight) << zone;
  }
}

TEST(TimeZoneTest, RejectsRecordsOutOfRange) {
  ScopedTz tz(kUsEastern);
  SYSTEMTIME out = MakeSystemTime(1999, 1, 1);
  EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(SYSTEMTIME{}, out));
  EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(MakeSystemTime(2024, 13, 1), out));
  EXPECT_FALSE(TzSpecificLocalTimeToSystemTime(MakeSystemTime(2024, 2, 30), out));
  // 1601-01-01 00:00 UTC is still 1600 in New York.
  EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(MakeSystemTime(1601, 1, 1), out));
  EXPECT_EQ(Text(out), "1999-01-01 00:00:00.000 0");
}

TEST(TimeZoneTest, ZoneInformation) {
  TimeZoneInformation info;
  {
    ScopedTz tz("UTC0");
    EXPECT_EQ(GetTimeZoneInformation(info), kTimeZoneIdUnknown);
    EXPECT_EQ(info.bias, 0);
    EXPECT_EQ(info.daylightBias, 0);
  }
  {
    ScopedTz tz("<+0530>-5:30");
    EXPECT_EQ(GetTimeZoneInformation(info), kTimeZoneIdUnknown);
    EXPECT_EQ(info.bias, -330);
  }
  {
    ScopedTz tz(kUsEastern);
    const uint32_t id = GetTimeZoneInformation(info);
    EXPECT_EQ(info.bias, 300);
    EXPECT_EQ(info.standardBias, 0);
    EXPECT_EQ(info.daylightBias, -60);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ASSERT_NE(localtime_r(&now, &local), nullptr);
    EXPECT_EQ(id, local.tm_isdst > 0 ? kTimeZoneIdDaylight : kTimeZoneIdStandard);
  }
}

TEST(ClockTest, LocalClockFollowsZone) {
  ScopedTz tz("<+09>-9");
  const SYSTEMTIME utc = GetSystemTime();
  const SYSTEMTIME local = GetLocalTime();
  uint64_t u = 0, l = 0;
  ASSERT_TRUE(SystemTimeToFileTime(utc, u));
  ASSERT_TRUE(SystemTimeToFileTime(local, l));
  const int64_t diff = static_cast<int64_t>(l - u) - int64_t{9 * 3600} * int64_t{kTicksPerSecond};
  EXPECT_GE(diff, 0);
  EXPECT_LT(diff, int64_t{5} * int64_t{kTicksPerSecond});

  // The wall clock agrees with the C library's.
  const int64_t unixNow = static_cast<int64_t>(std::time(nullptr));
  const int64_t clockNow = static_cast<int64_t>((u - kUnixEpochTicks) / kTicksPerSecond);
  EXPECT_LE(std::llabs(unixNow - clockNow), 5);
}

TEST(ClockTest, PerformanceCounterIsMonotonic) {
  EXPECT_EQ(QueryPerformanceFrequency(), 1'000'000'000);
  int64_t last = QueryPerformanceCounter();
  for (int i = 0; i < 1000; ++i) {
    const int64_t now = QueryPerformanceCounter();
    ASSERT_GE(now, last);
    last = now;
  }
}

}  // namespace
}  // namespace zor::platform

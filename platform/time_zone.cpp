#include "platform/time_zone.h"

#include <time.h>

#include <cstdint>

#include "platform/file_time.h"

namespace zor::platform {
namespace {

constexpr int64_t kEpochSeconds = static_cast<int64_t>(kUnixEpochTicks / kTicksPerSecond);

// Seconds since 1970 of the fields read as UTC; false when they are invalid.
bool FieldsToUnixSeconds(const SYSTEMTIME& st, int64_t& seconds) noexcept {
  uint64_t ticks = 0;
  if (!SystemTimeToFileTime(st, ticks)) return false;
  seconds = static_cast<int64_t>(ticks / kTicksPerSecond) - kEpochSeconds;
  return true;
}

// The fields of Unix `seconds` read as UTC, with the milliseconds given.
bool UnixSecondsToFields(int64_t seconds, uint16_t ms, SYSTEMTIME& st) noexcept {
  if (seconds < -kEpochSeconds) return false;
  SYSTEMTIME out{};
  const uint64_t ticks = static_cast<uint64_t>(seconds + kEpochSeconds) * kTicksPerSecond;
  if (!FileTimeToSystemTime(ticks, out)) return false;
  out.wMilliseconds = ms;
  if (!IsValidSystemTime(out)) return false;
  st = out;
  return true;
}

struct LocalOffset {
  int64_t seconds = 0;  // east of UTC
  bool ok = false;
};

LocalOffset OffsetAt(int64_t unixSeconds) noexcept {
  const time_t t = static_cast<time_t>(unixSeconds);
  tm broken{};
  if (localtime_r(&t, &broken) == nullptr) return {};
  return {broken.tm_gmtoff, true};
}

}  // namespace

bool SystemTimeToTzSpecificLocalTime(const SYSTEMTIME& utc, SYSTEMTIME& local) noexcept {
  int64_t seconds = 0;
  if (!FieldsToUnixSeconds(utc, seconds)) return false;
  tzset();
  const LocalOffset offset = OffsetAt(seconds);
  if (!offset.ok) return false;
  return UnixSecondsToFields(seconds + offset.seconds, utc.wMilliseconds, local);
}

bool TzSpecificLocalTimeToSystemTime(const SYSTEMTIME& local, SYSTEMTIME& utc) noexcept {
  int64_t wall = 0;
  if (!FieldsToUnixSeconds(local, wall)) return false;
  tzset();
  // Every instant that shows this wall time lies within a day of it, and
  // real zones change their offset at most once in that span, so the
  // offsets a day before and a day after are the only ones that can apply.
  // A candidate fits when the instant it gives shows that offset itself.
  const LocalOffset before = OffsetAt(wall - 86400);
  const LocalOffset after = OffsetAt(wall + 86400);
  if (!before.ok || !after.ok) return false;
  const bool beforeFits = OffsetAt(wall - before.seconds).seconds == before.seconds;
  const bool afterFits = OffsetAt(wall - after.seconds).seconds == after.seconds;

  // The offsets alone decide, never the zone's daylight flag (some zones
  // flag their winter time as daylight time): a wall time that occurs twice
  // or never is read with the larger offset, which gives the earlier of the
  // two instants when the hour repeats, and for a skipped wall time the
  // offset after the change (02:30 on a night that jumps from 02:00 to 03:00
  // is the instant of 01:30 before the jump).
  int64_t offset = before.seconds > after.seconds ? before.seconds : after.seconds;
  if (beforeFits != afterFits) offset = beforeFits ? before.seconds : after.seconds;
  return UnixSecondsToFields(wall - offset, local.wMilliseconds, utc);
}

uint32_t GetTimeZoneInformation(TimeZoneInformation& info) noexcept {
  tzset();
  const int64_t now = static_cast<int64_t>(time(nullptr));
  const LocalOffset current = OffsetAt(now);
  if (!current.ok) return kTimeZoneIdInvalid;

  // The offsets seen over the coming year. Daylight time is the larger
  // offset, whatever the zone's daylight flag says (some zones flag their
  // winter time as daylight time): when the current offset is the largest
  // and a smaller one comes, daylight time is in force and standard time is
  // the nearest offset below it; otherwise the current offset is standard
  // time and the largest one to come is daylight time.
  int64_t largest = current.seconds;
  int64_t below = INT64_MIN;  // the largest offset under the current one
  for (int week = 1; week <= 53; ++week) {
    const LocalOffset probe = OffsetAt(now + week * int64_t{7 * 86400});
    if (!probe.ok) continue;
    if (probe.seconds > largest) largest = probe.seconds;
    if (probe.seconds < current.seconds && probe.seconds > below) below = probe.seconds;
  }
  info = TimeZoneInformation{};
  if (largest == current.seconds && below != INT64_MIN) {
    info.bias = static_cast<int32_t>(-below / 60);
    info.daylightBias = static_cast<int32_t>(-(current.seconds - below) / 60);
    return kTimeZoneIdDaylight;
  }
  info.bias = static_cast<int32_t>(-current.seconds / 60);
  info.daylightBias = static_cast<int32_t>(-(largest - current.seconds) / 60);
  return largest == current.seconds ? kTimeZoneIdUnknown : kTimeZoneIdStandard;
}

}  // namespace zor::platform

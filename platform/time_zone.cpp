#include "platform/time_zone.h"

#include <time.h>

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
  bool daylight = false;
  bool ok = false;
};

LocalOffset OffsetAt(int64_t unixSeconds) noexcept {
  const time_t t = static_cast<time_t>(unixSeconds);
  tm broken{};
  if (localtime_r(&t, &broken) == nullptr) return {};
  return {broken.tm_gmtoff, broken.tm_isdst > 0, true};
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
  // Offsets change at most once within a day around any wall time in real
  // zones, so the offsets a day before and a day after are the only ones
  // that can apply. A candidate fits when the instant it gives shows that
  // offset itself.
  const LocalOffset before = OffsetAt(wall - 86400);
  const LocalOffset after = OffsetAt(wall + 86400);
  if (!before.ok || !after.ok) return false;
  const bool beforeFits = OffsetAt(wall - before.seconds).seconds == before.seconds;
  const bool afterFits = OffsetAt(wall - after.seconds).seconds == after.seconds;

  LocalOffset chosen = before;
  if (beforeFits != afterFits) {
    chosen = beforeFits ? before : after;
  } else if (before.daylight != after.daylight) {
    // Repeated or skipped hour: daylight time wins.
    chosen = before.daylight ? before : after;
  }
  return UnixSecondsToFields(wall - chosen.seconds, local.wMilliseconds, utc);
}

uint32_t GetTimeZoneInformation(TimeZoneInformation& info) noexcept {
  tzset();
  const int64_t now = static_cast<int64_t>(time(nullptr));
  const LocalOffset current = OffsetAt(now);
  if (!current.ok) return kTimeZoneIdInvalid;

  // Look over the coming year for the offset of the other season.
  LocalOffset standard = current.daylight ? LocalOffset{} : current;
  LocalOffset daylight = current.daylight ? current : LocalOffset{};
  for (int week = 1; week <= 53 && !(standard.ok && daylight.ok); ++week) {
    const LocalOffset probe = OffsetAt(now + week * int64_t{7 * 86400});
    if (!probe.ok) continue;
    if (probe.daylight && !daylight.ok) daylight = probe;
    if (!probe.daylight && !standard.ok) standard = probe;
  }
  // A zone that stays on daylight time all year has no standard offset of its own.
  if (!standard.ok) standard = {current.seconds, false, true};

  info = TimeZoneInformation{};
  info.bias = static_cast<int32_t>(-standard.seconds / 60);
  if (daylight.ok) info.daylightBias = static_cast<int32_t>(-(daylight.seconds - standard.seconds) / 60);
  if (current.daylight) return kTimeZoneIdDaylight;
  return daylight.ok ? kTimeZoneIdStandard : kTimeZoneIdUnknown;
}

}  // namespace zor::platform

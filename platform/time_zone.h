// Conversion of SYSTEMTIME between UTC and the current time zone, and the
// zone's offsets.
//
//   zor::platform::SYSTEMTIME local{};
//   if (zor::platform::SystemTimeToTzSpecificLocalTime(utc, local)) ...
//
//   zor::platform::TimeZoneInformation tz;
//   if (zor::platform::GetTimeZoneInformation(tz) == zor::platform::kTimeZoneIdDaylight)
//     minutesWest = tz.bias + tz.daylightBias;
//
// The current zone is the C library's: the TZ environment variable (a zone
// name or a POSIX rule such as "CET-1CEST,M3.5.0,M10.5.0/3"), else the
// system's zone. TZ is read again on every call, so a test may setenv TZ
// and see the new zone at once. Each conversion applies the zone's rules in
// force at that instant, not only today's offset.
#pragma once

#include <cstdint>

#include "platform/system_time.h"

namespace zor::platform {

// UTC -> local. Milliseconds are kept and the day of week is set. False
// (and `local` untouched) when `utc` fails IsValidSystemTime or the local
// time falls outside the years 1601..30827.
bool SystemTimeToTzSpecificLocalTime(const SYSTEMTIME& utc, SYSTEMTIME& local) noexcept;

// Local -> UTC. A local time that occurs twice or never, at any change of
// the zone's offset, is read with the larger (more eastern) of the offsets
// before and after the change: a repeated hour gives its earlier instant
// (its first pass), and a skipped time the instant as far before the change
// as the time lies after its start (New York's 02:30 on the night that
// jumps from 02:00 to 03:00 is 06:30 UTC, the instant of 01:30 EST). Only
// the offsets decide, never the zone's daylight flag. False as above.
bool TzSpecificLocalTimeToSystemTime(const SYSTEMTIME& local, SYSTEMTIME& utc) noexcept;

inline constexpr uint32_t kTimeZoneIdUnknown = 0;   // the zone has no daylight time
inline constexpr uint32_t kTimeZoneIdStandard = 1;  // standard time in force now
inline constexpr uint32_t kTimeZoneIdDaylight = 2;  // daylight time in force now
inline constexpr uint32_t kTimeZoneIdInvalid = 0xFFFFFFFF;

// Offsets in minutes, west of UTC positive: UTC = local + bias (+ daylightBias
// while daylight time is in force). Of the offsets a zone uses over the
// coming year the larger is daylight time, so a zone that flags its winter
// time as daylight time (Dublin) still reports its summer as daylight time;
// bias + daylightBias in daylight time, and bias in standard time, is
// always the offset in force now.
struct TimeZoneInformation {
  int32_t bias = 0;
  int32_t standardBias = 0;
  int32_t daylightBias = 0;
};

// Fills `info` for the current zone and tells which time is in force now;
// kTimeZoneIdInvalid when the C library cannot break down the current time.
uint32_t GetTimeZoneInformation(TimeZoneInformation& info) noexcept;

}  // namespace zor::platform

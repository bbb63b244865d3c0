// File times: 100-nanosecond ticks since 1601-01-01 00:00:00, and their
// conversion to and from SYSTEMTIME.
//
//   zor::platform::SYSTEMTIME st = ...;
//   uint64_t ticks = 0;
//   if (!zor::platform::SystemTimeToFileTime(st, ticks)) return;  // bad fields
//   ticks += 10'000'000;                                           // one second
//   zor::platform::FileTimeToSystemTime(ticks, st);
//
// The record form FILETIME (two 32-bit halves, low first) is what is stored;
// arithmetic is done on the 64-bit tick count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "platform/system_time.h"

namespace zor::platform {

struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};
static_assert(std::is_standard_layout_v<FILETIME> && sizeof(FILETIME) == 8);
static_assert(offsetof(FILETIME, dwLowDateTime) == 0);
static_assert(offsetof(FILETIME, dwHighDateTime) == 4);

inline constexpr uint64_t kTicksPerMillisecond = 10'000;
inline constexpr uint64_t kTicksPerSecond = 10'000'000;
inline constexpr uint64_t kTicksPerDay = 864'000'000'000;
// Ticks from 1601-01-01 to the Unix epoch 1970-01-01.
inline constexpr uint64_t kUnixEpochTicks = 116'444'736'000'000'000;

constexpr uint64_t FileTimeToTicks(const FILETIME& ft) noexcept {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
constexpr FILETIME TicksToFileTime(uint64_t ticks) noexcept {
  return FILETIME{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

// Days in `month` (1..12) of `year` in the proleptic Gregorian calendar;
// 0 for a month outside 1..12.
int DaysInMonthOf(int year, int month) noexcept;

// True when every field lies in the range the platform accepts: year
// 1601..30827, month 1..12, day 1..days of the month, hour < 24,
// minute < 60, second < 60, millisecond < 1000. The day of week is ignored.
bool IsValidSystemTime(const SYSTEMTIME& st) noexcept;

// False (and `ticks` untouched) when IsValidSystemTime fails.
bool SystemTimeToFileTime(const SYSTEMTIME& st, uint64_t& ticks) noexcept;
bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& ft) noexcept;

// Fills every field including the day of week. False (and `st` untouched)
// for ticks of 0x8000000000000000 or more.
bool FileTimeToSystemTime(uint64_t ticks, SYSTEMTIME& st) noexcept;
bool FileTimeToSystemTime(const FILETIME& ft, SYSTEMTIME& st) noexcept;

// Ticks of a Unix time (seconds and nanoseconds since 1970; nanoseconds
// beyond a second carry into the seconds); times before 1601 give 0, times
// from 30828 on the last tick below 2^63.
uint64_t UnixTimeToFileTime(int64_t seconds, int64_t nanoseconds) noexcept;

}  // namespace zor::platform

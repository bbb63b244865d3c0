// The current time as SYSTEMTIME, and a monotonic performance counter.
//
//   zor::platform::SYSTEMTIME utc = zor::platform::GetSystemTime();
//   zor::platform::SYSTEMTIME local = zor::platform::GetLocalTime();
//
//   int64_t start = zor::platform::QueryPerformanceCounter();
//   ...
//   double seconds = double(zor::platform::QueryPerformanceCounter() - start) /
//                    double(zor::platform::QueryPerformanceFrequency());
//
// The counter counts nanoseconds of CLOCK_MONOTONIC, so its frequency is
// 1e9 counts a second; it never goes back and ignores changes of the wall
// clock.
#pragma once

#include <cstdint>

#include "platform/system_time.h"

namespace zor::platform {

// The wall clock in UTC, to the millisecond, with the day of week.
SYSTEMTIME GetSystemTime() noexcept;

// The wall clock in the current time zone (TZ), to the millisecond; UTC when
// the zone cannot convert it.
SYSTEMTIME GetLocalTime() noexcept;

// Nanoseconds of the monotonic clock since an unspecified start.
int64_t QueryPerformanceCounter() noexcept;

// Counts a second of QueryPerformanceCounter: always 1'000'000'000.
constexpr int64_t QueryPerformanceFrequency() noexcept { return 1'000'000'000; }

}  // namespace zor::platform

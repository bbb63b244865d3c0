#include "platform/clock.h"

#include <time.h>

#include "platform/file_time.h"
#include "platform/time_zone.h"

namespace zor::platform {

SYSTEMTIME GetSystemTime() noexcept {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  SYSTEMTIME st{};
  FileTimeToSystemTime(UnixTimeToFileTime(now.tv_sec, now.tv_nsec), st);
  return st;
}

SYSTEMTIME GetLocalTime() noexcept {
  SYSTEMTIME utc = GetSystemTime();
  SYSTEMTIME local{};
  if (!SystemTimeToTzSpecificLocalTime(utc, local)) return utc;
  return local;
}

int64_t QueryPerformanceCounter() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace zor::platform

#include "platform/file_time.h"

namespace zor::platform {
namespace {

constexpr uint64_t kMaxTicks = 0x8000000000000000ULL;

constexpr bool IsLeap(int year) noexcept {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Days from 1601-01-01 to year-month-day. 1601 begins a 400-year cycle,
// so whole cycles, centuries and four-year groups count from there.
constexpr int64_t DaysSince1601(int year, int month, int day) noexcept {
  constexpr int kCumulative[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const int64_t y = year - 1601;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  days += kCumulative[month - 1];
  if (month > 2 && IsLeap(year)) ++days;
  return days + day - 1;
}
static_assert(DaysSince1601(1970, 1, 1) * kTicksPerDay == kUnixEpochTicks);

}  // namespace

int DaysInMonthOf(int year, int month) noexcept {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeap(year)) return 29;
  return kDays[month - 1];
}

bool IsValidSystemTime(const SYSTEMTIME& st) noexcept {
  if (st.wYear < 1601 || st.wYear > 30827) return false;
  if (st.wMonth < 1 || st.wMonth > 12) return false;
  if (st.wDay < 1 || st.wDay > DaysInMonthOf(st.wYear, st.wMonth)) return false;
  return st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

bool SystemTimeToFileTime(const SYSTEMTIME& st, uint64_t& ticks) noexcept {
  if (!IsValidSystemTime(st)) return false;
  const uint64_t days = static_cast<uint64_t>(DaysSince1601(st.wYear, st.wMonth, st.wDay));
  const uint64_t seconds = days * 86400 + st.wHour * 3600u + st.wMinute * 60u + st.wSecond;
  ticks = seconds * kTicksPerSecond + st.wMilliseconds * kTicksPerMillisecond;
  return true;
}

bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& ft) noexcept {
  uint64_t ticks = 0;
  if (!SystemTimeToFileTime(st, ticks)) return false;
  ft = TicksToFileTime(ticks);
  return true;
}

bool FileTimeToSystemTime(uint64_t ticks, SYSTEMTIME& st) noexcept {
  if (ticks >= kMaxTicks) return false;
  const uint64_t totalSeconds = ticks / kTicksPerSecond;
  const uint64_t ms = (ticks % kTicksPerSecond) / kTicksPerMillisecond;
  int64_t days = static_cast<int64_t>(totalSeconds / 86400);
  const uint64_t secondOfDay = totalSeconds % 86400;

  // 1601-01-01 was a Monday.
  const int dayOfWeek = static_cast<int>((days + 1) % 7);

  const int64_t cycles = days / 146097;  // 400-year cycles
  days %= 146097;
  int64_t centuries = days / 36524;
  if (centuries == 4) centuries = 3;  // last day of a 400-year cycle
  days -= centuries * 36524;
  const int64_t groups = days / 1461;  // four-year groups
  days %= 1461;
  int64_t years = days / 365;
  if (years == 4) years = 3;  // 31 December of a leap year
  days -= years * 365;

  const int year = static_cast<int>(1601 + cycles * 400 + centuries * 100 + groups * 4 + years);
  int month = 1;
  while (days >= DaysInMonthOf(year, month)) days -= DaysInMonthOf(year, month++);

  st.wYear = static_cast<uint16_t>(year);
  st.wMonth = static_cast<uint16_t>(month);
  st.wDayOfWeek = static_cast<uint16_t>(dayOfWeek);
  st.wDay = static_cast<uint16_t>(days + 1);
  st.wHour = static_cast<uint16_t>(secondOfDay / 3600);
  st.wMinute = static_cast<uint16_t>(secondOfDay / 60 % 60);
  st.wSecond = static_cast<uint16_t>(secondOfDay % 60);
  st.wMilliseconds = static_cast<uint16_t>(ms);
  return true;
}

bool FileTimeToSystemTime(const FILETIME& ft, SYSTEMTIME& st) noexcept {
  return FileTimeToSystemTime(FileTimeToTicks(ft), st);
}

uint64_t UnixTimeToFileTime(int64_t seconds, int64_t nanoseconds) noexcept {
  constexpr int64_t kEpochSeconds = static_cast<int64_t>(kUnixEpochTicks / kTicksPerSecond);
  constexpr int64_t kMaxSeconds = static_cast<int64_t>(kMaxTicks / kTicksPerSecond) - kEpochSeconds;
  constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
  // Whole seconds of the nanoseconds first, so any pair stays in range.
  int64_t carry = nanoseconds / kNanosecondsPerSecond;
  int64_t rest = nanoseconds % kNanosecondsPerSecond;
  if (rest < 0) {
    rest += kNanosecondsPerSecond;
    --carry;
  }
  if (__builtin_add_overflow(seconds, carry, &seconds)) {
    if (carry < 0) return 0;
    seconds = kMaxSeconds;
  }
  if (seconds < -kEpochSeconds) return 0;
  if (seconds >= kMaxSeconds) {
    seconds = kMaxSeconds - 1;
    rest = kNanosecondsPerSecond - 100;  // the last tick
  }
  return static_cast<uint64_t>(seconds + kEpochSeconds) * kTicksPerSecond +
         static_cast<uint64_t>(rest / 100);
}

}  // namespace zor::platform

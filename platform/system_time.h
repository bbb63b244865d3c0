// SYSTEMTIME: the platform's broken-down time record.
//
//   zor::platform::SYSTEMTIME st{};       // all zero: "no time"
//   st.wYear = 2024; st.wMonth = 3; st.wDay = 1;
//
// Sixteen bytes of eight unsigned 16-bit fields, little-endian, no padding,
// as it is copied into records and shared memory. Day of week 0 is Sunday.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace zor::platform {

struct SYSTEMTIME {
  uint16_t wYear;
  uint16_t wMonth;  // 1..12
  uint16_t wDayOfWeek;  // 0 = Sunday
  uint16_t wDay;  // 1..31
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
};

static_assert(std::is_standard_layout_v<SYSTEMTIME> && std::is_trivially_copyable_v<SYSTEMTIME>);
static_assert(sizeof(SYSTEMTIME) == 16);
static_assert(offsetof(SYSTEMTIME, wYear) == 0);
static_assert(offsetof(SYSTEMTIME, wMonth) == 2);
static_assert(offsetof(SYSTEMTIME, wDayOfWeek) == 4);
static_assert(offsetof(SYSTEMTIME, wDay) == 6);
static_assert(offsetof(SYSTEMTIME, wHour) == 8);
static_assert(offsetof(SYSTEMTIME, wMinute) == 10);
static_assert(offsetof(SYSTEMTIME, wSecond) == 12);
static_assert(offsetof(SYSTEMTIME, wMilliseconds) == 14);

// True when year, month and day are all 0 (the record means "no time").
constexpr bool IsZeroDate(const SYSTEMTIME& st) noexcept {
  return st.wYear == 0 && st.wMonth == 0 && st.wDay == 0;
}

}  // namespace zor::platform

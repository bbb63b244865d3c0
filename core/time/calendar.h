// Proleptic Gregorian calendar on Modified Julian Day numbers (day 0 is
// 1858-11-17), in integer arithmetic.
//
//   int32_t mjd = DateToMjd(2000, 1, 1);          // 51544
//   int y, m, d;
//   MjdToDate(mjd, y, m, d);                      // 2000, 1, 1
//   int dow = MjdDayOfWeek(mjd);                  // 6 (0 = Sunday)
//   int32_t dec31 = MjdOfDec31BeforeYear(2000);   // 51543 (1999-12-31)
//
// Every 32-bit day number converts to a date and back (years before 1 count
// astronomically: year 0 is 1 BC). Months and days outside their usual range
// are not checked; they run through the same formula (month 13 is January of
// the next year, day 40 of January is 9 February).
#pragma once

#include <cstdint>

// Day numbers the rest of the system measures from.
inline constexpr int32_t kMjdUnixEpoch = 40587;  // 1970-01-01
inline constexpr int32_t kMjdGpsEpoch = 44244;   // 1980-01-06, GPS week 0
inline constexpr int32_t kSecondsPerDay = 86400;
inline constexpr int32_t kSecondsPerWeek = 604800;
inline constexpr double kDaysPerGregorianYear = 365.2425;

namespace zor::detail {
// Division rounding toward minus infinity, for positive b.
constexpr int64_t FloorDiv(int64_t a, int64_t b) noexcept {
  return a / b - (a % b < 0 ? 1 : 0);
}

// Two ways to the same results. The narrow ones run in 32-bit unsigned
// arithmetic (Neri and Schneider, "Euclidean affine functions and their
// application to calendar algorithms") for every date within about a million
// years of now, which is all the system meets; the wide ones add whole
// 400-year cycles so 64-bit unsigned arithmetic covers every 32-bit year or
// day number. Neither has a branch that depends on the date.
inline constexpr int64_t kYearCycles = 5368710;  // 400 * this > 2^31 years
inline constexpr int64_t kDayCycles = 14700;     // 146097 * this > 2^31 days
inline constexpr int32_t kNarrowYears = 1000000;
inline constexpr int32_t kNarrowDays = 536000000;  // ~1.46 million years
inline constexpr uint32_t kNeriYearShift = 1468000;
inline constexpr uint32_t kNeriDayShift = 536895458;

constexpr int64_t DateToMjdWide(int year, int month, int day) noexcept {
  // Years start on 1 March so the leap day falls last.
  const int64_t early = month < 3 ? 1 : 0;
  const int64_t m = int64_t{month} - 3 + 12 * early;
  const uint64_t y = static_cast<uint64_t>(int64_t{year} - early + 400 * kYearCycles);
  const uint64_t c = y / 100;
  const uint64_t ya = y - 100 * c;
  const int64_t cycleDays = static_cast<int64_t>((146097 * c) / 4 + (1461 * ya) / 4);
  return cycleDays - 146097 * kYearCycles + (153 * m + 2) / 5 + day - 678882;
}

// Month 1..12 and |year| <= kNarrowYears.
constexpr int64_t DateToMjdNarrow(int year, int month, int day) noexcept {
  const uint32_t early = month < 3 ? 1 : 0;
  const uint32_t y = static_cast<uint32_t>(year) + kNeriYearShift - early;
  const uint32_t m = static_cast<uint32_t>(month) + 12 * early;
  const uint32_t c = y / 100;
  const uint32_t days = 1461 * y / 4 - c + c / 4 + (979 * m - 2919) / 32 - kNeriDayShift;
  return int64_t{static_cast<int32_t>(days)} + day - 1 + kMjdUnixEpoch;
}

constexpr void MjdToDateWide(int32_t mjd, int& year, int& month, int& day) noexcept {
  const uint64_t j = 4 * static_cast<uint64_t>(int64_t{mjd} + 678882 + 146097 * kDayCycles) - 1;
  const uint64_t c = j / 146097;
  // 4 * ((j mod 146097) / 4) + 3: the remainder with its two low bits set.
  const uint32_t k = static_cast<uint32_t>(j - 146097 * c) | 3u;
  const uint32_t ya = k / 1461;
  const uint32_t t = 5 * ((k % 1461) / 4 + 1) - 3;
  const uint32_t m = t / 153;  // 0 = March .. 11 = February
  const uint32_t late = m > 9 ? 1 : 0;
  day = static_cast<int>((t % 153) / 5 + 1);
  month = static_cast<int>(m + 3 - 12 * late);
  year = static_cast<int>(static_cast<int64_t>(100 * c + ya + late) - 400 * kDayCycles);
}

// |mjd - kMjdUnixEpoch| <= kNarrowDays.
constexpr void MjdToDateNarrow(int32_t mjd, int& year, int& month, int& day) noexcept {
  const uint32_t n = 4 * (static_cast<uint32_t>(mjd - kMjdUnixEpoch) + kNeriDayShift) + 3;
  const uint32_t centuries = n / 146097;
  const uint32_t r1 = n % 146097 / 4;
  const uint64_t u2 = uint64_t{2939745} * (4 * r1 + 3);
  const uint32_t years = static_cast<uint32_t>(u2 >> 32);
  const uint32_t dayOfYear = static_cast<uint32_t>(u2) / 2939745 / 4;  // from 1 March
  const uint32_t n3 = 2141 * dayOfYear + 197913;
  const uint32_t late = dayOfYear >= 306 ? 1 : 0;
  day = static_cast<int>(n3 % 65536 / 2141 + 1);
  month = static_cast<int>(n3 / 65536 - 12 * late);
  year = static_cast<int>(100 * centuries + years + late - kNeriYearShift);
}
}  // namespace zor::detail

// Day number of a calendar date, in 64 bits: never wraps.
constexpr int64_t DateToMjd64(int year, int month, int day) noexcept {
  using namespace zor::detail;
  // Unsigned, so month INT_MIN is simply out of range rather than overflowing.
  if (static_cast<uint32_t>(month) - 1u < 12u &&
      static_cast<uint32_t>(year) + uint32_t{kNarrowYears} <= 2 * uint32_t{kNarrowYears}) {
    return DateToMjdNarrow(year, month, day);
  }
  return DateToMjdWide(year, month, day);
}

// As DateToMjd64; a day number that does not fit in 32 bits wraps (modulo
// 2^32) rather than overflowing.
constexpr int32_t DateToMjd(int year, int month, int day) noexcept {
  return static_cast<int32_t>(DateToMjd64(year, month, day));
}

// Calendar date of a day number; month 1..12, day 1..31.
constexpr void MjdToDate(int32_t mjd, int& year, int& month, int& day) noexcept {
  using namespace zor::detail;
  if (static_cast<uint64_t>(int64_t{mjd} - kMjdUnixEpoch + kNarrowDays) <=
      2 * static_cast<uint64_t>(kNarrowDays)) {
    MjdToDateNarrow(mjd, year, month, day);
  } else {
    MjdToDateWide(mjd, year, month, day);
  }
}

// Day number of 31 December of `year - 1` (the day before 1 January of
// `year`), so that mjd - MjdOfDec31BeforeYear(year) is the 1-based day of year.
constexpr int32_t MjdOfDec31BeforeYear(int year) noexcept {
  return static_cast<int32_t>(DateToMjd64(year, 1, 1) - 1);
}

// Day of week of a day number, 0 = Sunday .. 6 = Saturday.
constexpr int MjdDayOfWeek(int64_t mjd) noexcept {
  // The remainder first (-6..6), so no day number can overflow.
  return static_cast<int>((mjd % 7 + 10) % 7);
}

// Divisible by 4, and either not by 100 or by 400.
constexpr bool IsLeapYear(int year) noexcept {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr int DaysInYear(int year) noexcept { return IsLeapYear(year) ? 366 : 365; }

// 31, 30, or 28 / 29 for February; 0 for a month outside 1..12.
constexpr int DaysInMonthOf(int year, int month) noexcept {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The time value joined to the operating system: SYSTEMTIME in and out, the
// clock, UTC and the local time zone, GPS-week forms with a leap-second
// offset, alignment to a reference, calendar questions and time texts.
//
//   zor::platform::SYSTEMTIME st = zor::platform::GetSystemTime();
//   CZORTime t = SystemTimeToTime(st);             // via sTimeRecord
//   zor::platform::SYSTEMTIME back = TimeToSystemTime(t);
//
//   CZORTime local = UtcToLocal(t);                // current zone (TZ)
//   sGpsWeekTime g = TimeToGpsWeek(t, 18.0);       // UTC + 18 s
//   std::string s = FormatDateTime(t, 3, ':');     // "2024-03-01 12:30:15.250"
//   std::string d = FormatDuration(90061.5, false);  // "1 d 01:01:01.5"
//
// A SYSTEMTIME whose year, month and day are all 0 means no time; a time
// value that is not set turns into sixteen zero bytes and back. Texts read
// "Invalid" for a time that is not set or a SYSTEMTIME whose year is 0.
// GPS-week offsets are the caller's GPS-UTC difference in seconds: GPS to
// UTC subtracts it, UTC to GPS adds it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/time/zor_time.h"
#include "platform/ctime.h"
#include "platform/system_time.h"

// ---- Conversions.

// Every time stamp of the driver passes through these two, so they are
// inline (definitions at the end of this header).

// {0, 0, -1.0} (not set) when year, month and day are all 0; otherwise the
// fields run through DateToMjd unchecked (month 13 is January of next year).
inline sTimeRecord SystemTimeToTime(const zor::platform::SYSTEMTIME& st) noexcept;

// The fields rounded to whole milliseconds (as CZORTime::GetFieldsMs), with
// the day of week; sixteen zero bytes when the time is not set, its day is 0,
// or its year does not fit the 16-bit field.
inline zor::platform::SYSTEMTIME TimeToSystemTime(const CZORTime& time) noexcept;

// The instant of `t` as local broken-down time, whole seconds; not set when
// the C library cannot break it down or its year does not fit 16 bits.
CZORTime TimeFromCTime(const zor::platform::CTime& t) noexcept;

// The wall clock in UTC / in the local zone, to the millisecond.
CZORTime GetUtcNow() noexcept;
CZORTime GetLocalNow() noexcept;

// UTC <-> local in the current zone; `out` is returned. A record the zone
// cannot convert (no time, fields out of range) gives sixteen zero bytes.
zor::platform::SYSTEMTIME& UtcToLocalSystemTime(zor::platform::SYSTEMTIME& out,
                                                const zor::platform::SYSTEMTIME& in) noexcept;
zor::platform::SYSTEMTIME& LocalToUtcSystemTime(zor::platform::SYSTEMTIME& out,
                                                const zor::platform::SYSTEMTIME& in) noexcept;

// The same for time values, through the millisecond-rounded SYSTEMTIME. A
// time that is not set (or has day 0) stays not set; so does one the zone
// cannot convert.
CZORTime UtcToLocal(const CZORTime& utc) noexcept;
CZORTime LocalToUtc(const CZORTime& local) noexcept;

// Hours east of UTC now, daylight time included; 0.0 when the zone is unknown.
double GetUtcOffsetHours() noexcept;

// CZORTime::GetFields.
void GetTimeFields(const CZORTime& time, int& year, int& month, int& day, int& dayOfWeek,
                   int& hour, int& minute, double& seconds) noexcept;

// ---- GPS week forms.

// The UTC time of a GPS week and second (minus `offset`) when week > 0 and
// the second is 0 or more; {0, 0, -1.0} otherwise.
sTimeRecord GpsWeekToTimeRecord(const sGpsWeekTime& gps, double offset) noexcept;

// The GPS week of `time` plus `offset`; sixteen zero bytes when the time is
// not set or its day is 0.
sGpsWeekTime TimeToGpsWeek(const CZORTime& time, double offset) noexcept;

// The same for a SYSTEMTIME; zero when its date is zero.
sGpsWeekTime SystemTimeToGpsWeek(const zor::platform::SYSTEMTIME& st, double offset) noexcept;

// The instant of `secondsOfWeek` (minus `offset` when `subtract`) in the GPS
// week of `reference`, or in the week before or after when the two lie
// within 900 s on either side of a week boundary. Not set when the
// reference's date is zero.
CZORTime GpsSecondsOfWeekToTime(const zor::platform::SYSTEMTIME& reference, double secondsOfWeek,
                                bool subtract, double offset) noexcept;

// ---- Alignment and arithmetic.

// Moves `time` by whole days to within +-43200 s of `reference` (a time with
// date 0 first takes the reference's date). A time of no date becomes zero;
// a reference of no date leaves `time` unchanged.
void AlignToReferenceDay(zor::platform::SYSTEMTIME& time,
                         const zor::platform::SYSTEMTIME& reference) noexcept;

// Puts the minute, second and millisecond of `time` into the reference's
// hour and moves it by whole minutes to within 60 s of the reference (a time
// that is not set counts as minute, second and millisecond 0). A reference
// that is not set (or has day 0) leaves `time` unchanged.
void AlignToReferenceMinute(CZORTime& time, const CZORTime& reference) noexcept;

// Halfway between two set times; not set otherwise.
CZORTime MidTime(const CZORTime& a, const CZORTime& b) noexcept;

// |a - b| in seconds when both are set, else 0.0.
double AbsTimeDifference(const CZORTime& a, const CZORTime& b) noexcept;

// a - b as a file-time span turned back into a SYSTEMTIME (one day and one
// hour is 1601-01-02 01:00). False, with `out` all zero, when either record
// is invalid or b lies after a.
bool SystemTimeDifference(zor::platform::SYSTEMTIME& out, const zor::platform::SYSTEMTIME& a,
                          const zor::platform::SYSTEMTIME& b) noexcept;

// Seconds between two readings of QueryPerformanceCounter, in steps of 10 us
// (truncated toward zero).
double ElapsedSeconds(int64_t start, int64_t end) noexcept;

// ---- Calendar questions: 0 (false) for a time that is not set or a zero date.

int SystemTimeDayOfYear(const zor::platform::SYSTEMTIME& st) noexcept;  // 1-based
int DayOfYear(const CZORTime& time) noexcept;                           // 1-based
int DaysInYear(const CZORTime& time) noexcept;
// Days of the month of the millisecond-rounded date; 0 for a month outside 1..12.
int DaysInMonth(const CZORTime& time) noexcept;
bool IsLeapYearOf(const CZORTime& time) noexcept;
// Decimal year of today's UTC date at 12:00:00.
double GetDecimalYearToday() noexcept;

// ---- Texts.

// "hh:mm:ss" with `decimals` digits of the second (1..3 rounded to the
// millisecond, 4..6 cut from the microseconds); separator ':' keeps the
// colons, 0 removes them, any other byte replaces them.
std::string FormatTimeOfDay(const CZORTime& time, int decimals, char separator);
std::string FormatSystemTimeOfDay(const zor::platform::SYSTEMTIME& st, int decimals,
                                  char separator);

// "yyyy-mm-dd " and the time of day. Up to 3 decimals the date and the time
// come from the same millisecond-rounded fields, so 23:59:59.9996 is
// 00:00:00.000 of the next day; above 3 both come from the microsecond
// fields (CZORTime::GetFieldsUs), seconds outside the day folded into it.
std::string FormatDateTime(const CZORTime& time, int decimals, char separator);
std::string FormatSystemDateTime(const zor::platform::SYSTEMTIME& st, int decimals,
                                 char separator);

// CZORTime::FormatMjd: five-digit day, a blank, the seconds with `decimals`
// digits (0..17), folded into their day and rounded once (23:59:59.999 with
// 2 decimals is the next day's "00.00").
std::string FormatMjdText(const CZORTime& time, int decimals);
std::string FormatSystemTimeMjd(const zor::platform::SYSTEMTIME& st, int decimals);

// strftime of the time taken as local time, at most 127 characters; empty
// for a null pattern or when strftime fails; "Invalid" when the time is not
// set or lies outside 1970-01-01 .. 3000-12-31 (UTC).
std::string FormatTimeWithPattern(const CZORTime& time, const char* pattern);

// Picture texts (platform/date_picture.h) of the millisecond-rounded
// SYSTEMTIME, at most 259 characters; empty on failure. A null pattern takes
// the locale's short date / time format.
std::string FormatDateWithPattern(const CZORTime& time, const char* pattern);
std::string FormatTimeOfDayWithPattern(const CZORTime& time, const char* pattern);
// The locale's patterns chosen by DATE_* / TIME_* flags.
std::string FormatDate(const CZORTime& time, uint32_t flags);
std::string FormatTimeOfDayLocale(const CZORTime& time, uint32_t flags);

// "[-][N d ]hh:mm:ss.s", or whole seconds "[-][N d ]hh:mm:ss" with `round`;
// a negative duration keeps its '-' even where it rounds to zero
// ("-00:00:00"); -0.0 is not negative.
// The value is rounded (to tenths as "%.1f" rounds them, or to whole
// seconds) before it is split, so 59.96 s is "00:01:00.0", never "00:00:60.0".
// A count no int holds (2^31 days or more, infinities, NaN) prints as
// -2147483648, the integer conversion's value for it; NaN seconds print as
// printf prints NaN.
std::string FormatDuration(double seconds, bool round);

// The locale's time format; `withoutSeconds` removes the first separator +
// "ss" (or separator + "s"); a format without seconds comes back unchanged.
std::string GetLocaleTimeFormat(bool withoutSeconds);

// ---- Inline definitions.

inline sTimeRecord SystemTimeToTime(const zor::platform::SYSTEMTIME& st) noexcept {
  if (zor::platform::IsZeroDate(st)) return sTimeRecord{0, 0, -1.0};
  return sTimeRecord{DateToMjd(st.wYear, st.wMonth, st.wDay), 0,
                     st.wHour * 3600 + st.wMinute * 60 + (st.wSecond + st.wMilliseconds * 0.001)};
}

inline zor::platform::SYSTEMTIME TimeToSystemTime(const CZORTime& time) noexcept {
  zor::platform::SYSTEMTIME st{};
  const double seconds = time.GetSeconds();
  if (!(seconds > -1.0) || time.GetDay() == 0) return st;
  // Whole milliseconds in integers, ms = floor(s * 1000 + 0.5), so no field
  // rounds up to 1000 ms or second 60 and whole days carry into the date.
  // v > -999.5 here; a time of day fits 32 bits, longer spans take 64.
  constexpr uint32_t kMsPerDay = 86'400'000;
  const double v = seconds * 1000.0 + 0.5;
  int64_t mjd = time.GetDay();
  uint32_t rest = 0;
  if (v >= 0.0 && v < static_cast<double>(kMsPerDay)) [[likely]] {
    // Within the day: truncation is the floor, and nothing carries.
    rest = static_cast<uint32_t>(v);
  } else if (v < 2147483647.0) {
    int32_t ms = static_cast<int32_t>(v);
    if (static_cast<double>(ms) > v) --ms;
    if (ms < 0) {
      mjd -= 1;
      rest = static_cast<uint32_t>(ms) + kMsPerDay;
    } else {
      mjd += static_cast<uint32_t>(ms) / kMsPerDay;
      rest = static_cast<uint32_t>(ms) % kMsPerDay;
    }
  } else {
    if (!(v < 9.0e18)) return st;
    const int64_t ms = static_cast<int64_t>(v);  // v is positive: truncation is floor
    mjd += ms / kMsPerDay;
    rest = static_cast<uint32_t>(ms % kMsPerDay);
  }
  // Years 0..65535, the range of the 16-bit field (this also keeps mjd in 32 bits).
  constexpr int64_t kFirst = DateToMjd64(0, 1, 1);
  constexpr int64_t kLast = DateToMjd64(65535, 12, 31);
  if (static_cast<uint64_t>(mjd - kFirst) > static_cast<uint64_t>(kLast - kFirst)) return st;
  int year = 0, month = 0, day = 0;
  // Years 0..65535 lie well inside the calendar's 32-bit range.
  zor::detail::MjdToDateNarrow(static_cast<int32_t>(mjd), year, month, day);
  // In 32 bits from the first day of the range.
  const uint32_t fromFirst = static_cast<uint32_t>(mjd - kFirst);
  const uint32_t dayOfWeek = (fromFirst + MjdDayOfWeek(kFirst)) % 7;
  const uint32_t secondsOfDay = rest / 1000;
  const uint32_t minutesOfDay = secondsOfDay / 60;
  const uint32_t hour = minutesOfDay / 60;
  // The record is built as two 64-bit words (fields in little-endian order)
  // rather than eight 16-bit stores, which a caller's 16-byte copy would have
  // to wait for.
  const uint64_t date = static_cast<uint64_t>(static_cast<uint32_t>(year)) |
                        static_cast<uint64_t>(static_cast<uint32_t>(month)) << 16 |
                        static_cast<uint64_t>(dayOfWeek) << 32 |
                        static_cast<uint64_t>(static_cast<uint32_t>(day)) << 48;
  const uint64_t clock = static_cast<uint64_t>(hour) |
                         static_cast<uint64_t>(minutesOfDay - hour * 60) << 16 |
                         static_cast<uint64_t>(secondsOfDay - minutesOfDay * 60) << 32 |
                         static_cast<uint64_t>(rest - secondsOfDay * 1000) << 48;
  static_assert(std::endian::native == std::endian::little);
  static_assert(offsetof(zor::platform::SYSTEMTIME, wHour) == sizeof date);
  unsigned char* bytes = reinterpret_cast<unsigned char*>(&st);
  std::memcpy(bytes, &date, sizeof date);
  std::memcpy(bytes + sizeof date, &clock, sizeof clock);
  return st;
}

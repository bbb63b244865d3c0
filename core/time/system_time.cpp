#include "core/time/system_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>

#include "platform/checked_int.h"
#include "platform/clock.h"
#include "platform/date_picture.h"
#include "platform/file_time.h"
#include "platform/locale.h"
#include "platform/time_zone.h"

using zor::platform::SYSTEMTIME;

namespace {

constexpr sTimeRecord kNotSetRecord{0, 0, -1.0};
constexpr int kPictureBufferSize = 260;
constexpr double kGpsWeekMargin = 900.0;

bool IsSetWithDay(const CZORTime& t) { return t.IsValid() && t.GetDay() != 0; }

// ':' keeps the colons, 0 removes them, any other byte replaces them.
std::string ApplySeparator(std::string text, char separator) {
  if (separator == ':') return text;
  if (separator == '\0') {
    std::erase(text, ':');
    return text;
  }
  std::replace(text.begin(), text.end(), ':', separator);
  return text;
}

// "hh:mm:ss[.f]" of whole fields: milliseconds for 3 decimals, tenths of
// them for 2 and 1, the microseconds as a six-digit fraction cut to
// `decimals` digits above 3.
std::string ClockText(int hour, int minute, int second, int microseconds, int decimals,
                      char separator) {
  char buffer[64];
  const int milliseconds = microseconds / 1000;
  if (decimals > 3) {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%06d", hour, minute, second,
                  microseconds);
    std::string text(buffer);
    text.resize(std::min<std::size_t>(text.size(), static_cast<std::size_t>(decimals) + 9));
    return ApplySeparator(std::move(text), separator);
  }
  switch (decimals) {
    case 3:
      std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%03d", hour, minute, second,
                    milliseconds);
      break;
    case 2:
      std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%02d", hour, minute, second,
                    milliseconds / 10);
      break;
    case 1:
      std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%01d", hour, minute, second,
                    milliseconds / 100);
      break;
    default:
      std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour, minute, second);
      break;
  }
  return ApplySeparator(buffer, separator);
}

std::string DateText(int year, int month, int day) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d ", year, month, day);
  return buffer;
}

// x rounded to one decimal exactly as printf's "%.1f" rounds it (the binary
// value, ties to even).
double RoundToTenthsAsPrinted(double x) {
  char buffer[400];  // the largest double prints 309 digits before the point
  std::snprintf(buffer, sizeof buffer, "%.1f", x);
  return std::strtod(buffer, nullptr);
}

std::string DateFormatText(const CZORTime& time, uint32_t flags, const char* pattern) {
  const SYSTEMTIME st = TimeToSystemTime(time);
  char buffer[kPictureBufferSize];
  if (zor::platform::GetDateFormat(flags, &st, pattern, buffer, kPictureBufferSize) == 0) return {};
  return buffer;
}

std::string TimeFormatText(const CZORTime& time, uint32_t flags, const char* pattern) {
  const SYSTEMTIME st = TimeToSystemTime(time);
  char buffer[kPictureBufferSize];
  if (zor::platform::GetTimeFormat(flags, &st, pattern, buffer, kPictureBufferSize) == 0) return {};
  return buffer;
}

}  // namespace

// ---- Conversions.

CZORTime TimeFromCTime(const zor::platform::CTime& t) noexcept {
  std::tm local{};
  if (!t.GetLocalTm(local)) return CZORTime();
  if (local.tm_year < -1900 || local.tm_year > 65535 - 1900) return CZORTime();
  SYSTEMTIME st{};
  st.wYear = static_cast<uint16_t>(local.tm_year + 1900);
  st.wMonth = static_cast<uint16_t>(local.tm_mon + 1);
  st.wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
  st.wDay = static_cast<uint16_t>(local.tm_mday);
  st.wHour = static_cast<uint16_t>(local.tm_hour);
  st.wMinute = static_cast<uint16_t>(local.tm_min);
  st.wSecond = static_cast<uint16_t>(local.tm_sec);
  return CZORTime(SystemTimeToTime(st));
}

CZORTime GetUtcNow() noexcept { return CZORTime(SystemTimeToTime(zor::platform::GetSystemTime())); }

CZORTime GetLocalNow() noexcept { return CZORTime(SystemTimeToTime(zor::platform::GetLocalTime())); }

SYSTEMTIME& UtcToLocalSystemTime(SYSTEMTIME& out, const SYSTEMTIME& in) noexcept {
  SYSTEMTIME local{};
  zor::platform::SystemTimeToTzSpecificLocalTime(in, local);
  out = local;
  return out;
}

SYSTEMTIME& LocalToUtcSystemTime(SYSTEMTIME& out, const SYSTEMTIME& in) noexcept {
  SYSTEMTIME utc{};
  zor::platform::TzSpecificLocalTimeToSystemTime(in, utc);
  out = utc;
  return out;
}

CZORTime UtcToLocal(const CZORTime& utc) noexcept {
  SYSTEMTIME local{};
  return CZORTime(SystemTimeToTime(UtcToLocalSystemTime(local, TimeToSystemTime(utc))));
}

CZORTime LocalToUtc(const CZORTime& local) noexcept {
  SYSTEMTIME utc{};
  return CZORTime(SystemTimeToTime(LocalToUtcSystemTime(utc, TimeToSystemTime(local))));
}

double GetUtcOffsetHours() noexcept {
  zor::platform::TimeZoneInformation info;
  const uint32_t id = zor::platform::GetTimeZoneInformation(info);
  if (id == zor::platform::kTimeZoneIdInvalid) return 0.0;
  int32_t bias = info.bias;
  if (id == zor::platform::kTimeZoneIdDaylight) bias += info.daylightBias;
  return -(bias / 60.0);
}

void GetTimeFields(const CZORTime& time, int& year, int& month, int& day, int& dayOfWeek,
                   int& hour, int& minute, double& seconds) noexcept {
  time.GetFields(year, month, day, dayOfWeek, hour, minute, seconds);
}

// ---- GPS week forms.

sTimeRecord GpsWeekToTimeRecord(const sGpsWeekTime& gps, double offset) noexcept {
  if (!(gps.week > 0 && gps.seconds >= 0.0)) return kNotSetRecord;
  CZORTime t;
  t.SetGpsWeek(gps.week, gps.seconds);
  if (offset != 0.0) t -= offset;
  return t.GetTimeRecord();
}

sGpsWeekTime TimeToGpsWeek(const CZORTime& time, double offset) noexcept {
  if (!IsSetWithDay(time)) return sGpsWeekTime{};
  CZORTime t = time;
  if (offset != 0.0) t += offset;
  return t.ToGpsWeek();
}

sGpsWeekTime SystemTimeToGpsWeek(const SYSTEMTIME& st, double offset) noexcept {
  if (zor::platform::IsZeroDate(st)) return sGpsWeekTime{};
  CZORTime t(SystemTimeToTime(st));
  if (offset != 0.0) t += offset;
  return t.ToGpsWeek();
}

CZORTime GpsSecondsOfWeekToTime(const SYSTEMTIME& reference, double secondsOfWeek, bool subtract,
                                double offset) noexcept {
  if (zor::platform::IsZeroDate(reference)) return CZORTime();
  const double s = subtract ? secondsOfWeek - offset : secondsOfWeek;
  CZORTime t(SystemTimeToTime(reference));
  const sGpsWeekTime ref = t.ToGpsWeek();
  t.SetGpsWeek(ref.week, 0.0);
  if (ref.seconds < kGpsWeekMargin && s > kSecondsPerWeek - kGpsWeekMargin) {
    t -= kSecondsPerWeek;
  } else if (s < kGpsWeekMargin && ref.seconds > kSecondsPerWeek - kGpsWeekMargin) {
    t += kSecondsPerWeek;
  }
  t += s;
  return t;
}

// ---- Alignment and arithmetic.

void AlignToReferenceDay(SYSTEMTIME& time, const SYSTEMTIME& reference) noexcept {
  if (zor::platform::IsZeroDate(reference)) return;
  CZORTime t(SystemTimeToTime(time));
  const CZORTime r(SystemTimeToTime(reference));
  t.AlignToDay(r);
  time = TimeToSystemTime(t);
}

void AlignToReferenceMinute(CZORTime& time, const CZORTime& reference) noexcept {
  const SYSTEMTIME ref = TimeToSystemTime(reference);
  if (zor::platform::IsZeroDate(ref)) return;
  const SYSTEMTIME own = TimeToSystemTime(time);
  SYSTEMTIME merged = ref;
  merged.wMinute = own.wMinute;
  merged.wSecond = own.wSecond;
  merged.wMilliseconds = own.wMilliseconds;
  time = CZORTime(SystemTimeToTime(merged));
  // Both now share the hour, so each loop runs at most 60 times.
  while (time - reference >= 60.0) time -= 60.0;
  while (time - reference <= -60.0) time += 60.0;
}

CZORTime MidTime(const CZORTime& a, const CZORTime& b) noexcept {
  if (!a.IsValid() || !b.IsValid()) return CZORTime();
  const double ua = (static_cast<double>(a.GetDay()) - kMjdUnixEpoch) * kSecondsPerDay + a.GetSeconds();
  const double ub = (static_cast<double>(b.GetDay()) - kMjdUnixEpoch) * kSecondsPerDay + b.GetSeconds();
  CZORTime mid;
  mid.SetUnixSeconds((ua + ub) / 2.0);
  return mid;
}

double AbsTimeDifference(const CZORTime& a, const CZORTime& b) noexcept {
  if (!a.IsValid() || !b.IsValid()) return 0.0;
  return std::fabs(a - b);
}

bool SystemTimeDifference(SYSTEMTIME& out, const SYSTEMTIME& a, const SYSTEMTIME& b) noexcept {
  out = SYSTEMTIME{};
  uint64_t ta = 0, tb = 0;
  if (!zor::platform::SystemTimeToFileTime(a, ta) || !zor::platform::SystemTimeToFileTime(b, tb))
    return false;
  if (ta < tb) return false;
  SYSTEMTIME span{};
  if (!zor::platform::FileTimeToSystemTime(ta - tb, span)) return false;
  out = span;
  return true;
}

double ElapsedSeconds(int64_t start, int64_t end) noexcept {
  // 128 bits: (end - start) * 100000 overflows 64 bits after about a day
  // at the counter's 1 GHz.
  const __int128 counts = static_cast<__int128>(end) - start;
  const __int128 steps = counts * 100000 / zor::platform::QueryPerformanceFrequency();
  return static_cast<double>(steps) / 100000.0;
}

// ---- Calendar questions.

int SystemTimeDayOfYear(const SYSTEMTIME& st) noexcept {
  if (zor::platform::IsZeroDate(st)) return 0;
  return DateToMjd(st.wYear, st.wMonth, st.wDay) - MjdOfDec31BeforeYear(st.wYear);
}

int DayOfYear(const CZORTime& time) noexcept {
  if (!time.IsValid()) return 0;
  return time.GetDayOfYear();
}

int DaysInYear(const CZORTime& time) noexcept {
  if (!time.IsValid()) return 0;
  return time.GetDaysInYear();
}

int DaysInMonth(const CZORTime& time) noexcept {
  const SYSTEMTIME st = TimeToSystemTime(time);
  if (zor::platform::IsZeroDate(st)) return 0;
  return DaysInMonthOf(st.wYear, st.wMonth);
}

bool IsLeapYearOf(const CZORTime& time) noexcept {
  const SYSTEMTIME st = TimeToSystemTime(time);
  if (zor::platform::IsZeroDate(st)) return false;
  return IsLeapYear(st.wYear);
}

double GetDecimalYearToday() noexcept {
  SYSTEMTIME st = zor::platform::GetSystemTime();
  st.wHour = 12;
  st.wMinute = st.wSecond = st.wMilliseconds = 0;
  return CZORTime(SystemTimeToTime(st)).GetDecimalYear();
}

// ---- Texts.

std::string FormatTimeOfDay(const CZORTime& time, int decimals, char separator) {
  return time.FormatTime(decimals, separator);
}

std::string FormatSystemTimeOfDay(const SYSTEMTIME& st, int decimals, char separator) {
  if (st.wYear == 0) return "Invalid";
  return ClockText(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds * 1000, decimals,
                   separator);
}

std::string FormatDateTime(const CZORTime& time, int decimals, char separator) {
  if (!time.IsValid()) return "Invalid";
  if (decimals > 3) {
    int year = 0, month = 0, day = 0, dayOfWeek = 0, hour = 0, minute = 0, second = 0, us = 0;
    if (!time.GetFieldsUs(year, month, day, dayOfWeek, hour, minute, second, us)) {
      return "Invalid";
    }
    return DateText(year, month, day) + ClockText(hour, minute, second, us, decimals, separator);
  }
  int year = 0, month = 0, day = 0, dayOfWeek = 0, hour = 0, minute = 0, second = 0, ms = 0;
  if (!time.GetFieldsMs(year, month, day, dayOfWeek, hour, minute, second, ms)) return "Invalid";
  return DateText(year, month, day) +
         ClockText(hour, minute, second, ms * 1000, decimals, separator);
}

std::string FormatSystemDateTime(const SYSTEMTIME& st, int decimals, char separator) {
  if (st.wYear == 0) return "Invalid";
  return DateText(st.wYear, st.wMonth, st.wDay) + FormatSystemTimeOfDay(st, decimals, separator);
}

std::string FormatMjdText(const CZORTime& time, int decimals) { return time.FormatMjd(decimals); }

std::string FormatSystemTimeMjd(const SYSTEMTIME& st, int decimals) {
  if (st.wYear == 0) return "Invalid";
  return CZORTime(SystemTimeToTime(st)).FormatMjd(decimals);
}

std::string FormatTimeWithPattern(const CZORTime& time, const char* pattern) {
  if (!time.IsValid()) return "Invalid";
  const SYSTEMTIME st = TimeToSystemTime(time);
  try {
    const zor::platform::CTime local(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                                     st.wSecond, -1);
    return local.Format(pattern);
  } catch (const std::invalid_argument&) {
    return "Invalid";
  }
}

std::string FormatDateWithPattern(const CZORTime& time, const char* pattern) {
  return DateFormatText(time, 0, pattern);
}

std::string FormatTimeOfDayWithPattern(const CZORTime& time, const char* pattern) {
  return TimeFormatText(time, 0, pattern);
}

std::string FormatDate(const CZORTime& time, uint32_t flags) {
  return DateFormatText(time, flags, nullptr);
}

std::string FormatTimeOfDayLocale(const CZORTime& time, uint32_t flags) {
  return TimeFormatText(time, flags, nullptr);
}

std::string FormatDuration(double seconds, bool round) {
  // The sign is the duration's own, even where the rounded count is zero:
  // "-00:00:00.0" tells a just-missed deadline from one just met.
  std::string text = seconds < 0.0 ? "-" : "";
  double x = std::fabs(seconds);
  // Round before splitting so a carry reaches the minutes and hours. Tenths
  // are rounded as "%.1f" rounds them, so every text without a carry is the
  // one printing the seconds alone gives (1.25 s is "01.2", as printed).
  x = round ? std::floor(x + 0.5) : RoundToTenthsAsPrinted(x);

  char buffer[64];
  if (x >= kSecondsPerDay) {
    std::snprintf(buffer, sizeof buffer, "%d d ",
                  zor::platform::DoubleToInt32(std::floor(x / kSecondsPerDay)));
    text += buffer;
    x = std::fmod(x, kSecondsPerDay);
  }
  if (x >= 3600.0) {
    std::snprintf(buffer, sizeof buffer, "%02d:", zor::platform::DoubleToInt32(std::floor(x / 3600.0)));
    text += buffer;
    x = std::fmod(x, 3600.0);
  } else {
    text += "00:";
  }
  if (x >= 60.0) {
    std::snprintf(buffer, sizeof buffer, "%02d:", zor::platform::DoubleToInt32(std::floor(x / 60.0)));
    text += buffer;
    x = std::fmod(x, 60.0);
  } else {
    text += "00:";
  }
  if (round) {
    std::snprintf(buffer, sizeof buffer, "%02d", zor::platform::DoubleToInt32(std::floor(x + 0.5)));
  } else {
    std::snprintf(buffer, sizeof buffer, "%04.1f", x);
  }
  return text + buffer;
}

std::string GetLocaleTimeFormat(bool withoutSeconds) {
  const zor::platform::LocaleInfo& locale = zor::platform::GetUserLocale();
  std::string format = locale.timeFormat;
  if (!withoutSeconds) return format;
  for (const std::string& seconds : {locale.timeSeparator + "ss", locale.timeSeparator + "s"}) {
    const std::size_t at = format.find(seconds);
    if (at != std::string::npos) return format.erase(at, seconds.size());
  }
  return format;
}

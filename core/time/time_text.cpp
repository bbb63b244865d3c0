#include "core/time/time_text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/text/string_helpers.h"
#include "core/text/text_split.h"
#include "platform/checked_int.h"
#include "platform/clock.h"
#include "platform/date_picture.h"

namespace {

using zor::platform::DoubleToInt32;
using zor::platform::SYSTEMTIME;

constexpr const char* kZeroClock = "00:00:00";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

uint16_t Word(int value) { return static_cast<uint16_t>(value); }

// atoi as the platform's runtime had it: leading white space, a sign, the
// digits; a value beyond the int range gives INT_MAX or INT_MIN.
int Atoi(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT_MAX} + 1);
  }
  if (negative) return static_cast<int>(-value);
  return static_cast<int>(std::min<int64_t>(value, INT_MAX));
}

// `count` characters at `pos` (fewer at the end of the text) through Atoi.
int FieldAt(const std::string& text, size_t pos, size_t count) {
  if (pos >= text.size()) return 0;
  return Atoi(std::string_view(text).substr(pos, count));
}

// ---- Number scanning over a zero-terminated text: a number starts at a
// digit (or, for clock texts, a '.') and the next one at the next such
// character from the end of the one before.

const char* NextStart(const char* p, bool dotStarts) {
  while (*p != '\0' && !IsDigit(*p) && !(dotStarts && *p == '.')) ++p;
  return p;
}

// strtol of the digits at p as the platform's 32-bit long had it: a value
// beyond the range gives INT_MAX. No digit: 0, and *end == p.
int ReadLong(const char* p, const char** end) {
  int64_t value = 0;
  while (IsDigit(*p)) {
    value = std::min<int64_t>(value * 10 + (*p - '0'), INT_MAX);
    ++p;
  }
  *end = p;
  return static_cast<int>(value);
}

// The value of `count` digits at p (the caller knows they are there).
int Digits(const char* p, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) value = value * 10 + (p[i] - '0');
  return value;
}

bool HasDigit(const char* text) {
  return text != nullptr && *NextStart(text, false) != '\0';
}

// ---- Dates.

enum class DateOrder { kYmd, kDmy, kMdy };

SYSTEMTIME ParseDate(const char* text, DateOrder order) {
  SYSTEMTIME st{};
  if (!HasDigit(text)) return st;
  const char* p = NextStart(text, false);
  const char* end = nullptr;
  int v[3] = {ReadLong(p, &end), 0, 0};
  if (*end != '\0') {
    const char* q = end;
    for (int i = 1; i < 3; ++i) {
      q = NextStart(q, false);
      if (*q == '\0') break;
      v[i] = ReadLong(q, &q);
    }
  } else if (end - p == 6) {
    v[0] = Digits(p, 2);
    v[1] = Digits(p + 2, 2);
    v[2] = Digits(p + 4, 2);
  } else if (end - p == 8) {
    const int first = order == DateOrder::kYmd ? 4 : 2;
    v[0] = Digits(p, first);
    v[1] = Digits(p + first, 2);
    v[2] = Digits(p + first + 2, order == DateOrder::kYmd ? 2 : 4);
  } else {
    // A run of digits of any other length reads as no field, which the
    // two-digit year rule below turns into the year 2000.
    v[0] = 0;
  }
  int year = 0, month = 0, day = 0;
  switch (order) {
    case DateOrder::kYmd: year = v[0]; month = v[1]; day = v[2]; break;
    case DateOrder::kDmy: day = v[0]; month = v[1]; year = v[2]; break;
    case DateOrder::kMdy: month = v[0]; day = v[1]; year = v[2]; break;
  }
  if (year <= 99) year += 2000;
  st.wYear = Word(year);
  st.wMonth = Word(month);
  st.wDay = Word(day);
  return st;
}

// ---- Clock texts.

struct Clock {
  int hour = 0;
  int minute = 0;
  int wholeSeconds = 0;   // of the compact forms with whole seconds
  double seconds = 0.0;   // of the other forms
};

// False for a text without a digit.
bool ScanClock(const char* text, Clock& c) {
  c = Clock{};
  if (!HasDigit(text)) return false;
  const char* p = NextStart(text, true);
  const char* end = nullptr;
  c.hour = ReadLong(p, &end);
  if (*end != '\0' && *end != '.') {
    const char* q = NextStart(end, true);
    if (*q == '\0') return true;
    c.minute = ReadLong(q, &q);
    q = NextStart(q, true);
    if (*q == '\0') return true;
    c.seconds = std::strtod(q, nullptr);
    return true;
  }
  c.hour = 0;
  switch (std::strlen(p)) {
    case 3: std::sscanf(p, "%1d%2d", &c.hour, &c.minute); break;
    case 4: std::sscanf(p, "%2d%2d", &c.hour, &c.minute); break;
    case 5: std::sscanf(p, "%1d%2d%2d", &c.hour, &c.minute, &c.wholeSeconds); break;
    case 6: std::sscanf(p, "%2d%2d%2d", &c.hour, &c.minute, &c.wholeSeconds); break;
    default: std::sscanf(p, "%2d%2d%lf", &c.hour, &c.minute, &c.seconds); break;
  }
  return true;
}

// ---- Locale texts.

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || (text.back() >= '\t' && text.back() <= '\r')))
    text.pop_back();
  return text;
}

std::string LocaleShortDate(const SYSTEMTIME& st) {
  return TrimRight(zor::platform::FormatDatePicture(st, zor::platform::DATE_SHORTDATE, nullptr));
}

std::string LocaleClock(const SYSTEMTIME& st) {
  return TrimRight(zor::platform::FormatTimePicture(st, 0, "HH:mm:ss"));
}

// "hh:mm:ss" with 0..3 decimals of the milliseconds; empty for other counts.
std::string ClockWithDecimals(const SYSTEMTIME& st, int decimals) {
  switch (decimals) {
    case 0:
      return FormatString("%02d:%02d:%02d", st.wHour, st.wMinute, st.wSecond);
    case 1:
      return FormatString("%02d:%02d:%02d.%01d", st.wHour, st.wMinute, st.wSecond,
                          st.wMilliseconds / 100);
    case 2:
      return FormatString("%02d:%02d:%02d.%02d", st.wHour, st.wMinute, st.wSecond,
                          st.wMilliseconds / 10);
    case 3:
      return FormatString("%02d:%02d:%02d.%03d", st.wHour, st.wMinute, st.wSecond,
                          st.wMilliseconds);
    default:
      return std::string();
  }
}

bool IsZeroClock(const SYSTEMTIME& st) {
  return st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0;
}

}  // namespace

// ---- Printing.

std::string FormatSystemDateTimeLocale(const SYSTEMTIME* st, bool withTime) {
  if (st == nullptr || zor::platform::IsZeroDate(*st)) return kZeroClock;
  std::string text = LocaleShortDate(*st);
  if (withTime) text += ' ' + LocaleClock(*st);
  return text;
}

std::string FormatSystemDateTimeDecimals(const SYSTEMTIME* st, int decimals, bool withTime) {
  if (st == nullptr || zor::platform::IsZeroDate(*st)) return kZeroClock;
  std::string text = LocaleShortDate(*st);
  if (withTime) text += ' ' + ClockWithDecimals(*st, decimals);
  return text;
}

std::string FormatSystemTimeDateLocale(const SYSTEMTIME* st, bool withDate) {
  if (st == nullptr || IsZeroClock(*st)) return kZeroClock;
  std::string text = LocaleClock(*st);
  if (withDate) text += ' ' + LocaleShortDate(*st);
  return text;
}

std::string FormatSystemTimeDateDecimals(const SYSTEMTIME* st, int decimals, bool withDate) {
  if (st == nullptr || IsZeroClock(*st)) return kZeroClock;
  std::string text = ClockWithDecimals(*st, decimals);
  if (withDate) text += ' ' + LocaleShortDate(*st);
  return text;
}

std::string FormatToday(bool utc) {
  return LocaleShortDate(utc ? zor::platform::GetSystemTime() : zor::platform::GetLocalTime());
}

std::string FormatNowClock(bool utc, int decimals) {
  const SYSTEMTIME st = utc ? zor::platform::GetSystemTime() : zor::platform::GetLocalTime();
  if (decimals <= 0) return FormatString("%02d:%02d:%02d", st.wHour, st.wMinute, st.wSecond);
  decimals = std::min(decimals, 3);
  const int fraction = decimals == 1   ? st.wMilliseconds / 100
                       : decimals == 2 ? st.wMilliseconds / 10
                                       : st.wMilliseconds;
  return FormatString("%02d:%02d:%02d.%0*d", st.wHour, st.wMinute, st.wSecond, decimals,
                      fraction);
}

std::string FormatIsoDateTime(const SYSTEMTIME& st, int part, int zoneHours) {
  std::string text;
  if (part == kIsoDateAndTime || part == kIsoDateOnly) {
    text = FormatString("%04d-%02d-%02d%s", st.wYear, st.wMonth, st.wDay,
                        part == kIsoDateAndTime ? "T" : "");
  }
  if (part == kIsoDateAndTime || part == kIsoTimeOnly) {
    text += FormatString("%02d:%02d:%02d.%03d%+03d:00", st.wHour, st.wMinute, st.wSecond,
                         st.wMilliseconds, zoneHours);
  }
  return text;
}

// ---- Reading.

bool ParseIsoDateTime(const std::string& text, SYSTEMTIME& out, double* zoneHours) {
  constexpr size_t npos = std::string::npos;
  if (text.size() < 10) return false;
  size_t date = npos;
  size_t time = npos;
  const size_t t = text.find('T');
  if (t != npos) {
    if (t != 10) return false;
    date = 0;
    time = 11;
  } else if (text[4] == '-') {
    date = 0;
  } else if (text[2] == ':') {
    time = 0;
  } else {
    return false;
  }

  SYSTEMTIME st = out;
  if (date != npos) {
    st.wYear = Word(FieldAt(text, date, 4));
    st.wMonth = Word(FieldAt(text, date + 5, 2));
    st.wDay = Word(FieldAt(text, date + 8, 2));
  }
  if (time != npos) {
    st.wHour = Word(FieldAt(text, time, 2));
    st.wMinute = Word(FieldAt(text, time + 3, 2));
    st.wSecond = Word(FieldAt(text, time + 6, 2));
    size_t sign = text.find('+', time);
    if (sign == npos) sign = text.find('-', time);
    // The fraction of a second in milliseconds: ".5" is 500, ".123456" 123.
    int ms = 0;
    const size_t dot = text.find('.', time);
    if (dot != npos && (sign == npos || dot < sign)) {
      const size_t stop = sign == npos ? text.size() : sign;
      int digits = 0;
      for (size_t i = dot + 1; i < stop && digits < 3 && IsDigit(text[i]); ++i, ++digits)
        ms = ms * 10 + (text[i] - '0');
      for (; digits < 3; ++digits) ms *= 10;
    }
    st.wMilliseconds = Word(ms);
    if (sign != npos && zoneHours != nullptr) {
      const double zone = FieldAt(text, sign + 1, 2) + FieldAt(text, sign + 4, 2) / 60.0;
      *zoneHours = text[sign] == '-' ? -zone : zone;
    }
  }
  st.wDayOfWeek = 0;
  out = st;
  return true;
}

bool ParseClockText(const std::string& text, int& hours, int& minutes, int& seconds,
                    int& fraction) {
  constexpr size_t npos = std::string::npos;
  hours = minutes = seconds = fraction = 0;
  const size_t first = text.find(':');
  if (first == npos || first == 0) return false;
  hours = Atoi(std::string_view(text).substr(0, first));
  if (text.size() - (first + 1) >= 2) minutes = FieldAt(text, first + 1, 2);
  const size_t second = text.find(':', first + 1);
  if (second != npos && text.size() - (second + 1) >= 2) seconds = FieldAt(text, second + 1, 2);
  const size_t dot = text.find('.', second == npos ? 0 : second + 1);
  if (dot != npos) fraction = FieldAt(text, dot + 1, npos);
  return true;
}

SYSTEMTIME ParseDateYmd(const char* text) { return ParseDate(text, DateOrder::kYmd); }
SYSTEMTIME ParseDateDmy(const char* text) { return ParseDate(text, DateOrder::kDmy); }
SYSTEMTIME ParseDateMdy(const char* text) { return ParseDate(text, DateOrder::kMdy); }

SYSTEMTIME ParseTimeToSystemTime(const char* text) {
  SYSTEMTIME st{};
  Clock c;
  if (!ScanClock(text, c)) return st;
  int hour = c.hour;
  int minute = c.minute;
  int second = c.wholeSeconds;
  int ms = 0;
  if (c.seconds > 0.0) {
    const double whole = std::floor(c.seconds);
    second = DoubleToInt32(whole);
    ms = DoubleToInt32(std::floor((c.seconds - whole) * 1000.0 + 0.5));
  }
  // A fraction that rounds up to a whole second carries as far as it goes:
  // 12:34:59.9996 is 12:35:00.000, never second 60. The record has no date to
  // carry into, so the last millisecond of the day stays 23:59:59.999.
  if (ms >= 1000) {
    const bool lastOfDay = hour == 23 && minute == 59 && second == 59;
    const bool noRoom = second == INT_MAX || (second == 59 && minute == 59 && hour == INT_MAX);
    if (lastOfDay || noRoom) {
      ms = 999;
    } else {
      ms -= 1000;
      if (second != 59) {
        ++second;
      } else {
        second = 0;
        if (minute != 59) {
          ++minute;
        } else {
          minute = 0;
          ++hour;
        }
      }
    }
  }
  st.wHour = Word(hour);
  st.wMinute = Word(minute);
  st.wSecond = Word(second);
  st.wMilliseconds = Word(ms);
  return st;
}

double TimeTextToSeconds(const char* text) {
  const SYSTEMTIME st = ParseTimeToSystemTime(text);
  return st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond + st.wMilliseconds * 0.001;
}

SYSTEMTIME ParseDotDate(const std::string& text) {
  SYSTEMTIME st{};
  std::vector<std::string> parts;
  if (SplitString(text, parts, '.', false) < 3) return st;
  st.wYear = Word(Atoi(parts[0]));
  st.wMonth = Word(Atoi(parts[1]));
  st.wDay = Word(Atoi(parts[2]));
  if (parts.size() > 3) st.wSecond = Word(Atoi(parts[3]));
  return st;
}

CZORTime ParseDateText(const std::string& text) {
  CZORTime result;
  const char* s = text.c_str();
  if (!HasDigit(s)) return result;
  const char* p = NextStart(s, false);
  const char* end = nullptr;
  const int a = ReadLong(p, &end);
  int year = 0, month = 0, day = 0;
  if (*end == '\0') {
    if (end - p != 6 && end - p != 8) return result;  // a run of digits that is no date
    day = Digits(p, 2);
    month = Digits(p + 2, 2);
    year = Digits(p + 4, end - p == 6 ? 2 : 4);
  } else {
    int v[2] = {0, 0};
    const char* q = end;
    for (int& n : v) {
      q = NextStart(q, false);
      if (*q == '\0') break;
      n = ReadLong(q, &q);
    }
    if (a > 1000) {
      year = a;
      month = v[0];
      day = v[1];
    } else {
      day = a;
      month = v[0];
      year = v[1];
    }
  }
  if (year < 100) year += 2000;
  result.SetDateTime(year, month, day, 0, 0, 0.0);
  return result;
}

CZORTime ParseTimeText(const std::string& text) {
  Clock c;
  if (!ScanClock(text.c_str(), c)) return CZORTime();
  const double seconds = c.seconds != 0.0 ? c.seconds : c.wholeSeconds;
  CZORTime clock;
  clock.SetDateTime(0, 0, 0, c.hour, c.minute, seconds);  // checks the seconds
  if (!clock.IsValid()) return clock;
  return CZORTime(sTimeRecord{kDatelessDay, 0, clock.GetSeconds()});
}

double TimeTextSecondsOfDay(const std::string& text) { return ParseTimeText(text).GetSeconds(); }

bool IsValidDateRecord(const sDateRecord& date) {
  return date.day >= 1 && date.day <= 31 && date.month >= 1 && date.month <= 12 &&
         date.year >= 1980;
}

// Date and time texts from picture patterns and the user locale.
//
//   zor::platform::SYSTEMTIME st = ...;
//   std::string a = zor::platform::FormatDatePicture(st, 0, "dddd, d MMM yyyy");
//   std::string b = zor::platform::FormatTimePicture(st, zor::platform::TIME_NOSECONDS, nullptr);
//
//   char buf[12];
//   int n = zor::platform::GetDateFormat(zor::platform::DATE_SHORTDATE, &st, nullptr, buf, sizeof buf);
//
// Date pictures: d (day), dd (two digits), ddd (abbreviated day name), dddd
// (day name), M, MM, MMM (abbreviated month name), MMMM (month name), y (year
// of the century without a leading zero), yy (two digits), yyyy (the whole
// year). Time pictures: h / hh (12-hour clock), H / HH (24-hour clock), m /
// mm, s / ss, t (first character of the AM / PM marker), tt (the marker).
// Longer runs act as the longest form. Text between single quotes is copied
// as it stands, and two single quotes give one. In a date picture the time
// letters are plain text, and in a time picture the date letters are.
//
// A null picture takes the locale's pattern: the short date (or the long
// date, or "MMMM yyyy" for DATE_YEARMONTH) and the time format.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_time.h"

namespace zor::platform {

// Date flags; they select the locale pattern and go with a null picture only.
inline constexpr uint32_t DATE_SHORTDATE = 0x1;
inline constexpr uint32_t DATE_LONGDATE = 0x2;
inline constexpr uint32_t DATE_YEARMONTH = 0x8;

// Time flags; they apply to the given picture and to the locale's.
inline constexpr uint32_t TIME_NOMINUTESORSECONDS = 0x1;
inline constexpr uint32_t TIME_NOSECONDS = 0x2;
inline constexpr uint32_t TIME_NOTIMEMARKER = 0x4;
inline constexpr uint32_t TIME_FORCE24HOURFORMAT = 0x8;

// The date text of `date`; the time fields are ignored and the day of week is
// computed from the date. Empty when the date is invalid (year 1601..30827,
// month 1..12, day within the month), when the flags contradict each other
// or come with a picture.
std::string FormatDatePicture(const SYSTEMTIME& date, uint32_t flags, const char* picture);

// The time text of `time`; the date fields are ignored. Dropping seconds or
// minutes or the marker also drops the text that separates it from the
// element before it. Empty when hour >= 24, minute >= 60, second >= 60 or
// millisecond >= 1000.
std::string FormatTimePicture(const SYSTEMTIME& time, uint32_t flags, const char* picture);

// Buffer forms in the platform's convention: a null `date` / `time` means the
// current local time; the text and its terminating zero are written to
// `buffer` of `size` characters and their count (zero included) returned;
// size 0 returns the count needed and writes nothing. 0 on failure (also
// when the buffer is too small), with buffer[0] set to zero when size > 0.
int GetDateFormat(uint32_t flags, const SYSTEMTIME* date, const char* picture, char* buffer,
                  int size);
int GetTimeFormat(uint32_t flags, const SYSTEMTIME* time, const char* picture, char* buffer,
                  int size);

}  // namespace zor::platform

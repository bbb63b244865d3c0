// The duration between two local times as a short text.
//
//   zor::platform::SYSTEMTIME from = ..., to = ...;
//   std::string s;
//   FormatTimeSpan(s, from, to, kTimeSpanClock);     // "01:02:03", "-00:01:30"
//   FormatTimeSpan(s, from, to, kTimeSpanLetters);   // "1h 2m 3s"
//   FormatTimeSpan(s, from, to, kTimeSpanWords);     // "1 day 1hr 2min 3sec"
//
// Both times are local wall-clock times and go through the C library's
// local-time conversion (daylight saving as the zone decides), so a span
// across a change of clock counts the real seconds. A time whose year is
// below 1900 counts as the instant 0 (1970-01-01 00:00:00 UTC); any other
// time must be one the platform's time object accepts, or TimeSpanError is
// thrown.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/system_time.h"

// Styles; any other number prints as kTimeSpanClock.
inline constexpr int kTimeSpanMarks = 1;      // 01h02'03"
inline constexpr int kTimeSpanMarksShort = 2; // 1h 2' 3"
inline constexpr int kTimeSpanLetters = 3;    // 1h 2m 3s
inline constexpr int kTimeSpanWords = 4;      // 1hr 2min 3sec
inline constexpr int kTimeSpanClock = 0;      // 01:02:03

// The class library's error code of a rejected time.
inline constexpr uint32_t kTimeSpanErrorCode = 0x80004005;

// A time FormatTimeSpan cannot convert: a field outside month 1..12, day
// 1..31, hour 0..23, minute or second 0..59, or an instant outside what the
// local-time conversion represents.
class TimeSpanError : public std::invalid_argument {
 public:
  explicit TimeSpanError(const std::string& what) : std::invalid_argument(what) {}
  uint32_t ErrorCode() const noexcept { return kTimeSpanErrorCode; }
};

// Days (only when there are any), hours, minutes and seconds of to - from,
// with "-" in front when `to` lies before `from`.
void FormatTimeSpan(std::string& out, const zor::platform::SYSTEMTIME& from,
                    const zor::platform::SYSTEMTIME& to, int style);

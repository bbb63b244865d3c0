// CTime: a time_t made from local broken-down time, and its strftime text.
//
//   try {
//     zor::platform::CTime t(2024, 3, 1, 12, 30, 0);   // local time, DST guessed
//     std::string s = t.Format("%Y-%m-%d %H:%M");
//   } catch (const std::invalid_argument&) {
//     // a field out of range, or an instant the C library cannot represent
//   }
//
// The fields are checked as the platform's time object checked them: year
// 1900..3000, month 1..12, day 1..31, hour 0..23, minute and second 0..59;
// the instant must lie from 1970-01-01 00:00:00 to 3000-12-31 23:59:59 UTC.
#pragma once

#include <ctime>
#include <stdexcept>
#include <string>

namespace zor::platform {

class CTime {
 public:
  explicit CTime(std::time_t t = 0) noexcept : time_(t) {}
  // Local time; dst 1 daylight, 0 standard, -1 let the zone decide. Throws
  // std::invalid_argument for a field out of range or when mktime fails.
  CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);

  std::time_t GetTime() const noexcept { return time_; }

  // Local broken-down time; false when the C library cannot break it down.
  bool GetLocalTm(std::tm& out) const noexcept;

  // strftime of the local time into at most 128 bytes (127 characters); empty
  // when strftime fails or the text does not fit, or the time cannot be
  // broken down.
  std::string Format(const char* pattern) const;

 private:
  std::time_t time_;
};

}  // namespace zor::platform

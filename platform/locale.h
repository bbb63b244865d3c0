// The user locale: separators, date and time patterns and names that the
// suite's texts take from the operating system's regional settings.
//
//   const zor::platform::LocaleInfo& loc = zor::platform::GetUserLocale();
//   std::string pattern = loc.shortDate;              // "M/d/yyyy"
//
//   // In a test: switch to another locale, then back to the default.
//   zor::platform::LocaleInfo de = zor::platform::DefaultLocale();
//   de.decimalSeparator = ",";
//   zor::platform::SetUserLocale(de);
//   ...
//   zor::platform::ResetUserLocale();
//
// The program runs in the "C" locale and never reads the host's regional
// settings, so every locale-dependent text is the same on every machine: the
// default is a fixed English (United States) locale. The user locale and the
// system default locale are the same locale here.
//
// The locale is process-wide. SetUserLocale is meant for tests and start-up;
// it must not race with readers (GetUserLocale returns a reference that a
// later SetUserLocale overwrites).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zor::platform {

struct LocaleInfo {
  // Numbers.
  std::string decimalSeparator = ".";
  std::string thousandSeparator = ",";
  std::string grouping = "3;0";  // group sizes from the right; ";0" repeats the last
  std::string negativeSign = "-";
  int decimalDigits = 2;       // digits after the separator in number formats
  int leadingZero = 1;         // 1: "0.5", 0: ".5"
  int negativeNumberMode = 1;  // 0 "(1.1)", 1 "-1.1", 2 "- 1.1", 3 "1.1-", 4 "1.1 -"

  // Dates and times, in the picture syntax of platform/date_picture.h.
  std::string shortDate = "M/d/yyyy";
  std::string longDate = "dddd, MMMM d, yyyy";
  std::string timeFormat = "h:mm:ss tt";
  std::string dateSeparator = "/";
  std::string timeSeparator = ":";
  std::string am = "AM";
  std::string pm = "PM";

  // Names, Sunday first and January first.
  std::array<std::string, 7> dayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
  std::array<std::string, 7> abbrevDayNames = {"Sun", "Mon", "Tue", "Wed",
                                               "Thu", "Fri", "Sat"};
  std::array<std::string, 12> monthNames = {
      "January", "February", "March",     "April",   "May",      "June",
      "July",    "August",   "September", "October", "November", "December"};
  std::array<std::string, 12> abbrevMonthNames = {"Jan", "Feb", "Mar", "Apr",
                                                   "May", "Jun", "Jul", "Aug",
                                                   "Sep", "Oct", "Nov", "Dec"};

  uint16_t languageId = 0x0409;  // primary language 9 (English), sub-language 1
};

// The fixed English default.
LocaleInfo DefaultLocale();

// The current user locale (the default until SetUserLocale).
const LocaleInfo& GetUserLocale();

// Replaces the user locale for the rest of the process (or until reset).
void SetUserLocale(const LocaleInfo& locale);

// Restores the fixed English default.
void ResetUserLocale();

}  // namespace zor::platform

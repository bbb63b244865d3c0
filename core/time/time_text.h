// SYSTEMTIME and time values to and from the short date and clock texts that
// users and data files write.
//
//   SYSTEMTIME st = ParseDateDmy("06.03.2019");          // also "060319", "06032019"
//   st = ParseDateYmd("20190306");                       // 2019-03-06
//   SYSTEMTIME clock = ParseTimeToSystemTime("123456.5"); // 12:34:56.500
//   double s = TimeTextToSeconds("12:34:56.25");         // 45296.25
//   CZORTime day = ParseDateText("6/3/19");              // 2019-03-06 00:00:00
//
//   std::string iso = FormatIsoDateTime(st, kIsoDateAndTime, 1);
//   // "2019-03-06T12:34:56.789+01:00"
//   double zone = 0;
//   bool ok = ParseIsoDateTime(iso, st, &zone);          // zone == 1.0
//
//   std::string d = FormatSystemDateTimeLocale(&st, true);  // "3/6/2019 12:34:56"
//
// Locale texts follow platform/locale.h: the short-date pattern and the clock
// "HH:mm:ss". Two-digit years mean 2000..2099.
//
// Readers take any text and never throw. The SYSTEMTIME readers give all
// zeros for a text they cannot read, the time-value readers a value that is
// not set. Numbers too large for an int are taken as INT_MAX; a field that
// does not fit its 16 bits keeps its low 16 bits, as the record always did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/time/zor_time.h"
#include "platform/system_time.h"

// ---- Printing. A null record gives "00:00:00" in the first four.

// "00:00:00" for a zero date; else the short date, and with `withTime` a
// blank and "HH:mm:ss". A date or clock the locale cannot show is empty.
std::string FormatSystemDateTimeLocale(const zor::platform::SYSTEMTIME* st, bool withTime);
// As above, the clock printed "%02d:%02d:%02d" with 0..3 decimals of the
// milliseconds (cut, not rounded); other decimals leave the clock empty.
std::string FormatSystemDateTimeDecimals(const zor::platform::SYSTEMTIME* st, int decimals,
                                         bool withTime);
// Clock first: "00:00:00" when hour, minute and second are 0; else the clock
// and with `withDate` a blank and the short date.
std::string FormatSystemTimeDateLocale(const zor::platform::SYSTEMTIME* st, bool withDate);
std::string FormatSystemTimeDateDecimals(const zor::platform::SYSTEMTIME* st, int decimals,
                                         bool withDate);

// The short date of today, in UTC or local time.
std::string FormatToday(bool utc);
// The clock now, "hh:mm:ss" with up to 3 decimals (decimals <= 0: none).
std::string FormatNowClock(bool utc, int decimals);

inline constexpr int kIsoDateAndTime = 0;  // "2019-03-06T12:34:56.789+01:00"
inline constexpr int kIsoDateOnly = 1;     // "2019-03-06"
inline constexpr int kIsoTimeOnly = 2;     // "12:34:56.789+01:00"
// Empty for any other part.
std::string FormatIsoDateTime(const zor::platform::SYSTEMTIME& st, int part, int zoneHours);

// ---- Reading.

// "yyyy-mm-ddThh:mm:ss[.fff][+hh:mm]", the date alone (a '-' at index 4) or
// the time alone (a ':' at index 2); at least 10 characters, a 'T' only at
// index 10. Sets the fields it reads (the milliseconds with the time, 0
// without a fraction; digits past the third are dropped) and the day of
// week to 0. The zone, when the text has a '+' or '-' after the time start,
// goes to *zoneHours (hours and minutes / 60, negative west). False, with
// nothing changed, for any other text.
bool ParseIsoDateTime(const std::string& text, zor::platform::SYSTEMTIME& out,
                      double* zoneHours);

// "h:mm[:ss][.f]": hours before the first ':' (which must not be the first
// character), two digits of minutes and seconds, and the digits after the
// '.' as an integer (".25" gives 25). All four are 0 first; false when the
// text has no such ':'.
bool ParseClockText(const std::string& text, int& hours, int& minutes, int& seconds,
                    int& fraction);

// Dates with separators ("2019-03-06", "6.3.19", "03/06/2019") or compact
// ("190306", "20190306", "060319", "06032019"), in the field order of the
// name. A missing number of a separated date leaves its field 0. Only the
// date fields are set; null or text without a digit gives all zeros. A
// compact form of another length than 6 or 8 digits reads no field, and the
// two-digit year rule makes that the year 2000 with month and day 0.
zor::platform::SYSTEMTIME ParseDateYmd(const char* text);
zor::platform::SYSTEMTIME ParseDateDmy(const char* text);
zor::platform::SYSTEMTIME ParseDateMdy(const char* text);

// Clock texts with separators ("12:34:56.25", "9:45", "9h45") or compact
// ("945", "0945", "94556", "123456", "123456.5"); a '.' right after the hour
// is no separator ("9.45" is 09:00:00). Sets hour, minute, second and
// milliseconds only; text without a digit gives all zeros. The seconds are
// rounded to the millisecond and a carry runs on into the minute and hour
// (12:34:59.9996 is 12:35:00.000); 23:59:59.9995 and later, having no day
// to carry into, stay 23:59:59.999.
zor::platform::SYSTEMTIME ParseTimeToSystemTime(const char* text);
// Seconds of day of ParseTimeToSystemTime.
double TimeTextToSeconds(const char* text);

// "yyyy.mm.dd[.ss]" as written in file names; fewer than three pieces give
// all zeros. No two-digit year rule.
zor::platform::SYSTEMTIME ParseDotDate(const std::string& text);

// A date at 00:00:00: compact "ddmmyy" / "ddmmyyyy", or separated day,
// month, year, or year, month, day when the first number is above 1000. Not
// set for text without a digit or a compact form of another length.
CZORTime ParseDateText(const std::string& text);
// A clock time as ParseTimeToSystemTime reads it, seconds unrounded, on the
// date 0000-00-00 (day kDatelessDay). Not set for text without a digit.
CZORTime ParseTimeText(const std::string& text);
// Seconds of day of ParseTimeText (-1.0 when it is not set).
double TimeTextSecondsOfDay(const std::string& text);

// The day that clock texts without a date have always been stored with, as
// files and peers hold it: the date 0000-00-00 through the day-number formula
// whose division of the year -1 rounds toward zero, one day after
// DateToMjd(0, 0, 0) of the proleptic calendar.
inline constexpr int32_t kDatelessDay = -678972;

// A date as three signed 32-bit integers.
struct sDateRecord {
  int32_t year;
  int32_t month;
  int32_t day;
};
static_assert(sizeof(sDateRecord) == 12);
static_assert(offsetof(sDateRecord, year) == 0);
static_assert(offsetof(sDateRecord, month) == 4);
static_assert(offsetof(sDateRecord, day) == 8);

// Day 1..31, month 1..12, year 1980 or later; days per month are not checked.
bool IsValidDateRecord(const sDateRecord& date);

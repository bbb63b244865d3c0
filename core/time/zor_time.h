// CZORTime: an instant as a Modified Julian Day number and the seconds of that
// day. sTimeRecord is its plain 16-byte image inside records and shared memory;
// sGpsWeekTime the same instant as GPS week and seconds of week.
//
//   CZORTime t(2024, 3, 1, 12, 30, 15.25);        // y, m, d, h, min, s
//   t += 3600.0;                                  // one hour on, normalised
//   std::string s = t.FormatTime(3, ':');         // "13:30:15.250"
//   sGpsWeekTime g = t.ToGpsWeek();
//   sTimeRecord rec = t.GetTimeRecord();          // 16 bytes for a record
//   double dt = t - CZORTime(rec);                // seconds between instants
//
// A value whose seconds are -1.0 or less (the default) is "not set": queries
// give zeros and texts "Invalid". Setters store what they compute without
// folding the seconds into one day (hour 25 gives 90000 seconds); only + and -
// (and so AddHours) fold them. Setters given a non-finite or unrepresentable
// number produce the not-set value.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "core/archive/archive.h"
#include "core/time/calendar.h"

// The time value inside records and shared memory.
struct sTimeRecord {
  int32_t day = 0;
  uint32_t pad = 0;  // always zero
  double seconds = 0.0;
};
static_assert(sizeof(sTimeRecord) == 16);
static_assert(offsetof(sTimeRecord, day) == 0);
static_assert(offsetof(sTimeRecord, pad) == 4);
static_assert(offsetof(sTimeRecord, seconds) == 8);

struct sGpsWeekTime {
  int32_t week = 0;
  uint32_t pad = 0;  // always zero
  double seconds = 0.0;  // seconds of week
};
static_assert(sizeof(sGpsWeekTime) == 16);
static_assert(offsetof(sGpsWeekTime, week) == 0);
static_assert(offsetof(sGpsWeekTime, pad) == 4);
static_assert(offsetof(sGpsWeekTime, seconds) == 8);

// The GPS week image of the not-set value; SetGpsWeek maps it back to not set.
inline constexpr int32_t kNotSetGpsWeek = -6320;
inline constexpr double kNotSetGpsSeconds = -345601.0;

class CZORTime : public Zor::ISerializable {
 public:
  // None of the constructors validates its input.
  CZORTime() noexcept = default;
  CZORTime(const CZORTime& other) noexcept = default;
  CZORTime(const sTimeRecord& record) noexcept : m_day(record.day), m_seconds(record.seconds) {}
  explicit CZORTime(const sGpsWeekTime& gps) noexcept { SetGpsWeek(gps); }
  explicit CZORTime(double unixSeconds) noexcept { SetUnixSeconds(unixSeconds); }
  explicit CZORTime(const std::tm& t) noexcept { SetTm(t); }
  CZORTime(int year, int month, int day, int hour, int minute, double seconds) noexcept {
    SetDateTime(year, month, day, hour, minute, seconds);
  }
  CZORTime(int year, double fraction, bool meanYear) noexcept {
    SetDecimalYear(year, fraction, meanYear);
  }
  // A time of day without a date (day 0); see AlignToDay.
  CZORTime(int hour, int minute, double seconds) noexcept;
  // "YYYY-MM-DD hh:mm:ss[.fff]" (a date, a blank, a time of day) or a date
  // alone at 00:00:00, in the forms boost.date_time reads; fractions of a
  // second are dropped. Text it cannot read throws its exception (a byte
  // that belongs to no date or time, boost::bad_lexical_cast).
  explicit CZORTime(const std::string& text);
  ~CZORTime() override = default;

  CZORTime& operator=(const CZORTime& other) noexcept = default;
  CZORTime& operator=(const sTimeRecord& record) noexcept {
    m_day = record.day;
    m_seconds = record.seconds;
    return *this;
  }
  // As operator=, returning the new day number.
  int32_t Assign(const CZORTime& other) noexcept {
    *this = other;
    return m_day;
  }

  bool IsValid() const noexcept { return m_seconds > -1.0; }
  int32_t GetDay() const noexcept { return m_day; }
  double GetSeconds() const noexcept { return m_seconds; }
  // Makes the value not set (day 0, seconds -1.0).
  void Clear() noexcept {
    m_day = 0;
    m_seconds = -1.0;
  }

  // ---- Setters: all overwrite day and seconds.
  void SetGpsWeek(const sGpsWeekTime& gps) noexcept { SetGpsWeek(gps.week, gps.seconds); }
  // (kNotSetGpsWeek, kNotSetGpsSeconds) gives the not-set value.
  void SetGpsWeek(int32_t week, double secondsOfWeek) noexcept;
  void SetTm(const std::tm& t) noexcept;
  void SetDate(int year, int month, int day, double secondsOfDay) noexcept;
  void SetDateTime(int year, int month, int day, int hour, int minute, double seconds) noexcept;
  // dayOfYear is 1-based.
  void SetDayOfYear(int year, int dayOfYear, int hour, int minute, double seconds) noexcept;
  // fraction of the year's length (365.2425 days when meanYear, else 365 or 366).
  void SetDecimalYear(int year, double fraction, bool meanYear) noexcept;
  void SetDecimalYear(double decimalYear) noexcept;
  // Seconds since 1970-01-01 00:00:00.
  void SetUnixSeconds(double seconds) noexcept;
  // Seconds since day 0 (1858-11-17 00:00:00).
  void SetMjdSeconds(double seconds) noexcept;
  // Day of the reference, then AlignToDay(reference); returns its result.
  int SetTimeOfDay(const CZORTime& reference, int hour, int minute, double seconds) noexcept;
  int SetSecondsOfDay(const CZORTime& reference, double seconds) noexcept;
  // The wall clock at microsecond resolution, in UTC or in the local zone
  // (TZ; UTC when the zone cannot tell its offset).
  void SetNowUtc();
  void SetNowLocal();

  // ---- Queries: zeros (or "Invalid") when not set.
  // All 16 bytes zero when not set.
  void GetTimeRecord(sTimeRecord& record) const noexcept;
  sTimeRecord GetTimeRecord() const noexcept {
    sTimeRecord r;
    GetTimeRecord(r);
    return r;
  }
  // All 16 bytes zero when not set. The week truncates toward zero, so days
  // before 1980-01-06 give negative seconds of week.
  void ToGpsWeek(sGpsWeekTime& gps) const noexcept;
  sGpsWeekTime ToGpsWeek() const noexcept {
    sGpsWeekTime g;
    ToGpsWeek(g);
    return g;
  }
  double GetMjd() const noexcept;
  double GetTotalSeconds() const noexcept;
  double GetTotalMinutes() const noexcept;
  double GetTotalHours() const noexcept;
  void GetDate(int& year, int& month, int& day) const noexcept;
  // hour = trunc(s / 3600), minute = trunc(rest / 60), seconds = rest; the
  // seconds are not folded into the day. dayOfWeek 0 = Sunday.
  void GetFields(int& year, int& month, int& day, int& dayOfWeek, int& hour, int& minute,
                 double& seconds) const noexcept;
  // The instant rounded to whole milliseconds, the seconds folded into the
  // date (86399.9996 is 00:00:00.000 of the next day). Every field lies in
  // its calendar range. False, with every field 0, when not set or when the
  // instant lies outside the 32-bit day range.
  bool GetFieldsMs(int& year, int& month, int& day, int& dayOfWeek, int& hour, int& minute,
                   int& second, int& millisecond) const noexcept;
  // The instant folded into its date with the clock cut to microseconds, as
  // GetTimeOfDayUs cuts it (never rounded up into the next second, so the
  // date is the instant's own). False, with every field 0, as GetFieldsMs.
  bool GetFieldsUs(int& year, int& month, int& day, int& dayOfWeek, int& hour, int& minute,
                   int& second, int& microsecond) const noexcept;
  void GetTimeOfDay(int& hour, int& minute, double& seconds) const noexcept;
  // microseconds stays below 1000000 (59.9999999 s is 59 s 999999 us).
  void GetTimeOfDayUs(int& hour, int& minute, int& second, int& microseconds) const noexcept;
  int GetDayOfYear() const noexcept;  // 1-based
  int GetDaysInYear() const noexcept;
  int GetDaysInMonth() const noexcept;
  // fraction = (day of year - 1 + seconds / 86400) / length of the year
  // (365.2425 when meanYear).
  void GetYearAndFraction(int& year, double& fraction, bool meanYear) const noexcept;
  double GetDecimalYear() const noexcept;
  // Decimal year of today's UTC date at 12:00:00.
  static double GetDecimalYearNow();

  // boost's simple text of the instant rounded to whole milliseconds as
  // GetFieldsMs rounds it (the same fields FormatTime and FormatDateTime
  // print), e.g. "2000-Jan-01 12:00:00.250000"; a value that is not set
  // counts as 1970-01-01 00:00:00. "Invalid" outside the years 1400..9999.
  std::string ToSimpleString() const;
  // The same rounded instant through a boost time facet with a
  // strftime-style format, e.g. "%d/%m/%Y".
  std::string Format(const std::string& format) const;
  // "hh:mm:ss" with `decimals` digits of the second (at most six): up to
  // three from GetFieldsMs, more from GetFieldsUs, so the clock is always the
  // one of a date (hour 25 prints as 01). Separator
  // ':' keeps the colons, 0 removes them, any other byte replaces them.
  std::string FormatTime(int decimals, char separator) const;
  // Five-digit day, a blank, the seconds with `decimals` digits (0..17):
  // "51544 43200.000". The seconds are folded into their day and printed
  // by "%05.<decimals>f", which rounds the binary value (exact ties to even:
  // 4.5 s with 0 decimals is "00004", 12209.65 s with 1 is "12209.6", where
  // the millisecond fields may round the other way); seconds that print as
  // 86400 are the next day's start, so 86399.9996 s with 3 decimals is
  // "51545 0.000". A second that prints as zero has no sign.
  std::string FormatMjd(int decimals) const;
  // -999 when this is not set; 1 when `other` is not set; else -1, 0, 1 by
  // day, then by seconds.
  int Compare(const CZORTime& other) const noexcept;

  // ---- Shifts and alignment.
  // += hours * 3600 when set and hours is not 0.
  void AddHours(double hours) noexcept;
  // Cuts the seconds to a multiple of n (n below 2: whole seconds).
  void TruncateSeconds(int n) noexcept;
  // Moves by whole days until the difference to the reference lies within
  // +-43200 s (both ends included). A day of 0 first takes the reference's
  // day. Returns the new day minus the day on entry; 0 and nothing changed
  // when either value is not set or not finite, or the move does not fit.
  int AlignToDay(const CZORTime& reference) noexcept;
  // The same by whole GPS weeks within +-302400 s; returns the weeks moved.
  int AlignToGpsWeek(const sGpsWeekTime& reference) noexcept;
  int AlignToWeek(const CZORTime& reference) noexcept;

  // Moves by `seconds` and folds the seconds into [0, 86400) (a move to a
  // hair below midnight that [0, 86400) cannot hold is midnight). A not-set
  // value stays not set; a move that cannot be represented gives not set.
  CZORTime& operator+=(double seconds) noexcept;
  CZORTime& operator-=(double seconds) noexcept { return *this += -seconds; }

  // Version 1, the day, the seconds: 16 bytes. `flags` is ignored.
  void Serialize(Zor::IArchive& archive, uint32_t flags) const override;
  // Any other version fails with code 7 ("ZorTime"); on any failure the value
  // and the read position are as before.
  void Deserialize(Zor::IArchive& archive) override;

 private:
  enum class AlignResult { kDone, kNotSet, kOutOfRange };

  // Set and finite: the seconds every query and shift can work with.
  bool Usable() const noexcept { return IsValid() && std::isfinite(m_seconds); }
  // Stores the pair, or the not-set value when the day does not fit in 32
  // bits or the seconds are not finite.
  void Store(int64_t day, double seconds) noexcept;
  // Store of `day` moved by the whole days in `seconds`, the rest folded into
  // [0, 86400) (SplitDays); not set when that cannot be represented.
  void StoreFolded(int64_t day, double seconds) noexcept;
  // SetGpsWeek without the not-set image; false when the result is not set.
  bool SetGpsWeekRaw(int64_t week, double secondsOfWeek) noexcept;
  AlignResult AlignDays(const CZORTime& reference, int& moved) noexcept;
  // Seconds since 1970 of a wall clock (UTC or local) and its microseconds.
  void SetClock(int64_t unixSeconds, int64_t micro) noexcept;
  int AlignWeeks(const sGpsWeekTime& reference) noexcept;

  int32_t m_day = 0;
  double m_seconds = -1.0;
};

// (a.day - b.day) * 86400 + (a.seconds - b.seconds); validity is not looked at.
double operator-(const CZORTime& a, const CZORTime& b) noexcept;
// Field comparison: day 1 with 86400 s and day 2 with 0 s are not equal,
// though both <= and >= hold.
bool operator==(const CZORTime& a, const CZORTime& b) noexcept;
inline bool operator!=(const CZORTime& a, const CZORTime& b) noexcept { return !(a == b); }
inline bool operator<(const CZORTime& a, const CZORTime& b) noexcept { return a - b < 0.0; }
inline bool operator<=(const CZORTime& a, const CZORTime& b) noexcept { return a - b <= 0.0; }
inline bool operator>(const CZORTime& a, const CZORTime& b) noexcept { return a - b > 0.0; }
inline bool operator>=(const CZORTime& a, const CZORTime& b) noexcept { return a - b >= 0.0; }
inline CZORTime operator+(CZORTime t, double seconds) noexcept { return t += seconds; }
inline CZORTime operator-(CZORTime t, double seconds) noexcept { return t -= seconds; }

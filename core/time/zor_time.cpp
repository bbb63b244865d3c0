#include "core/time/zor_time.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale>
#include <sstream>
#include <string_view>

#include <time.h>

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/lexical_cast.hpp>

#include "platform/checked_int.h"

namespace {

using zor::platform::DoubleToInt32;

constexpr double kDay = kSecondsPerDay;
constexpr double kWeek = kSecondsPerWeek;
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

bool FitsInt32(int64_t v) { return v >= kInt32Min && v <= kInt32Max; }

// A whole number of days or weeks held in a double, as int64 when its size
// could possibly matter for a 32-bit day; anything larger (or NaN) is refused.
bool SmallWhole(double v, int64_t& out) {
  if (!(std::fabs(v) <= 8.0e9)) return false;
  out = static_cast<int64_t>(v);
  return true;
}

// Splits a count of seconds into whole days and the seconds of the last day,
// in [0, 86400). The remainder is exact (fmod), so no rounding of a division
// can leave 86400 seconds or a hair below zero; a remainder too close below a
// whole day for [0, 86400) to hold counts as that day's start. False for
// counts that are not finite or whose days no 32-bit day could absorb.
bool SplitDays(double seconds, int64_t& days, double& rest) {
  if (!std::isfinite(seconds)) return false;
  double r = std::fmod(seconds, kDay);
  double whole = (seconds - r) / kDay;
  if (r < 0.0) {
    r += kDay;
    whole -= 1.0;
    if (r >= kDay) {
      r = 0.0;
      whole += 1.0;
    }
  }
  if (!SmallWhole(whole, days)) return false;
  // fmod keeps the sign of a whole number of days before it (-86400 gives
  // -0.0); seconds - n * 86400 gives +0.0, and so does adding 0.
  rest = r + 0.0;
  return true;
}

double SecondsOfDay(int hour, int minute, double seconds) {
  return hour * 3600.0 + minute * 60.0 + seconds;
}

// The window search of the alignment: the step count that brings
// diff(unit) = (unit - refUnit) * size + delta into [-half, half], moving from
// `start` one unit at a time as far as needed and no further, so a difference
// of exactly +-half stays. Computed directly, then settled with the same
// comparisons a step-by-step walk makes. False when the result leaves the
// 32-bit range.
bool FindAlignedUnit(int64_t start, int64_t refUnit, double delta, double size, double half,
                     int64_t& result) {
  auto diff = [&](int64_t unit) { return static_cast<double>(unit - refUnit) * size + delta; };
  const double d = diff(start);
  int64_t unit = start;
  int64_t k = 0;
  if (d > half) {
    if (!SmallWhole(std::ceil((d - half) / size), k)) return false;
    unit = start - k;
    for (int i = 0; i < 4 && diff(unit) > half; ++i) --unit;
    for (int i = 0; i < 4 && unit < start && diff(unit + 1) <= half; ++i) ++unit;
  } else if (d < -half) {
    if (!SmallWhole(std::ceil((-half - d) / size), k)) return false;
    unit = start + k;
    for (int i = 0; i < 4 && diff(unit) < -half; ++i) ++unit;
    for (int i = 0; i < 4 && unit > start && diff(unit - 1) >= -half; ++i) --unit;
  }
  if (!FitsInt32(unit)) return false;
  result = unit;
  return true;
}

// The instant rounded to whole milliseconds as GetFieldsMs rounds it (so the
// boost texts agree with every other text of the value), as a boost time; a
// value that is not set counts as 1970-01-01 00:00:00. False outside the
// years boost's calendar accepts (1400..9999).
bool ToBoostTime(const CZORTime& t, boost::posix_time::ptime& out) {
  int y = 1970, mo = 1, d = 1, dow = 0, h = 0, mi = 0, s = 0, ms = 0;
  if (t.IsValid() && !t.GetFieldsMs(y, mo, d, dow, h, mi, s, ms)) return false;
  if (y < 1400 || y > 9999) return false;
  out = boost::posix_time::ptime(
      boost::gregorian::date(static_cast<unsigned short>(y), static_cast<unsigned short>(mo),
                             static_cast<unsigned short>(d)),
      boost::posix_time::time_duration(h, mi, s) + boost::posix_time::milliseconds(ms));
  return true;
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char buf[96];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

// x as "%.*f" prints it with `precision` decimals (the binary value, exact
// ties to even), read back.
double AsPrinted(double x, int precision) {
  char printed[400];  // the largest double prints 309 digits before the point
  std::snprintf(printed, sizeof printed, "%.*f", precision, x);
  return std::strtod(printed, nullptr);
}

}  // namespace

// ---- Construction and setters.

CZORTime::CZORTime(int hour, int minute, double seconds) noexcept {
  Store(0, SecondsOfDay(hour, minute, seconds));
}

CZORTime::CZORTime(const std::string& text) {
  // boost's digit reader multiplies by a character before it checks that the
  // character is a digit, which overflows for a byte below '0' deep inside a
  // long field. No such byte but boost's own separators (",-./" in the date,
  // ",-." in the time after the first blank) belongs to a date or a time, nor
  // does one above '~': such a text is refused first, as boost refuses any
  // unreadable number.
  const std::size_t blank = text.find(' ');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (i == blank || (b >= '0' && b <= '~')) continue;
    const std::string_view separators = i < blank ? ",-./" : ",-.";
    if (separators.find(static_cast<char>(b)) == std::string_view::npos) {
      throw boost::bad_lexical_cast();
    }
  }
  boost::posix_time::ptime p;
  if (text.find(' ') != std::string::npos) {
    p = boost::posix_time::time_from_string(text);
  } else {
    p = boost::posix_time::ptime(boost::gregorian::from_string(text));
  }
  SetTm(boost::posix_time::to_tm(p));
}

void CZORTime::Store(int64_t day, double seconds) noexcept {
  if (!FitsInt32(day) || !std::isfinite(seconds)) {
    Clear();
    return;
  }
  m_day = static_cast<int32_t>(day);
  m_seconds = seconds;
}

void CZORTime::StoreFolded(int64_t day, double seconds) noexcept {
  int64_t days = 0;
  double rest = 0.0;
  if (!SplitDays(seconds, days, rest)) {
    Clear();
    return;
  }
  Store(day + days, rest);
}

void CZORTime::SetGpsWeek(int32_t week, double secondsOfWeek) noexcept {
  if (week == kNotSetGpsWeek && secondsOfWeek == kNotSetGpsSeconds) {
    Clear();
    return;
  }
  SetGpsWeekRaw(week, secondsOfWeek);
}

bool CZORTime::SetGpsWeekRaw(int64_t week, double secondsOfWeek) noexcept {
  int64_t days = 0;
  if (!std::isfinite(secondsOfWeek) || !SmallWhole(std::trunc(secondsOfWeek / kDay), days)) {
    Clear();
    return false;
  }
  Store(7 * week + days + kMjdGpsEpoch, std::fmod(secondsOfWeek, kDay));
  return IsValid();
}

void CZORTime::SetTm(const std::tm& t) noexcept {
  if (t.tm_year > std::numeric_limits<int>::max() - 1900 ||
      t.tm_mon == std::numeric_limits<int>::max()) {
    Clear();
    return;
  }
  Store(DateToMjd64(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday),
        t.tm_sec + t.tm_min * 60.0 + t.tm_hour * 3600.0);
}

void CZORTime::SetDate(int year, int month, int day, double secondsOfDay) noexcept {
  Store(DateToMjd64(year, month, day), secondsOfDay);
}

void CZORTime::SetDateTime(int year, int month, int day, int hour, int minute,
                           double seconds) noexcept {
  Store(DateToMjd64(year, month, day), SecondsOfDay(hour, minute, seconds));
}

void CZORTime::SetDayOfYear(int year, int dayOfYear, int hour, int minute,
                            double seconds) noexcept {
  Store(DateToMjd64(year, 1, 1) - 1 + dayOfYear, SecondsOfDay(hour, minute, seconds));
}

void CZORTime::SetDecimalYear(int year, double fraction, bool meanYear) noexcept {
  const double length = meanYear ? kDaysPerGregorianYear : DaysInYear(year);
  const double v = length * fraction + 1.0;
  int64_t n = 0;
  if (!SmallWhole(std::trunc(v), n)) {
    Clear();
    return;
  }
  Store(DateToMjd64(year, 1, 1) - 1 + n, (v - static_cast<double>(n)) * kDay);
}

void CZORTime::SetDecimalYear(double decimalYear) noexcept {
  const double year = std::floor(decimalYear);
  const int32_t y = DoubleToInt32(year);
  if (y == zor::platform::kIntegerIndefinite) {
    Clear();
    return;
  }
  SetDecimalYear(y, decimalYear - year, false);
}

void CZORTime::SetUnixSeconds(double seconds) noexcept { StoreFolded(kMjdUnixEpoch, seconds); }

void CZORTime::SetMjdSeconds(double seconds) noexcept { StoreFolded(0, seconds); }

int CZORTime::SetTimeOfDay(const CZORTime& reference, int hour, int minute,
                           double seconds) noexcept {
  return SetSecondsOfDay(reference, SecondsOfDay(hour, minute, seconds));
}

int CZORTime::SetSecondsOfDay(const CZORTime& reference, double seconds) noexcept {
  if (!std::isfinite(seconds)) {
    Clear();
    return 0;
  }
  m_day = reference.m_day;
  m_seconds = seconds;
  int moved = 0;
  // A time that cannot be brought next to a usable reference is no time.
  if (AlignDays(reference, moved) == AlignResult::kOutOfRange) Clear();
  return moved;
}

namespace {
// The wall clock to the microsecond, as seconds since 1970 (UTC) and the
// local zone's offset east of UTC at that instant (0 when unknown).
void ReadClock(int64_t& unixSeconds, int64_t& micro, int64_t* localOffset) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  unixSeconds = ts.tv_sec;
  micro = ts.tv_nsec / 1000;
  if (localOffset == nullptr) return;
  *localOffset = 0;
  std::tm local{};
  if (localtime_r(&ts.tv_sec, &local) != nullptr) *localOffset = local.tm_gmtoff;
}
}  // namespace

void CZORTime::SetClock(int64_t unixSeconds, int64_t micro) noexcept {
  const int64_t days = zor::detail::FloorDiv(unixSeconds, kSecondsPerDay);
  Store(days + kMjdUnixEpoch,
        static_cast<double>(unixSeconds - days * kSecondsPerDay) +
            static_cast<double>(micro) * 1e-6);
}

void CZORTime::SetNowUtc() {
  int64_t seconds = 0, micro = 0;
  ReadClock(seconds, micro, nullptr);
  SetClock(seconds, micro);
}

void CZORTime::SetNowLocal() {
  int64_t seconds = 0, micro = 0, offset = 0;
  ReadClock(seconds, micro, &offset);
  SetClock(seconds + offset, micro);
}

// ---- Queries.

void CZORTime::GetTimeRecord(sTimeRecord& record) const noexcept {
  record = sTimeRecord{};
  if (!IsValid()) return;
  record.day = m_day;
  record.seconds = m_seconds;
}

void CZORTime::ToGpsWeek(sGpsWeekTime& gps) const noexcept {
  gps = sGpsWeekTime{};
  if (!Usable()) return;
  const int64_t d = int64_t{m_day} - kMjdGpsEpoch;
  const int64_t week = d / 7;
  gps.week = static_cast<int32_t>(week);
  gps.seconds = static_cast<double>(d - 7 * week) * kDay + m_seconds;
}

double CZORTime::GetMjd() const noexcept { return Usable() ? m_day + m_seconds / kDay : 0.0; }

double CZORTime::GetTotalSeconds() const noexcept {
  return Usable() ? m_day * kDay + m_seconds : 0.0;
}

double CZORTime::GetTotalMinutes() const noexcept {
  return Usable() ? m_day * 1440.0 + m_seconds / 60.0 : 0.0;
}

double CZORTime::GetTotalHours() const noexcept {
  return Usable() ? m_day * 24.0 + m_seconds / 3600.0 : 0.0;
}

void CZORTime::GetDate(int& year, int& month, int& day) const noexcept {
  year = month = day = 0;
  if (Usable()) MjdToDate(m_day, year, month, day);
}

void CZORTime::GetFields(int& year, int& month, int& day, int& dayOfWeek, int& hour, int& minute,
                         double& seconds) const noexcept {
  GetDate(year, month, day);
  dayOfWeek = Usable() ? MjdDayOfWeek(m_day) : 0;
  GetTimeOfDay(hour, minute, seconds);
}

bool CZORTime::GetFieldsMs(int& year, int& month, int& day, int& dayOfWeek, int& hour,
                           int& minute, int& second, int& millisecond) const noexcept {
  auto none = [&] {
    year = month = day = dayOfWeek = hour = minute = second = millisecond = 0;
    return false;
  };
  if (!Usable()) return none();
  // Whole milliseconds in integers, so no field can round up to 1000 ms or
  // second 60, and any number of days carries into the date.
  const double v = m_seconds * 1000.0 + 0.5;
  constexpr int64_t kMsPerDay = 86400000;
  int64_t ms = 0;
  int64_t days = 0;
  if (v >= 0.0 && v < static_cast<double>(kMsPerDay)) [[likely]] {
    ms = static_cast<int64_t>(v);  // within the day: truncation is the floor
  } else {
    if (!(std::fabs(v) < 9.0e18)) return none();
    ms = static_cast<int64_t>(v);  // floor(v), without a libm call
    if (static_cast<double>(ms) > v) --ms;
    days = zor::detail::FloorDiv(ms, kMsPerDay);
  }
  const int64_t mjd = int64_t{m_day} + days;
  if (!FitsInt32(mjd)) return none();
  uint32_t rest = static_cast<uint32_t>(ms - days * kMsPerDay);
  MjdToDate(static_cast<int32_t>(mjd), year, month, day);
  dayOfWeek = MjdDayOfWeek(mjd);
  hour = static_cast<int>(rest / 3600000);
  rest %= 3600000;
  minute = static_cast<int>(rest / 60000);
  rest %= 60000;
  second = static_cast<int>(rest / 1000);
  millisecond = static_cast<int>(rest % 1000);
  return true;
}

bool CZORTime::GetFieldsUs(int& year, int& month, int& day, int& dayOfWeek, int& hour,
                           int& minute, int& second, int& microsecond) const noexcept {
  year = month = day = dayOfWeek = hour = minute = second = microsecond = 0;
  int64_t days = 0;
  double rest = 0.0;
  if (!Usable() || !SplitDays(m_seconds, days, rest)) return false;
  const int64_t mjd = int64_t{m_day} + days;
  if (!FitsInt32(mjd)) return false;
  // Whole seconds in integers: no division can round an hour or a minute up.
  const double whole = std::floor(rest);
  double f = rest - whole;
  if (f > 0.999999) f = 0.999999;
  const auto clock = static_cast<int>(whole);  // 0..86399
  MjdToDate(static_cast<int32_t>(mjd), year, month, day);
  dayOfWeek = MjdDayOfWeek(mjd);
  hour = clock / 3600;
  minute = clock % 3600 / 60;
  second = clock % 60;
  microsecond = static_cast<int>(f * 1e6 + 0.5);
  return true;
}

void CZORTime::GetTimeOfDay(int& hour, int& minute, double& seconds) const noexcept {
  hour = minute = 0;
  seconds = 0.0;
  if (!Usable()) return;
  hour = DoubleToInt32(m_seconds / 3600.0);
  const double rest = m_seconds - hour * 3600.0;
  minute = DoubleToInt32(rest / 60.0);
  seconds = rest - minute * 60.0;
}

void CZORTime::GetTimeOfDayUs(int& hour, int& minute, int& second,
                              int& microseconds) const noexcept {
  hour = minute = second = microseconds = 0;
  if (!Usable()) return;
  hour = DoubleToInt32(m_seconds / 3600.0);
  double rest = m_seconds - hour * 3600.0;
  minute = DoubleToInt32(rest / 60.0);
  rest -= minute * 60.0;
  const double whole = std::floor(rest);
  second = DoubleToInt32(whole);
  double f = rest - whole;
  if (f > 0.999999) f = 0.999999;
  microseconds = DoubleToInt32(f * 1e6 + 0.5);
}

int CZORTime::GetDayOfYear() const noexcept {
  if (!Usable()) return 0;
  int y, m, d;
  MjdToDate(m_day, y, m, d);
  return static_cast<int>(int64_t{m_day} - (DateToMjd64(y, 1, 1) - 1));
}

int CZORTime::GetDaysInYear() const noexcept {
  int y, m, d;
  GetDate(y, m, d);
  return Usable() ? DaysInYear(y) : 0;
}

int CZORTime::GetDaysInMonth() const noexcept {
  int y, m, d;
  GetDate(y, m, d);
  return Usable() ? DaysInMonthOf(y, m) : 0;
}

void CZORTime::GetYearAndFraction(int& year, double& fraction, bool meanYear) const noexcept {
  year = 0;
  fraction = 0.0;
  if (!Usable()) return;
  int m, d;
  MjdToDate(m_day, year, m, d);
  const double length = meanYear ? kDaysPerGregorianYear : DaysInYear(year);
  fraction = (GetDayOfYear() - 1 + m_seconds / kDay) / length;
}

double CZORTime::GetDecimalYear() const noexcept {
  int year;
  double fraction;
  GetYearAndFraction(year, fraction, false);
  return year + fraction;
}

double CZORTime::GetDecimalYearNow() {
  CZORTime t;
  t.SetNowUtc();
  t.m_seconds = 43200.0;
  return t.GetDecimalYear();
}

// ---- Texts.

std::string CZORTime::ToSimpleString() const {
  boost::posix_time::ptime p;
  if (!ToBoostTime(*this, p)) return "Invalid";
  try {
    return boost::posix_time::to_simple_string(p);
  } catch (const std::exception&) {
    return "Invalid";
  }
}

std::string CZORTime::Format(const std::string& format) const {
  boost::posix_time::ptime p;
  if (!ToBoostTime(*this, p)) return "Invalid";
  try {
    std::ostringstream out;
    // The locale owns the facet.
    out.imbue(std::locale(std::locale::classic(),
                          new boost::posix_time::time_facet(format.c_str())));
    out << p;
    return out.str();
  } catch (const std::exception&) {
    return "Invalid";
  }
}

std::string CZORTime::FormatTime(int decimals, char separator) const {
  if (!Usable()) return "Invalid";
  std::string text;
  if (decimals > 3) {
    int y, mo, d, dow, h, m, s, us;
    if (!GetFieldsUs(y, mo, d, dow, h, m, s, us)) return "Invalid";
    text = Printf("%02d:%02d:%02d.%06d", h, m, s, us);
    const size_t keep = static_cast<size_t>(std::min(decimals, 1000)) + 9;
    if (text.size() > keep) text.resize(keep);
  } else {
    int y, mo, d, dow, h, m, s, ms;
    if (!GetFieldsMs(y, mo, d, dow, h, m, s, ms)) return "Invalid";
    switch (decimals) {
      case 3: text = Printf("%02d:%02d:%02d.%03d", h, m, s, ms); break;
      case 2: text = Printf("%02d:%02d:%02d.%02d", h, m, s, ms / 10); break;
      case 1: text = Printf("%02d:%02d:%02d.%01d", h, m, s, ms / 100); break;
      default: text = Printf("%02d:%02d:%02d", h, m, s); break;
    }
  }
  if (separator == ':') return text;
  if (separator == '\0') {
    text.erase(std::remove(text.begin(), text.end(), ':'), text.end());
  } else {
    std::replace(text.begin(), text.end(), ':', separator);
  }
  return text;
}

std::string CZORTime::FormatMjd(int decimals) const {
  if (!IsValid()) return "Invalid";
  const int precision = std::clamp(decimals, 0, 17);
  // The seconds are folded into their day and printed as printf prints them
  // (the binary value, exact ties to even), as the suite's Windows programs
  // print them; a day whose seconds print as 86400 is the next day's start.
  int64_t day = m_day;
  double seconds = m_seconds;
  int64_t days = 0;
  double rest = 0.0;
  if (SplitDays(m_seconds, days, rest) && FitsInt32(day + days)) {
    day += days;
    seconds = rest;
    if (AsPrinted(rest, precision) >= kDay && FitsInt32(day + 1)) {
      ++day;
      seconds = 0.0;
    }
  }
  // A second that prints as zero prints without a sign: -0.0 from a record,
  // or a tiny negative left unfolded at the end of the day range.
  if (seconds <= 0.0 && AsPrinted(seconds, precision) == 0.0) seconds = 0.0;
  // "%05d %05.<precision>lf"; seconds as large as 1e308 need ~330 bytes.
  char buf[400];
  std::snprintf(buf, sizeof buf, "%05d %0*.*f", static_cast<int32_t>(day), 5, precision, seconds);
  return buf;
}

int CZORTime::Compare(const CZORTime& other) const noexcept {
  if (!IsValid()) return -999;
  if (!other.IsValid()) return 1;
  if (m_day != other.m_day) return m_day < other.m_day ? -1 : 1;
  if (m_seconds == other.m_seconds) return 0;
  return m_seconds < other.m_seconds ? -1 : 1;
}

// ---- Shifts and alignment.

void CZORTime::AddHours(double hours) noexcept {
  if (IsValid() && hours != 0.0) *this += hours * 3600.0;
}

void CZORTime::TruncateSeconds(int n) noexcept {
  if (!std::isfinite(m_seconds)) return;
  const double m = n < 2 ? 1.0 : n;
  m_seconds -= std::fmod(m_seconds, m);
}

CZORTime::AlignResult CZORTime::AlignDays(const CZORTime& reference, int& moved) noexcept {
  moved = 0;
  if (!Usable() || !reference.Usable()) return AlignResult::kNotSet;
  const int64_t start = m_day == 0 ? reference.m_day : m_day;
  int64_t day = 0;
  if (!FindAlignedUnit(start, reference.m_day, m_seconds - reference.m_seconds, kDay,
                       kDay / 2, day)) {
    return AlignResult::kOutOfRange;
  }
  const int64_t shift = day - m_day;
  if (!FitsInt32(shift)) return AlignResult::kOutOfRange;
  m_day = static_cast<int32_t>(day);
  moved = static_cast<int>(shift);
  return AlignResult::kDone;
}

int CZORTime::AlignToDay(const CZORTime& reference) noexcept {
  int moved = 0;
  AlignDays(reference, moved);
  return moved;
}

int CZORTime::AlignWeeks(const sGpsWeekTime& reference) noexcept {
  if (!Usable() || !std::isfinite(reference.seconds)) return 0;
  if (reference.week == kNotSetGpsWeek && reference.seconds == kNotSetGpsSeconds) return 0;
  const sGpsWeekTime own = ToGpsWeek();
  int64_t week = 0;
  if (!FindAlignedUnit(own.week, reference.week, own.seconds - reference.seconds, kWeek,
                       kWeek / 2, week)) {
    return 0;
  }
  if (week == own.week) return 0;
  // Rebuilt straight from the pair: an aligned time is never the not-set image.
  CZORTime moved;
  if (!moved.SetGpsWeekRaw(week, own.seconds)) return 0;
  *this = moved;
  return static_cast<int>(week - own.week);
}

int CZORTime::AlignToGpsWeek(const sGpsWeekTime& reference) noexcept {
  return AlignWeeks(reference);
}

int CZORTime::AlignToWeek(const CZORTime& reference) noexcept {
  if (!reference.Usable()) return 0;
  return AlignWeeks(reference.ToGpsWeek());
}

// ---- Arithmetic.

CZORTime& CZORTime::operator+=(double seconds) noexcept {
  if (!IsValid()) return *this;
  const double s = m_seconds + seconds;
  if (!std::isfinite(s)) {
    Clear();
    return *this;
  }
  if (s >= 0.0 && s < kDay) {
    m_seconds = s;
    return *this;
  }
  StoreFolded(m_day, s);
  return *this;
}

double operator-(const CZORTime& a, const CZORTime& b) noexcept {
  return static_cast<double>(int64_t{a.GetDay()} - b.GetDay()) * kDay +
         (a.GetSeconds() - b.GetSeconds());
}

bool operator==(const CZORTime& a, const CZORTime& b) noexcept {
  return a.GetSeconds() == b.GetSeconds() && a.GetDay() == b.GetDay();
}

// ---- Serialisation.

void CZORTime::Serialize(Zor::IArchive& archive, uint32_t /*flags*/) const {
  archive.Write32(int32_t{1}).Write32(m_day).Write64(m_seconds);
}

void CZORTime::Deserialize(Zor::IArchive& archive) {
  const uint32_t start = archive.GetPosition();
  int32_t version = 0;
  int32_t day = 0;
  double seconds = 0.0;
  try {
    archive.Read32(version);
    if (version != 1) archive.Fail(Zor::kArchiveErrorOutsideBlock, "ZorTime");
    archive.Read32(day).Read64(seconds);
  } catch (...) {
    archive.SetPosition(start);
    throw;
  }
  m_day = day;
  m_seconds = seconds;
}

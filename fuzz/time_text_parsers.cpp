// Feeds arbitrary text to every date and time text reader and prints what
// they read, checking the promises the readers make.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/time/time_text.h"

namespace {

using zor::platform::SYSTEMTIME;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Same(const SYSTEMTIME& a, const SYSTEMTIME& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void PrintEveryForm(const SYSTEMTIME& st, int decimals) {
  for (bool with : {false, true}) {
    (void)FormatSystemDateTimeLocale(&st, with);
    (void)FormatSystemDateTimeDecimals(&st, decimals, with);
    (void)FormatSystemTimeDateLocale(&st, with);
    (void)FormatSystemTimeDateDecimals(&st, decimals, with);
  }
  for (int part = -1; part <= 3; ++part) (void)FormatIsoDateTime(st, part, decimals);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int decimals = static_cast<int>(size % 7) - 1;

  SYSTEMTIME iso{};
  iso.wDayOfWeek = 3;
  const SYSTEMTIME before = iso;
  double zone = 1234.0;
  if (ParseIsoDateTime(text, iso, &zone)) {
    Check(size >= 10);
    Check(iso.wDayOfWeek == 0);
    Check(iso.wMilliseconds < 1000);
    Check(zone == 1234.0 || std::fabs(zone) < 200.0);
    PrintEveryForm(iso, decimals);
  } else {
    Check(Same(iso, before));
    Check(zone == 1234.0);
  }

  int h = 1, m = 1, s = 1, f = 1;
  if (!ParseClockText(text, h, m, s, f)) Check(h == 0 && m == 0 && s == 0 && f == 0);

  const char* c = text.c_str();
  for (const SYSTEMTIME& st : {ParseDateYmd(c), ParseDateDmy(c), ParseDateMdy(c)}) {
    Check(st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0 && st.wMilliseconds == 0);
    Check(st.wDayOfWeek == 0);
    PrintEveryForm(st, decimals);
  }

  const SYSTEMTIME clock = ParseTimeToSystemTime(c);
  Check(clock.wYear == 0 && clock.wMonth == 0 && clock.wDay == 0);
  Check(clock.wMilliseconds < 1000);
  const double seconds = TimeTextToSeconds(c);
  Check(std::isfinite(seconds) && seconds >= 0.0);
  PrintEveryForm(clock, decimals);

  PrintEveryForm(ParseDotDate(text), decimals);

  const CZORTime date = ParseDateText(text);
  if (date.IsValid()) Check(date.GetSeconds() == 0.0);

  const CZORTime time = ParseTimeText(text);
  if (time.IsValid()) {
    Check(time.GetDay() == kDatelessDay);
    Check(std::isfinite(time.GetSeconds()) && time.GetSeconds() >= 0.0);
  }
  Check(TimeTextSecondsOfDay(text) == time.GetSeconds());
  return 0;
}

#include "core/text/duration_text.h"

#include <cstdint>
#include <stdexcept>

#include "core/text/string_helpers.h"
#include "platform/ctime.h"

namespace {

int64_t LocalSeconds(const zor::platform::SYSTEMTIME& st) {
  if (st.wYear < 1900) return 0;
  try {
    const zor::platform::CTime t(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                                 st.wSecond);
    return static_cast<int64_t>(t.GetTime());
  } catch (const std::invalid_argument& e) {
    throw TimeSpanError(e.what());
  }
}

}  // namespace

void FormatTimeSpan(std::string& out, const zor::platform::SYSTEMTIME& from,
                    const zor::platform::SYSTEMTIME& to, int style) {
  // Both instants lie within 1970..3000, so every count below fits an int.
  int64_t d = LocalSeconds(to) - LocalSeconds(from);
  const bool negative = d < 0;
  if (negative) d = -d;

  std::string text;
  if (d >= 86400) {
    const int days = static_cast<int>(d / 86400);
    d %= 86400;
    const char* format = style == 2 || style == 3 ? "%dd " : style == 4 ? "%d day " : "%d d ";
    text += FormatString(format, days);
  }

  if (d >= 3600) {
    const int hours = static_cast<int>(d / 3600);
    d %= 3600;
    switch (style) {
      case 1: text += FormatString("%02dh", hours); break;
      case 2: case 3: text += FormatString("%dh ", hours); break;
      case 4: text += FormatString("%dhr ", hours); break;
      default: text += FormatString("%02d:", hours); break;
    }
  } else {
    switch (style) {
      case 1: text += "00h"; break;
      case 2: case 3: text += "0h "; break;
      case 4: break;
      default: text += "00:"; break;
    }
  }

  int minutes = 0;
  if (d >= 60) {
    minutes = static_cast<int>(d / 60);
    d %= 60;
  }
  switch (style) {
    case 1: text += FormatString("%02d'", minutes); break;
    case 2: text += FormatString("%d' ", minutes); break;
    case 3: text += FormatString("%dm ", minutes); break;
    case 4: text += FormatString("%dmin ", minutes); break;
    default: text += FormatString("%02d:", minutes); break;
  }

  const int seconds = static_cast<int>(d);
  switch (style) {
    case 1: text += FormatString("%02d\"", seconds); break;
    case 2: text += FormatString("%d\"", seconds); break;
    case 3: text += FormatString("%ds", seconds); break;
    case 4: text += FormatString("%dsec", seconds); break;
    default: text += FormatString("%02d", seconds); break;
  }

  out = negative ? "-" + text : text;
}

#include "platform/date_picture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_time.h"
#include "platform/locale.h"

namespace zor::platform {
namespace {

enum class PictureKind { kDate, kTime };

bool IsPictureLetter(PictureKind kind, char c) {
  if (kind == PictureKind::kDate) return c == 'd' || c == 'M' || c == 'y';
  return c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 't';
}

void AppendNumber(std::string& out, int value, int minDigits) {
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%0*d", minDigits, value);
  out.append(digits, static_cast<std::size_t>(n));
}

// 1601-01-01 was a Monday; the day of week follows from the file time.
int DayOfWeek(const SYSTEMTIME& date) {
  SYSTEMTIME midnight = date;
  midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
  uint64_t ticks = 0;
  if (!SystemTimeToFileTime(midnight, ticks)) return 0;
  return static_cast<int>((ticks / kTicksPerDay + 1) % 7);
}

class PictureWriter {
 public:
  PictureWriter(const SYSTEMTIME& st, PictureKind kind, uint32_t timeFlags, const LocaleInfo& loc)
      : st_(st), kind_(kind), flags_(timeFlags), loc_(loc) {}

  std::string Expand(std::string_view picture) {
    std::size_t i = 0;
    while (i < picture.size()) {
      const char c = picture[i];
      if (c == '\'') {
        i = CopyQuoted(picture, i + 1);
        continue;
      }
      if (!IsPictureLetter(kind_, c)) {
        AppendLiteral(c);
        ++i;
        continue;
      }
      std::size_t run = 1;
      while (i + run < picture.size() && picture[i + run] == c) ++run;
      Element(c, static_cast<int>(std::min<std::size_t>(run, 4)));
      i += run;
    }
    return out_;
  }

 private:
  // Copies the text up to the closing quote; '' stands for one quote, inside
  // quotes or out. Returns the index after the closing quote.
  std::size_t CopyQuoted(std::string_view picture, std::size_t i) {
    if (i < picture.size() && picture[i] == '\'') {
      AppendLiteral('\'');
      return i + 1;
    }
    while (i < picture.size()) {
      if (picture[i] == '\'') {
        if (i + 1 < picture.size() && picture[i + 1] == '\'') {
          AppendLiteral('\'');
          i += 2;
          continue;
        }
        return i + 1;
      }
      AppendLiteral(picture[i++]);
    }
    return i;
  }

  void AppendLiteral(char c) {
    if (skipLiteral_) return;
    out_.push_back(c);
  }

  bool Dropped(char c) const {
    if (kind_ != PictureKind::kTime) return false;
    if (c == 't') return flags_ & TIME_NOTIMEMARKER;
    if (c == 's') return flags_ & (TIME_NOSECONDS | TIME_NOMINUTESORSECONDS);
    if (c == 'm') return flags_ & TIME_NOMINUTESORSECONDS;
    return false;
  }

  void Element(char c, int count) {
    if (Dropped(c)) {
      // The separator goes with the element: the text before it, or the text
      // after it when it leads the picture.
      if (anyElement_) {
        out_.resize(endOfLastElement_);
      } else {
        skipLiteral_ = true;
      }
      return;
    }
    skipLiteral_ = false;
    Write(c, count);
    anyElement_ = true;
    endOfLastElement_ = out_.size();
  }

  void Write(char c, int count) {
    switch (c) {
      case 'd':
        if (count <= 2) return AppendNumber(out_, st_.wDay, count);
        out_ += count == 3 ? loc_.abbrevDayNames[DayOfWeek(st_)] : loc_.dayNames[DayOfWeek(st_)];
        return;
      case 'M':
        if (count <= 2) return AppendNumber(out_, st_.wMonth, count);
        out_ += count == 3 ? loc_.abbrevMonthNames[st_.wMonth - 1] : loc_.monthNames[st_.wMonth - 1];
        return;
      case 'y':
        if (count >= 4) return AppendNumber(out_, st_.wYear, 1);
        return AppendNumber(out_, st_.wYear % 100, std::min(count, 2));
      case 'h': {
        if (flags_ & TIME_FORCE24HOURFORMAT) return AppendNumber(out_, st_.wHour, std::min(count, 2));
        const int hour12 = st_.wHour % 12 == 0 ? 12 : st_.wHour % 12;
        return AppendNumber(out_, hour12, std::min(count, 2));
      }
      case 'H':
        return AppendNumber(out_, st_.wHour, std::min(count, 2));
      case 'm':
        return AppendNumber(out_, st_.wMinute, std::min(count, 2));
      case 's':
        return AppendNumber(out_, st_.wSecond, std::min(count, 2));
      case 't': {
        const std::string& marker = st_.wHour < 12 ? loc_.am : loc_.pm;
        out_ += count == 1 ? marker.substr(0, 1) : marker;
        return;
      }
      default:
        return;
    }
  }

  const SYSTEMTIME& st_;
  PictureKind kind_;
  uint32_t flags_;
  const LocaleInfo& loc_;
  std::string out_;
  bool anyElement_ = false;
  bool skipLiteral_ = false;
  std::size_t endOfLastElement_ = 0;
};

bool ExpandDate(const SYSTEMTIME& date, uint32_t flags, const char* picture, std::string& out) {
  const uint32_t selectors = flags & (DATE_SHORTDATE | DATE_LONGDATE | DATE_YEARMONTH);
  if (picture != nullptr && selectors != 0) return false;
  if (selectors != 0 && (selectors & (selectors - 1)) != 0) return false;  // more than one

  SYSTEMTIME day = date;
  day.wHour = day.wMinute = day.wSecond = day.wMilliseconds = 0;
  if (!IsValidSystemTime(day)) return false;

  const LocaleInfo& loc = GetUserLocale();
  std::string_view pattern;
  if (picture != nullptr) {
    pattern = picture;
  } else if (selectors == DATE_LONGDATE) {
    pattern = loc.longDate;
  } else if (selectors == DATE_YEARMONTH) {
    pattern = "MMMM yyyy";
  } else {
    pattern = loc.shortDate;
  }
  out = PictureWriter(day, PictureKind::kDate, 0, loc).Expand(pattern);
  return true;
}

bool ExpandTime(const SYSTEMTIME& time, uint32_t flags, const char* picture, std::string& out) {
  if (time.wHour >= 24 || time.wMinute >= 60 || time.wSecond >= 60 || time.wMilliseconds >= 1000)
    return false;
  const LocaleInfo& loc = GetUserLocale();
  const std::string_view pattern = picture != nullptr ? std::string_view(picture) : loc.timeFormat;
  out = PictureWriter(time, PictureKind::kTime, flags, loc).Expand(pattern);
  return true;
}

int ToBuffer(bool ok, const std::string& text, char* buffer, int size) {
  if (size < 0 || (size > 0 && buffer == nullptr)) return 0;
  const int needed = static_cast<int>(text.size()) + 1;
  if (ok && size == 0) return needed;
  if (!ok || needed > size) {
    if (size > 0) buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, text.c_str(), static_cast<std::size_t>(needed));
  return needed;
}

}  // namespace

std::string FormatDatePicture(const SYSTEMTIME& date, uint32_t flags, const char* picture) {
  std::string out;
  if (!ExpandDate(date, flags, picture, out)) return {};
  return out;
}

std::string FormatTimePicture(const SYSTEMTIME& time, uint32_t flags, const char* picture) {
  std::string out;
  if (!ExpandTime(time, flags, picture, out)) return {};
  return out;
}

int GetDateFormat(uint32_t flags, const SYSTEMTIME* date, const char* picture, char* buffer,
                  int size) {
  const SYSTEMTIME st = date != nullptr ? *date : GetLocalTime();
  std::string text;
  const bool ok = ExpandDate(st, flags, picture, text);
  return ToBuffer(ok, text, buffer, size);
}

int GetTimeFormat(uint32_t flags, const SYSTEMTIME* time, const char* picture, char* buffer,
                  int size) {
  const SYSTEMTIME st = time != nullptr ? *time : GetLocalTime();
  std::string text;
  const bool ok = ExpandTime(st, flags, picture, text);
  return ToBuffer(ok, text, buffer, size);
}

}  // namespace zor::platform

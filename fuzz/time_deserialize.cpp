// Feeds arbitrary bytes to CZORTime::Deserialize and DeserializeFromBytes,
// and the same bytes as text to the text constructor (boost's parsers).
// A failed read must leave the value and the read position alone; whatever
// value a successful read gives (NaN, infinities, any day) must survive every
// query, text and alignment without a crash or an out-of-range field.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "core/archive/archive.h"
#include "core/log/logger.h"
#include "core/time/zor_time.h"

namespace {

bool SameBits(const CZORTime& a, const CZORTime& b) {
  const int32_t da = a.GetDay(), db = b.GetDay();
  const double sa = a.GetSeconds(), sb = b.GetSeconds();
  return da == db && std::memcmp(&sa, &sb, sizeof sa) == 0;
}

void Exercise(CZORTime& t) {
  int y, m, d, dow, h, mi, s, ms;
  if (t.GetFieldsMs(y, m, d, dow, h, mi, s, ms)) {
    if (m < 1 || m > 12 || d < 1 || d > 31 || dow < 0 || dow > 6 || h < 0 || h > 23 || mi < 0 ||
        mi > 59 || s < 0 || s > 59 || ms < 0 || ms > 999)
      __builtin_trap();
  }
  int us;
  t.GetTimeOfDayUs(h, mi, s, us);
  (void)t.FormatTime(6, '\0');
  if (us < 0 || us > 999999) __builtin_trap();
  const std::string clock = t.FormatTime(3, ':');
  // Above three decimals: the folded instant, cut to microseconds; the log
  // stamp's date is that instant's own.
  const std::string micro = t.FormatTime(6, ':');
  if (t.GetFieldsUs(y, m, d, dow, h, mi, s, us)) {
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || us < 0 || us > 999999)
      __builtin_trap();
    char want[32];
    std::snprintf(want, sizeof want, "%02d:%02d:%02d.%06d", h, mi, s, us);
    if (micro != want) __builtin_trap();
    if (y >= 0 && y <= 9999) {
      char date[16];
      std::snprintf(date, sizeof date, "%02d/%02d/%04d", d, m, y);
      if (LogTimeStamp(t, 6) != std::string(date) + " " + micro) __builtin_trap();
    }
  } else if (micro != "Invalid") {
    __builtin_trap();
  }
  (void)t.FormatMjd(17);
  (void)t.ToSimpleString();
  // The boost text rounds as FormatTime does: the same clock, and the date
  // is the log stamp's.
  const std::string boost = t.Format("%Y-%m-%d %H:%M:%S");
  if (t.IsValid() && boost != "Invalid") {
    if (boost.substr(boost.size() - 8) != clock.substr(0, 8)) __builtin_trap();
    const std::string stamp = LogTimeStamp(t, 3);
    if (stamp.substr(stamp.size() - 12) != clock) __builtin_trap();
    const std::string date =
        boost.substr(8, 2) + "/" + boost.substr(5, 2) + "/" + boost.substr(0, 4);
    if (stamp.substr(0, 10) != date) __builtin_trap();
  }
  (void)t.GetDecimalYear();
  (void)t.GetDayOfYear();
  const sGpsWeekTime g = t.ToGpsWeek();
  CZORTime copy = t;
  (void)copy.AlignToDay(CZORTime(2020, 6, 1, 12, 0, 0.0));
  copy = t;
  (void)copy.AlignToGpsWeek(sGpsWeekTime{2100, 0, 302400.0});
  copy = t;
  copy.SetGpsWeek(g);
  copy = t;
  copy += 1e9;
  // A move folds the seconds into the day.
  if (copy.IsValid() && !(copy.GetSeconds() >= 0.0 && copy.GetSeconds() < 86400.0))
    __builtin_trap();
  copy -= 3e9;
  copy.SetMjdSeconds(t.GetSeconds() * 1e6);
  if (copy.IsValid() && !(copy.GetSeconds() >= 0.0 && copy.GetSeconds() < 86400.0))
    __builtin_trap();
  (void)(t - copy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Zor::ByteVector buf(data, data + size);
  const CZORTime start(2020, 1, 2, 3, 4, 5.5);

  CZORTime t = start;
  Zor::ByteVectorArchive ar(buf);
  try {
    t.Deserialize(ar);
    if (ar.GetPosition() != 16) __builtin_trap();
    Exercise(t);
  } catch (const Zor::IArchiveException& e) {
    if (e.Code() != Zor::kArchiveErrorOutsideBlock) __builtin_trap();
    if (!SameBits(t, start) || ar.GetPosition() != 0) __builtin_trap();
  }

  CZORTime u = start;
  try {
    Zor::DeserializeFromBytes(u, buf);
  } catch (const Zor::IArchiveException& e) {
    if (e.Code() != Zor::kArchiveErrorOutsideBlock) __builtin_trap();
    if (!SameBits(u, start)) __builtin_trap();
  }

  try {
    CZORTime text(std::string(reinterpret_cast<const char*>(data), size));
    Exercise(text);
  } catch (const std::exception&) {
    // Unreadable text is the parser's exception to report.
  }
  return 0;
}

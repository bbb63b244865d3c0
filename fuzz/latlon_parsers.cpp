// Feeds arbitrary text to every latitude / longitude reader and prints what
// they read with every format, checking the promises the readers make.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/text/latlon_format.h"
#include "core/text/latlon_parse.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void PrintEveryFormat(double degrees, int decimals) {
  std::string out;
  for (int code = -1; code <= kLatLonFormatCount; ++code) {
    FormatLatLon(out, code, degrees, true, code % 2 == 0);
    FormatLatLon(out, code, degrees, false, code % 2 != 0);
  }
  out = FormatDms(degrees, decimals, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int decimals = static_cast<int>(size % 40) - 5;

  double value = 0.0;
  if (ParseLatLonText(text, value)) {
    Check(std::isfinite(value));
    PrintEveryFormat(value, decimals);
  } else {
    Check(value == 0.0);
  }

  for (bool latitude : {true, false}) {
    sDms rec{};
    const bool ok = ParseLatLonToDms(text, rec, latitude);
    const bool letterOk = latitude ? (rec.hemisphere == 'N' || rec.hemisphere == 'S')
                                   : (rec.hemisphere == 'E' || rec.hemisphere == 'W');
    Check(letterOk);
    if (ok && std::fabs(value) < 2e9) {
      Check(rec.minutes >= 0 && rec.minutes < 60);
      Check(rec.seconds >= 0.0f && rec.seconds < 60.0f);
    }
    std::string out;
    FormatDmsRecord(out, static_cast<int>(size % 17) - 1, rec, latitude);
  }

  const double dms = ParseDms(text);
  Check(ParseDmsText(text.c_str()) == dms || std::isnan(dms));
  PrintEveryFormat(dms, decimals);

  double dm = 1234.0;
  if (ParseLatitudeDm(text, dm))
    Check(dm >= -90.0 && dm <= 90.0);
  else
    Check(dm == 1234.0);
  dm = 1234.0;
  if (ParseLongitudeDm(text, dm))
    Check(dm >= -360.0 && dm <= 360.0);
  else
    Check(dm == 1234.0);
  return 0;
}

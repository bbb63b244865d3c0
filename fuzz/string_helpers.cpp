// Text read from files and peers reaches the string helpers: the UTF-8
// decoder, the number readers, the path normaliser. Checks that none of them
// crash or overrun, and that a decoded text encodes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "core/text/string_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const std::wstring wide = Utf8ToWString(text);
    if (WStringToUtf8(wide) != text) std::abort();
    (void)ExtractLastNumber(wide, -1);
    (void)NormalizePath(wide, true);
  } catch (const std::range_error&) {
  }
  (void)ExtractLastNumber(text, -1);
  (void)StringToInt(text, 0);
  (void)StringToInt64(text, 0);
  (void)StringToDouble(text, 0.0);
  (void)NormalizePath(text, size % 2 == 0);
  (void)CompareText(text, "Depth 12", true, true, true);
  std::string edited = text;
  ReplaceAll(edited, "\\", "//");
  return 0;
}

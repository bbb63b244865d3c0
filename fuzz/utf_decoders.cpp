// Feeds arbitrary bytes to every UTF and code page decoder, read as UTF-8,
// as UTF-16 and UTF-32 units and as single-byte text. What a strict decoder
// accepts must encode back to the same input (zero characters aside, which
// the UTF-8 decoders drop); the only exceptions allowed are the two UTF
// errors. Anything else traps.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/text/code_page.h"
#include "core/text/utf.h"
#include "core/text/utf_error.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

template <typename S>
S WithoutZeros(S s) {
  std::erase(s, typename S::value_type{});
  return s;
}

template <typename S>
S Units(const uint8_t* data, size_t size) {
  S s(size / sizeof(typename S::value_type), typename S::value_type{});
  std::memcpy(s.data(), data, s.size() * sizeof(typename S::value_type));
  return s;
}

template <typename F>
void Tolerate(F&& f) {
  try {
    f();
  } catch (const Zor::utf_encoding_error&) {
  } catch (const Zor::unicode_plane_error&) {
  }
}

void Utf8(const std::string& bytes) {
  Tolerate([&] {
    const std::u16string utf16 = Utf8ToUtf16(bytes);
    Check(Utf16ToUtf8(utf16) == WithoutZeros(bytes));
    // Where the strict decoder accepts, the lenient ones read the same.
    const std::u32string utf32 = Utf16ToUtf32(utf16);
    Check(Utf8ToUtf32(bytes) == utf32);
    Check(Utf8ToWide(bytes) == std::wstring(utf32.begin(), utf32.end()));
    Check(Utf8ToLatin1(bytes).size() == utf16.size());
  });
  Tolerate([&] { Utf8ToCp1252(bytes); });
  Tolerate([&] {
    const std::wstring wide = Utf8ToWide(bytes);
    std::wstring expect = wide;
    std::replace_if(expect.begin(), expect.end(), [](wchar_t w) { return w > 0x10FFFF; }, 0xFFFD);
    Check(Utf8ToWide(WideToUtf8(wide)) == expect);
  });
  Tolerate([&] { Utf8ToUtf32(bytes.c_str()); });
}

void Utf16(const std::u16string& units) {
  Tolerate([&] {
    const std::string utf8 = Utf16ToUtf8(units);
    Check(Utf8ToUtf16(utf8) == WithoutZeros(units));
  });
  Tolerate([&] {
    const std::u32string utf32 = Utf16ToUtf32(units);
    Check(Utf32ToUtf16(utf32) == units);
  });
}

void Utf32(const std::u32string& units) {
  Tolerate([&] {
    const std::u16string utf16 = Utf32ToUtf16(units);
    Check(Utf16ToUtf32(utf16) == units);
  });
  Tolerate([&] {
    const std::string utf8 = Utf32ToUtf8(units);
    Check(Utf8ToUtf32(utf8) == WithoutZeros(units));
  });
}

void SingleByte(const std::string& bytes) {
  Check(Utf8ToLatin1(Latin1ToUtf8(bytes)) == WithoutZeros(bytes));
  const std::string utf8 = Cp1252ToUtf8(bytes);
  Check(utf8 == Utf16ToUtf8(Cp1252ToUtf16(bytes)));
  Check(Utf8ToCp1252(utf8) == WithoutZeros(bytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Utf8(bytes);
  Utf16(Units<std::u16string>(data, size));
  Utf32(Units<std::u32string>(data, size));
  SingleByte(bytes);
  return 0;
}

#include "core/text/code_page.h"

#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/text/utf.h"
#include "core/text/utf_error.h"

namespace {

// Windows-1252 assignments of 0x80-0x9F; the unassigned bytes stand for the
// code point of their own value. Every other byte is its own code point.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char16_t Cp1252Unit(uint8_t b) {
  return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t{b};
}

// The UTF-8 form of each byte 0x80-0xFF of a code page: the bytes in the low
// three bytes of an entry, their count in the top byte.
using HighTable = std::array<uint32_t, 128>;

constexpr uint32_t PackUtf8(uint32_t v) {
  if (v < 0x800) return (2u << 24) | (0xC0 | (v >> 6)) | ((0x80 | (v & 0x3F)) << 8);
  return (3u << 24) | (0xE0 | (v >> 12)) | ((0x80 | ((v >> 6) & 0x3F)) << 8) |
         ((0x80 | (v & 0x3F)) << 16);
}

constexpr HighTable MakeTable(bool cp1252) {
  HighTable table{};
  for (unsigned b = 0x80; b < 0x100; ++b) {
    const uint8_t byte = static_cast<uint8_t>(b);
    table[b - 0x80] = PackUtf8(cp1252 ? Cp1252Unit(byte) : char16_t{byte});
  }
  return table;
}

constexpr HighTable kLatin1Utf8 = MakeTable(false);
constexpr HighTable kCp1252Utf8 = MakeTable(true);

uint32_t ExtraBytes(const HighTable& table, uint8_t b) { return (table[b - 0x80] >> 24) - 1; }

std::string SingleByteToUtf8(const std::string& in, const HighTable& table) {
  const uint8_t* const begin = reinterpret_cast<const uint8_t*>(in.data());
  const uint8_t* const end = begin + in.size();

  // The exact length first, so the result carries no slack.
  std::size_t length = in.size();
  const uint8_t* p = begin;
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16) {
    unsigned high = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
    for (; high != 0; high &= high - 1) length += ExtraBytes(table, p[__builtin_ctz(high)]);
  }
#endif
  for (; p != end; ++p) {
    if (*p >= 0x80) length += ExtraBytes(table, *p);
  }

  std::string out(length, '\0');
  char* o = out.data();
  p = begin;
  while (p != end) {
#if defined(__SSE2__)
    // Copy 16 bytes and keep those before the first one above 0x7F. The
    // store stays inside the output: o is ahead of p by the extra bytes
    // written so far, never by more than all of them.
    if (end - p >= 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), bytes);
      const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
      if (high == 0) {
        p += 16;
        o += 16;
        continue;
      }
      const int run = __builtin_ctz(high);
      p += run;
      o += run;
    }
#endif
    const uint8_t b = *p++;
    if (b < 0x80) {
      *o++ = static_cast<char>(b);
      continue;
    }
    const uint32_t e = table[b - 0x80];
    o[0] = static_cast<char>(e);
    o[1] = static_cast<char>(e >> 8);
    if ((e >> 24) == 3) o[2] = static_cast<char>(e >> 16);
    o += e >> 24;
  }
  return out;
}

}  // namespace

std::string Latin1ToUtf8(const std::string& latin1) { return SingleByteToUtf8(latin1, kLatin1Utf8); }

std::string Utf8ToLatin1(const std::string& utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  std::string out;
  out.reserve(units.size());
  for (const char16_t u : units) {
    if (u > 0xFF) throw Zor::utf_encoding_error();
    out.push_back(static_cast<char>(u));
  }
  return out;
}

std::u16string Cp1252ToUtf16(const std::string& cp1252) {
  std::u16string out;
  out.reserve(cp1252.size());
  for (const char c : cp1252) out.push_back(Cp1252Unit(static_cast<uint8_t>(c)));
  return out;
}

std::string Cp1252ToUtf8(const std::string& cp1252) { return SingleByteToUtf8(cp1252, kCp1252Utf8); }

std::string Utf8ToCp1252(const std::string& utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  std::string out;
  out.reserve(units.size());
  for (const char16_t u : units) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    for (int i = 0; i < 32; ++i) {
      if (kCp1252High[i] == u) {
        out.push_back(static_cast<char>(0x80 + i));
        break;
      }
    }
  }
  return out;
}

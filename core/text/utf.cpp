#include "core/text/utf.h"

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/text/utf_error.h"

namespace {

constexpr uint32_t kMaxScalar = 0x10FFFF;
constexpr uint32_t kReplacement = 0xFFFD;

[[noreturn]] void ThrowEncoding() { throw Zor::utf_encoding_error(); }
[[noreturn]] void ThrowPlane() { throw Zor::unicode_plane_error(); }

bool IsSurrogate(uint32_t v) { return v >= 0xD800 && v <= 0xDFFF; }

// Assembles the multi-byte form whose lead byte (0x80 or above) is at p and
// moves p past it; `length` receives the form's length. Only the form is
// checked here, never the value: the callers differ on which values they
// take. The length is checked against the end of the input before any
// continuation byte is read.
inline uint32_t DecodeForm(const uint8_t*& p, const uint8_t* end, int& length) {
  const uint32_t lead = *p;
  int n = 0;
  uint32_t v = 0;
  if (lead < 0xC2) {
    ThrowEncoding();  // a continuation byte, or the overlong-only leads C0/C1
  } else if (lead < 0xE0) {
    n = 2, v = lead & 0x1F;
  } else if (lead < 0xF0) {
    n = 3, v = lead & 0x0F;
  } else if (lead < 0xF8) {
    n = 4, v = lead & 0x07;
  } else if (lead < 0xFC) {
    n = 5, v = lead & 0x03;
  } else if (lead < 0xFE) {
    n = 6, v = lead & 0x01;
  } else {
    ThrowEncoding();
  }
  if (end - p < n) ThrowEncoding();
  for (int i = 1; i < n; ++i) {
    const uint8_t c = p[i];
    if ((c & 0xC0) != 0x80) ThrowEncoding();
    v = (v << 6) | (c & 0x3F);
  }
  p += n;
  length = n;
  return v;
}

// The smallest value of each form length; anything below is overlong.
constexpr uint32_t kFirstOfLength[5] = {0, 0, 0x80, 0x800, 0x10000};

inline uint32_t DecodeStrict(const uint8_t*& p, const uint8_t* end) {
  int n = 0;
  const uint32_t v = DecodeForm(p, end, n);
  // A five- or six-byte form names a value beyond Unicode, overlong or not.
  if (n >= 5 || v > kMaxScalar) ThrowPlane();
  if (v < kFirstOfLength[n]) ThrowEncoding();
  if (IsSurrogate(v)) ThrowEncoding();
  return v;
}

// Encodes a value up to 0x10FFFF (surrogates included) at o; returns the end.
inline char* EncodeUtf8(uint32_t v, char* o) {
  if (v < 0x80) {
    *o++ = static_cast<char>(v);
  } else if (v < 0x800) {
    *o++ = static_cast<char>(0xC0 | (v >> 6));
    *o++ = static_cast<char>(0x80 | (v & 0x3F));
  } else if (v < 0x10000) {
    *o++ = static_cast<char>(0xE0 | (v >> 12));
    *o++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (v & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | (v >> 18));
    *o++ = static_cast<char>(0x80 | ((v >> 12) & 0x3F));
    *o++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (v & 0x3F));
  }
  return o;
}

inline void AppendUtf8(std::string& out, uint32_t v) {
  char buf[4];
  out.append(buf, EncodeUtf8(v, buf));
}

inline void AppendUtf16(std::u16string& out, uint32_t v) {
  if (v < 0x10000) {
    out.push_back(static_cast<char16_t>(v));
    return;
  }
  out.push_back(static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

template <typename String>
String DecodeLenient(const std::string& utf8) {
  using Unit = typename String::value_type;
  String out(utf8.size(), Unit{});  // never more units than bytes
  Unit* o = out.data();
  const uint8_t* p = Bytes(utf8);
  const uint8_t* const end = p + utf8.size();
  while (p != end) {
    uint32_t v = *p;
    if (v < 0x80) {
      ++p;
    } else {
      int n = 0;
      v = DecodeForm(p, end, n);
    }
    if (v != 0) *o++ = static_cast<Unit>(v);
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

// Calls emit(value) for each character; pairs are joined, unpaired
// surrogates throw.
template <typename Emit>
void DecodeUtf16(const std::u16string& utf16, Emit&& emit) {
  const std::size_t n = utf16.size();
  for (std::size_t i = 0; i < n; ++i) {
    uint32_t v = utf16[i];
    if (IsSurrogate(v)) {
      if (v >= 0xDC00 || i + 1 == n) ThrowEncoding();
      const uint32_t low = utf16[i + 1];
      if (low < 0xDC00 || low > 0xDFFF) ThrowEncoding();
      v = 0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    emit(v);
  }
}

}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) { return DecodeLenient<std::wstring>(utf8); }

std::wstring Utf8ToWide(const char* utf8) { return Utf8ToWide(std::string(utf8 ? utf8 : "")); }

std::string WideToUtf8(const std::wstring& wide) {
  std::string out;
  out.reserve(wide.size() + 3);
  for (const wchar_t w : wide) {
    const uint32_t v = static_cast<uint32_t>(w);
    AppendUtf8(out, v <= kMaxScalar ? v : kReplacement);
  }
  return out;
}

std::string WideToUtf8(const wchar_t* wide) { return WideToUtf8(std::wstring(wide ? wide : L"")); }

std::u16string Utf8ToUtf16(const std::string& utf8) {
  // One unit per byte at most: a four-byte form gives two units.
  std::u16string out(utf8.size(), u'\0');
  char16_t* o = out.data();
  const uint8_t* p = Bytes(utf8);
  const uint8_t* const end = p + utf8.size();
  while (p != end) {
#if defined(__SSE2__)
    // Text is mostly ASCII: widen 16 bytes at a time and keep the units up
    // to the first byte that is not 0x01-0x7F. Storing all 16 is safe since
    // o never runs ahead of p in the output.
    if (end - p >= 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(bytes, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(bytes, zero));
      const unsigned stop = static_cast<unsigned>(_mm_movemask_epi8(bytes)) |
                            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
      if (stop == 0) {
        p += 16;
        o += 16;
        continue;
      }
      const int run = __builtin_ctz(stop);
      p += run;
      o += run;
    }
#endif
    const uint32_t b = *p;
    if (b < 0x80) {
      if (b != 0) *o++ = static_cast<char16_t>(b);
      ++p;
      continue;
    }
    const uint32_t v = DecodeStrict(p, end);
    if (v < 0x10000) {
      *o++ = static_cast<char16_t>(v);
    } else {
      *o++ = static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
  std::string out;
  out.reserve(utf16.size() + 3);
  DecodeUtf16(utf16, [&out](uint32_t v) {
    if (v < 0x80) {
      out.push_back(static_cast<char>(v));
    } else {
      AppendUtf8(out, v);
    }
  });
  return out;
}

std::u32string Utf16ToUtf32(const std::u16string& utf16) {
  std::u32string out;
  out.reserve(utf16.size());
  DecodeUtf16(utf16, [&out](uint32_t v) { out.push_back(static_cast<char32_t>(v)); });
  return out;
}

std::u32string Utf8ToUtf32(const std::string& utf8) { return DecodeLenient<std::u32string>(utf8); }

std::u32string Utf8ToUtf32(const char* utf8) { return Utf8ToUtf32(std::string(utf8 ? utf8 : "")); }

std::u16string Utf32ToUtf16(const std::u32string& utf32) {
  std::u16string out;
  out.reserve(utf32.size());
  for (const char32_t c : utf32) {
    const uint32_t v = c;
    if (v > kMaxScalar || IsSurrogate(v)) ThrowPlane();
    AppendUtf16(out, v);
  }
  return out;
}

std::string Utf32ToUtf8(const std::u32string& utf32) {
  std::string out;
  out.reserve(utf32.size() + 3);
  for (const char32_t c : utf32) {
    const uint32_t v = c;
    if (v > kMaxScalar) ThrowPlane();
    AppendUtf8(out, v);
  }
  return out;
}

std::string Utf32ToUtf8(const char32_t* utf32) {
  return Utf32ToUtf8(std::u32string(utf32 ? utf32 : U""));
}

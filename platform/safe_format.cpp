#include "platform/safe_format.h"

#include <cstdint>

namespace zor::platform {
namespace {

class Sink {
 public:
  Sink(char* buffer, std::size_t size) : m_buffer(buffer), m_capacity(size ? size - 1 : 0) {}
  void Put(char c) {
    if (m_length < m_capacity) m_buffer[m_length++] = c;
  }
  void Repeat(char c, int count) {
    for (int i = 0; i < count; ++i) Put(c);
  }
  void Finish(std::size_t size) {
    if (size) m_buffer[m_length] = '\0';
  }
  std::size_t Length() const { return m_length; }

 private:
  char* m_buffer;
  std::size_t m_capacity;
  std::size_t m_length = 0;
};

struct Spec {
  bool left = false;
  bool zero = false;
  int width = 0;
  int precision = -1;  // -1: none given
};

// Writes `digits` (already in order) with sign, precision and width applied
// as printf does for integers.
void EmitNumber(Sink& out, const Spec& spec, bool negative, const char* digits, int count) {
  // A precision of 0 prints nothing for the value 0.
  if (spec.precision == 0 && count == 1 && digits[0] == '0') count = 0;
  const int zeros = spec.precision > count ? spec.precision - count : 0;
  const int body = (negative ? 1 : 0) + zeros + count;
  const int pad = spec.width > body ? spec.width - body : 0;
  // '0' is ignored with '-' or with a precision.
  const bool zeroPad = spec.zero && !spec.left && spec.precision < 0;
  if (!spec.left && !zeroPad) out.Repeat(' ', pad);
  if (negative) out.Put('-');
  if (zeroPad) out.Repeat('0', pad);
  out.Repeat('0', zeros);
  for (int i = 0; i < count; ++i) out.Put(digits[i]);
  if (spec.left) out.Repeat(' ', pad);
}

int ToDigits(uint64_t value, unsigned base, bool upper, char (&digits)[24]) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[24];
  int n = 0;
  do {
    reversed[n++] = set[value % base];
    value /= base;
  } while (value != 0);
  for (int i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
  return n;
}

void EmitText(Sink& out, const Spec& spec, const char* text) {
  if (text == nullptr) text = "(null)";
  int length = 0;
  while (text[length] != '\0' && (spec.precision < 0 || length < spec.precision)) ++length;
  const int pad = spec.width > length ? spec.width - length : 0;
  if (!spec.left) out.Repeat(' ', pad);
  for (int i = 0; i < length; ++i) out.Put(text[i]);
  if (spec.left) out.Repeat(' ', pad);
}

int ReadNumber(const char*& p) {
  int value = 0;
  while (*p >= '0' && *p <= '9') {
    if (value < 100000) value = value * 10 + (*p - '0');
    ++p;
  }
  return value;
}

}  // namespace

std::size_t SafeFormatV(char* buffer, std::size_t size, const char* format,
                        va_list args) noexcept {
  Sink out(buffer, size);
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out.Put(*p);
      continue;
    }
    const char* start = p++;
    Spec spec;
    for (;; ++p) {
      if (*p == '-') spec.left = true;
      else if (*p == '0') spec.zero = true;
      else break;
    }
    if (*p == '*') {
      spec.width = va_arg(args, int);
      if (spec.width < 0) {
        spec.left = true;
        spec.width = spec.width == INT32_MIN ? 0 : -spec.width;
      }
      ++p;
    } else {
      spec.width = ReadNumber(p);
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        spec.precision = va_arg(args, int);
        if (spec.precision < 0) spec.precision = -1;
        ++p;
      } else {
        spec.precision = ReadNumber(p);
      }
    }
    // Length: 0 int, 1 long, 2 long long, -1 short, -2 char.
    int length = 0;
    if (*p == 'h') {
      length = p[1] == 'h' ? -2 : -1;
      p += p[1] == 'h' ? 2 : 1;
    } else if (*p == 'l') {
      length = p[1] == 'l' ? 2 : 1;
      p += p[1] == 'l' ? 2 : 1;
    } else if (*p == 'j' || *p == 'z' || *p == 't') {
      length = 2;  // all 64-bit here
      ++p;
    }
    char digits[24];
    switch (*p) {
      case 'd':
      case 'i': {
        int64_t v = length >= 1 ? (length == 2 ? va_arg(args, long long) : va_arg(args, long))
                                : va_arg(args, int);
        if (length == -1) v = static_cast<short>(v);
        if (length == -2) v = static_cast<signed char>(v);
        const bool negative = v < 0;
        const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        EmitNumber(out, spec, negative, digits, ToDigits(magnitude, 10, false, digits));
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        uint64_t v = length >= 1 ? (length == 2 ? va_arg(args, unsigned long long)
                                                : va_arg(args, unsigned long))
                                 : va_arg(args, unsigned);
        if (length == -1) v = static_cast<unsigned short>(v);
        if (length == -2) v = static_cast<unsigned char>(v);
        const unsigned base = *p == 'u' ? 10 : 16;
        EmitNumber(out, spec, false, digits, ToDigits(v, base, *p == 'X', digits));
        break;
      }
      case 'p': {
        const auto v = reinterpret_cast<uintptr_t>(va_arg(args, void*));
        out.Put('0');
        out.Put('x');
        Spec hex = spec;
        hex.width = spec.width > 2 ? spec.width - 2 : 0;
        EmitNumber(out, hex, false, digits, ToDigits(v, 16, false, digits));
        break;
      }
      case 'c': {
        const char c[2] = {static_cast<char>(va_arg(args, int)), '\0'};
        Spec one = spec;
        one.precision = 1;
        if (c[0] == '\0') {  // a zero character is still one character
          const int pad = spec.width > 1 ? spec.width - 1 : 0;
          if (!spec.left) out.Repeat(' ', pad);
          out.Put('\0');
          if (spec.left) out.Repeat(' ', pad);
        } else {
          EmitText(out, one, c);
        }
        break;
      }
      case 's': EmitText(out, spec, va_arg(args, const char*)); break;
      case '%': out.Put('%'); break;
      default:
        // Not a conversion we know: copy it, and stop at the end of the text.
        for (const char* q = start; q <= p && *q != '\0'; ++q) out.Put(*q);
        if (*p == '\0') --p;
        break;
    }
  }
  out.Finish(size);
  return out.Length();
}

std::size_t SafeFormat(char* buffer, std::size_t size, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  const std::size_t n = SafeFormatV(buffer, size, format, args);
  va_end(args);
  return n;
}

}  // namespace zor::platform

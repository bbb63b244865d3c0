#include "core/text/text_search.h"

#include <algorithm>
#include <climits>
#include <strings.h>

#include "core/text/number_pick.h"

namespace {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

inline int ClampToInt(std::size_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

}  // namespace

int FindNoCase(std::string_view text, std::string_view pattern) {
  const auto it = std::search(text.begin(), text.end(), pattern.begin(), pattern.end(),
                              [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
  if (it == text.end() && !pattern.empty()) return -1;
  return ClampToInt(static_cast<std::size_t>(it - text.begin()));
}

int CountChar(std::string_view text, char c) {
  return ClampToInt(static_cast<std::size_t>(std::count(text.begin(), text.end(), c)));
}

unsigned CountCharStd(const std::string& text, char c) {
  return static_cast<unsigned>(std::count(text.begin(), text.end(), c));
}

int GuessSeparator(char& separator, std::string_view text) {
  const char decimal = GetDecimalSeparator();
  std::size_t counts[128] = {};
  for (char c : text) {
    const signed char s = static_cast<signed char>(c);
    // Bytes of 0x80 and above are negative here and never counted; a zero
    // byte cannot stand in the original's texts.
    if (s <= 0) continue;
    if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == decimal) continue;
    ++counts[s];
  }
  int best = 0;
  for (int code = 1; code < 128; ++code)
    if (counts[code] > counts[best]) best = code;
  if (counts[best] == 0) {
    separator = 0;
    return 0;
  }
  separator = static_cast<char>(best);
  return 1;
}

int CompareNoCase(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    // As signed bytes, the way the original's char arithmetic ordered them.
    const signed char x = static_cast<signed char>(UpperAscii(a[i]));
    const signed char y = static_cast<signed char>(UpperAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareNoCasePtr(const char** a, const char** b) {
  const char* x = a ? *a : nullptr;
  const char* y = b ? *b : nullptr;
  if (!x || !y) return (x != nullptr) - (y != nullptr);
  return strcasecmp(x, y);
}

#include "core/text/text_search.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "core/text/number_pick.h"

namespace {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

inline int ClampToInt(std::size_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

}  // namespace

const ByteFold& ExactBytes() {
  static const ByteFold fold = [] {
    ByteFold f{};
    for (int b = 0; b < 256; ++b) f[static_cast<std::size_t>(b)] = static_cast<unsigned char>(b);
    return f;
  }();
  return fold;
}

std::size_t FindFolded(std::string_view text, std::string_view pattern, const ByteFold& fold,
                       std::size_t from) {
  const std::size_t m = pattern.size();
  if (m == 0) return from <= text.size() ? from : std::string_view::npos;
  if (from > text.size() || text.size() - from < m) return std::string_view::npos;
  const auto at = [&fold](char c) { return fold[static_cast<unsigned char>(c)]; };
  // Knuth-Morris-Pratt: border[j] is the length of the longest proper border
  // of the pattern's first j bytes, so no text byte is looked at twice.
  std::string folded(m, '\0');
  for (std::size_t j = 0; j < m; ++j) folded[j] = static_cast<char>(at(pattern[j]));
  std::vector<std::size_t> border(m + 1, 0);
  for (std::size_t j = 1, k = 0; j < m; ++j) {
    while (k > 0 && folded[j] != folded[k]) k = border[k];
    if (folded[j] == folded[k]) ++k;
    border[j + 1] = k;
  }
  for (std::size_t t = from, k = 0; t < text.size(); ++t) {
    const char c = static_cast<char>(at(text[t]));
    while (k > 0 && c != folded[k]) k = border[k];
    if (c == folded[k]) ++k;
    if (k == m) return t + 1 - m;
  }
  return std::string_view::npos;
}

int FindNoCase(std::string_view text, std::string_view pattern) {
  static const ByteFold lower = [] {
    ByteFold f{};
    for (int b = 0; b < 256; ++b)
      f[static_cast<std::size_t>(b)] = static_cast<unsigned char>(LowerAscii(static_cast<char>(b)));
    return f;
  }();
  const std::size_t at = FindFolded(text, pattern, lower);
  if (at == std::string_view::npos) return -1;
  return ClampToInt(at);
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
    // byte cannot stand in the Windows programs' texts.
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
    // As signed bytes, the way the Windows programs' char arithmetic ordered them.
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

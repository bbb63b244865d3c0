#include "core/text/text_split.h"

#include <algorithm>
#include <functional>

namespace {

inline bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  return s.substr(i);
}

std::string_view Trim(std::string_view s) {
  s = TrimLeft(s);
  std::size_t n = s.size();
  while (n > 0 && IsSpace(s[n - 1])) --n;
  return s.substr(0, n);
}

template <typename IsSep>
std::vector<std::string> SplitAll(const std::string& text, IsSep is_sep) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!is_sep(text[i])) continue;
    out.emplace_back(text, begin, i - begin);
    begin = i + 1;
  }
  out.emplace_back(text, begin);
  return out;
}

// True when `text` lies in the buffer of one of the strings of `parts`, so
// that emptying `parts` would pull the text from under the splitter.
bool PointsInto(std::string_view text, const std::vector<std::string>& parts) {
  if (text.empty()) return false;
  const std::less<const char*> before;
  for (const std::string& s : parts)
    if (!before(text.data(), s.data()) && before(text.data(), s.data() + s.size() + 1))
      return true;
  return false;
}

}  // namespace

int SplitString(std::string_view text, std::vector<std::string>& parts, char separator,
                bool merge) {
  if (PointsInto(text, parts)) return SplitString(std::string(text), parts, separator, merge);
  parts.clear();
  if (text.empty()) return 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  // A plain loop beats memchr on the short fields of received messages.
  for (const char* q = p;; ++q) {
    if (q != end && *q != separator) continue;
    // Without merging a trailing separator leaves an empty last piece.
    if (!merge || q != p) parts.emplace_back(p, static_cast<std::size_t>(q - p));
    if (q == end) break;
    p = q + 1;
  }
  return static_cast<int>(parts.size());
}

int SplitStringAny(std::string_view text, std::vector<std::string>& parts,
                   std::string_view separators, bool keepEmpty, bool trim) {
  // Copies first: the text or the separators may live in `parts`.
  std::string copy(trim ? Trim(text) : text);
  const std::string seps(separators);
  parts.clear();
  if (copy.empty()) return 0;
  if (seps.empty()) {
    parts.push_back(std::move(copy));
    return 1;
  }
  // Every piece is closed by a separator: one more is put at the end, and
  // the closing one at the very end adds nothing after it.
  copy += seps[0];
  // A table, where find_first_of would read the separators again for every
  // character of the text.
  bool isSep[256] = {};
  for (const char c : seps) isSep[static_cast<unsigned char>(c)] = true;
  std::string_view left = copy;
  for (;;) {
    const auto sep = std::find_if(left.begin(), left.end(),
                                  [&isSep](char c) { return isSep[static_cast<unsigned char>(c)]; });
    if (sep == left.end()) break;
    const std::size_t i = static_cast<std::size_t>(sep - left.begin());
    if (i > 0 || keepEmpty) parts.emplace_back(left.substr(0, i));
    if (i + 1 == left.size()) break;
    left.remove_prefix(i + 1);
    if (trim) left = TrimLeft(left);
  }
  return static_cast<int>(parts.size());
}

std::vector<std::string> SplitStdString(const std::string& text, char separator) {
  return SplitAll(text, [separator](char c) { return c == separator; });
}

std::vector<std::string> SplitStdStringAny(const std::string& text,
                                           const std::string& separators) {
  bool is_sep[256] = {};
  for (char c : separators) is_sep[static_cast<unsigned char>(c)] = true;
  return SplitAll(text, [&is_sep](char c) { return is_sep[static_cast<unsigned char>(c)]; });
}

std::string GetField(std::string_view text, int index, char separator) {
  if (index < 0) return {};
  std::size_t begin = 0;
  for (int i = 0; i < index; ++i) {
    const std::size_t at = text.find(separator, begin);
    if (at == std::string_view::npos) return {};
    begin = at + 1;
  }
  const std::size_t end = text.find(separator, begin);
  return std::string(text.substr(begin, end == std::string_view::npos ? end : end - begin));
}

std::string ExtractBetween(std::string_view text, char open, char close) {
  const std::size_t a = text.find(open);
  const std::size_t b = text.find(close);
  if (a == std::string_view::npos || b == std::string_view::npos || b <= a) return {};
  return std::string(text.substr(a + 1, b - a - 1));
}

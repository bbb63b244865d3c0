#include "core/text/text_shape.h"

#include <algorithm>
#include <unordered_set>

#include "platform/string_resources.h"

namespace {

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

}  // namespace

std::string PadText(std::string_view text, int width, bool cut, bool alignRight) {
  const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
  if (!cut && text.size() >= w) return std::string(text);
  if (text.size() >= w)
    return std::string(alignRight ? text.substr(text.size() - w) : text.substr(0, w));
  std::string out;
  out.reserve(w);
  if (alignRight) out.append(w - text.size(), ' ');
  out.append(text);
  if (!alignRight) out.append(w - text.size(), ' ');
  return out;
}

std::string CutAtWord(std::string_view text, int maxLength) {
  if (maxLength < 0) return {};
  const std::size_t max = static_cast<std::size_t>(maxLength);
  std::string_view out = text.substr(0, max + 1);
  while (out.size() > max) {
    const std::size_t space = out.rfind(' ');
    if (space == std::string_view::npos || space == 0) break;
    out = out.substr(0, space);
  }
  return std::string(out.substr(0, max));
}

std::string MakeUniqueName(const std::vector<std::string>& names, bool caseSensitive,
                           const std::string& base) {
  // A set, so that a long run of taken names (base, base1, base2, ...) costs
  // a look-up per candidate and not a walk over every name.
  std::unordered_set<std::string> taken;
  taken.reserve(names.size());
  for (const std::string& n : names) taken.insert(caseSensitive ? n : UpperAscii(n));
  // At most names.size() candidates can be taken, so this ends.
  for (std::size_t i = 0;; ++i) {
    std::string candidate = i == 0 ? base : base + std::to_string(i);
    if (taken.count(caseSensitive ? candidate : UpperAscii(candidate)) == 0) return candidate;
  }
}

std::string AppendInParentheses(std::string_view first, std::string_view second) {
  std::string out(first);
  if (second.empty()) return out;
  out.append(" (").append(second).append(")");
  return out;
}

void CopyToStringArray(const std::vector<std::string>& in, std::vector<std::string>& out) {
  if (&in == &out) return;
  out.assign(in.begin(), in.end());
}

std::string LoadResourceString(unsigned id) { return zor::platform::LoadResourceString(id); }

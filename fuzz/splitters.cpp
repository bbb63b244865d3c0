// Every splitter, number picker and text shaper on arbitrary bytes, checked
// against the invariants they promise (pieces join back to the text, merged
// pieces are never empty, fields agree with the split, ...).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/number_pick.h"
#include "core/text/text_search.h"
#include "core/text/text_shape.h"
#include "core/text/text_split.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

std::string Join(const std::vector<std::string>& parts, char sep) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += sep;
    out += parts[i];
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const char sep = static_cast<char>(data[0]);
  const int number = static_cast<int8_t>(data[1]);  // indexes, widths, decimals
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string separators = text.substr(0, data[1] % 4);

  std::vector<std::string> parts;
  const int n = SplitString(text, parts, sep, false);
  Check(n == static_cast<int>(parts.size()));
  Check(text.empty() ? n == 0 : n == CountChar(text, sep) + 1);
  Check(Join(parts, sep) == text);
  Check(text.empty() || SplitStdString(text, sep) == parts);
  for (int i : {0, 1, number, n - 1, n})
    Check(GetField(text, i, sep) == (i >= 0 && i < n ? parts[static_cast<std::size_t>(i)]
                                                     : std::string()));

  std::vector<std::string> merged;
  const int m = SplitString(text, merged, sep, true);
  Check(m == static_cast<int>(merged.size()) && m <= n);
  for (const std::string& p : merged) Check(!p.empty() && p.find(sep) == std::string::npos);

  for (bool keep : {false, true})
    for (bool trim : {false, true}) {
      const int k = SplitStringAny(text, parts, separators, keep, trim);
      Check(k == static_cast<int>(parts.size()));
      for (const std::string& p : parts) {
        Check(keep || !p.empty());
        Check(p.find_first_of(separators) == std::string::npos || separators.empty());
      }
    }
  const std::vector<std::string> any = SplitStdStringAny(text, separators);
  Check(text.empty() ? any.empty() : !any.empty());

  const std::string between = ExtractBetween(text, sep, static_cast<char>(data[1]));
  Check(between.size() < text.size() || text.empty());

  double value = 12345.0;
  if (ParseFirstNumber(text, value))
    Check(std::isfinite(value) && value != kNoNumberValue);
  else
    Check(value == 12345.0);
  for (const std::string& p : merged) ParseFirstNumber(p, value);

  IsNumber(text);
  IsInteger(text);
  std::string trimmed = text;
  TrimTrailingZeros(trimmed, number);
  Check(text.compare(0, trimmed.size(), trimmed) == 0);
  std::string rounded = text;
  RoundNumberText(rounded, number);

  Check(static_cast<int>(PadText(text, number, true, sep & 1).size()) == std::max(number, 0));
  Check(CutAtWord(text, number).size() <= static_cast<std::size_t>(std::max(number, 0)));

  const int at = FindNoCase(text, separators);
  Check(at >= -1 && at <= static_cast<int>(text.size()));
  char guess = 'x';
  Check(GuessSeparator(guess, text) == (guess != 0 ? 1 : 0));
  const std::string other = text.substr(text.size() / 2);
  Check(CompareNoCase(text, other) == -CompareNoCase(other, text));
  return 0;
}

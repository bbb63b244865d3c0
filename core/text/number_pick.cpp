#include "core/text/number_pick.h"

#include <langinfo.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "core/text/string_helpers.h"
#include "platform/locale.h"

namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The runtime's decimal point, as localeconv() would give it, read without
// localeconv's shared result buffer so that threads may call this freely.
char RuntimeDecimalPoint() {
  const char* radix = nl_langinfo(RADIXCHAR);
  return (radix && radix[0]) ? radix[0] : '.';
}

// atof of a run of digits and decimal points (optionally after a '-'),
// without depending on the locale. Out-of-range runs fall back to strtod so
// that overflow gives infinity and underflow gives the nearest tiny value.
double RunToDouble(std::string_view run) {
  double v = 0.0;
  const auto r = std::from_chars(run.data(), run.data() + run.size(), v);
  if (r.ec == std::errc()) return v;
  if (r.ec == std::errc::result_out_of_range) {
    const std::string copy(run);
    return std::strtod(copy.c_str(), nullptr);
  }
  return 0.0;  // a run without digits, e.g. "-." (not produced by the caller)
}

}  // namespace

bool ParseFirstNumber(std::string_view text, double& value) {
  const std::size_t n = text.size();
  if (n == 1) {
    if (!IsDigit(text[0])) return false;
    value = text[0] - '0';
    return true;
  }
  std::size_t digit = 0;
  while (digit < n && !IsDigit(text[digit])) ++digit;
  if (digit >= n) return false;

  const char point = RuntimeDecimalPoint();
  std::size_t start = digit;
  if (start > 0 && text[start - 1] == point) --start;
  if (start > 0 && text[start - 1] == '-') --start;
  std::size_t end = digit + 1;
  while (end < n && (IsDigit(text[end]) || text[end] == point)) ++end;

  std::string_view run = text.substr(start, end - start);
  double v;
  if (point == '.') {
    v = RunToDouble(run);
  } else {
    // from_chars knows only '.'; the run holds no '.' of its own here.
    std::string copy(run);
    for (char& c : copy)
      if (c == point) c = '.';
    v = RunToDouble(copy);
  }
  if (!std::isfinite(v) || v == kNoNumberValue) return false;
  value = v;
  return true;
}

bool IsNumber(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return false;
  const char point = RuntimeDecimalPoint();
  bool seen_point = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) continue;
    if (c == point) {
      if (seen_point) return false;
      seen_point = true;
    } else if (c == '+' || c == '-') {
      if (i != 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

bool IsInteger(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return false;
  for (char c : text)
    if (!IsDigit(c) && c != '-' && c != '+') return false;
  return true;
}

int HexTextToInt(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const uint32_t digit = IsDigit(c) ? static_cast<uint32_t>(c - '0')
                                      : static_cast<uint32_t>(c - '7') & 0xFFu;
    value = value * 16u + digit;
  }
  return static_cast<int>(value);
}

void TrimTrailingZeros(std::string& number, int minDecimals) {
  std::size_t sep = number.rfind(GetDecimalSeparator());
  if (sep == std::string::npos) sep = number.rfind('.');
  if (sep == std::string::npos) return;
  // "1.0e10" must not lose its exponent's zeros.
  if (number.find_first_of("eE", sep + 1) != std::string::npos) return;
  const std::size_t keep =
      sep + 1 + (minDecimals > 0 ? static_cast<std::size_t>(minDecimals) : 0);
  std::size_t end = number.size();
  while (end > keep && number[end - 1] == '0') --end;
  if (end == sep + 1) end = sep;
  number.resize(end);
}

void RoundNumberText(std::string& number, const int& decimals) {
  if (decimals < 0 || number.find('.') == std::string::npos || !IsNumber(number)) return;
  const double v = std::strtod(number.c_str(), nullptr);
  // Beyond the digits a double has printf only adds zeros, and near INT_MAX
  // it fails and would leave an empty text.
  const int places = std::min(decimals, kMaxDoubleDecimals);
  const int len = std::snprintf(nullptr, 0, "%.*f", places, v);
  if (len < 0) return;
  std::string out(static_cast<std::size_t>(len), '\0');
  std::snprintf(out.data(), out.size() + 1, "%.*f", places, v);
  number = std::move(out);
}

std::string ToBinaryText(unsigned value) {
  if (value == 0) return "0";
  std::string out;
  for (int bit = 31; bit >= 0; --bit) {
    const bool one = (value >> bit) & 1u;
    if (one || !out.empty()) out += one ? '1' : '0';
  }
  return out;
}

char GetDecimalSeparator() {
  const std::string& sep = zor::platform::GetUserLocale().decimalSeparator;
  return sep.empty() ? '.' : sep[0];
}

#include "core/text/string_helpers.h"

#include <string.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iomanip>
#include <locale>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/trim.hpp>

#include "core/text/text_search.h"

// ---- Number to text -------------------------------------------------------

template <typename CharT>
std::basic_string<CharT> ToFixedString(double value, int precision) {
  std::basic_stringstream<CharT> out;
  out << std::fixed << std::setprecision(std::min(precision, kMaxDoubleDecimals)) << value;
  return out.str();
}

template <typename CharT>
std::basic_string<CharT> ToFixedString(float value, int precision) {
  return ToFixedString<CharT>(static_cast<double>(value), precision);
}

template <typename CharT>
std::basic_string<CharT> ToString(int value) {
  std::basic_stringstream<CharT> out;
  out << value;
  return out.str();
}

template <typename CharT>
std::basic_string<CharT> ToString(long long value) {
  std::basic_stringstream<CharT> out;
  out << value;
  return out.str();
}

template <typename CharT>
std::basic_string<CharT> ToString(long value) {
  return ToString<CharT>(static_cast<long long>(value));
}

template std::string ToFixedString<char>(double, int);
template std::wstring ToFixedString<wchar_t>(double, int);
template std::string ToFixedString<char>(float, int);
template std::wstring ToFixedString<wchar_t>(float, int);
template std::string ToString<char>(int);
template std::wstring ToString<wchar_t>(int);
template std::string ToString<char>(long long);
template std::wstring ToString<wchar_t>(long long);
template std::string ToString<char>(long);
template std::wstring ToString<wchar_t>(long);

// ---- Text to number -------------------------------------------------------
// The strto* family is what std::stoi and its kin call; using it directly
// gives the same answers (same white space, sign and range rules) without an
// exception per failed conversion.

namespace {

// Calls parse(begin, &end) with errno cleared; false when no character was
// consumed or the value is out of range. errno is left as the caller had it.
template <typename CharT, typename Parse>
bool ParseNumber(const CharT* begin, Parse parse) {
  const int savedErrno = errno;
  errno = 0;
  CharT* end = nullptr;
  parse(begin, &end);
  const bool ok = end != begin && errno != ERANGE;
  errno = savedErrno;
  return ok;
}

long ParseLong(const char* s, char** end) { return std::strtol(s, end, 10); }
long ParseLong(const wchar_t* s, wchar_t** end) { return std::wcstol(s, end, 10); }
long long ParseLongLong(const char* s, char** end) { return std::strtoll(s, end, 10); }
long long ParseLongLong(const wchar_t* s, wchar_t** end) { return std::wcstoll(s, end, 10); }
double ParseDouble(const char* s, char** end) { return std::strtod(s, end); }
double ParseDouble(const wchar_t* s, wchar_t** end) { return std::wcstod(s, end); }

template <typename CharT>
int ToInt(const std::basic_string<CharT>& text, int fallback) {
  long value = 0;
  if (!ParseNumber(text.c_str(), [&](const CharT* s, CharT** e) { value = ParseLong(s, e); }))
    return fallback;
  if (value < INT_MIN || value > INT_MAX) return fallback;
  return static_cast<int>(value);
}

template <typename CharT>
long long ToInt64(const std::basic_string<CharT>& text, long long fallback) {
  long long value = 0;
  if (!ParseNumber(text.c_str(), [&](const CharT* s, CharT** e) { value = ParseLongLong(s, e); }))
    return fallback;
  return value;
}

template <typename CharT>
double ToDouble(const std::basic_string<CharT>& text, double fallback) {
  double value = 0.0;
  if (!ParseNumber(text.c_str(), [&](const CharT* s, CharT** e) { value = ParseDouble(s, e); }))
    return fallback;
  return value;
}

// Scans back to the last run of ASCII digits and reads it forward. A
// backtracking pattern match would recurse once per character and overflow
// the stack on long texts; this is one pass.
template <typename CharT>
int LastNumber(const std::basic_string<CharT>& text, int fallback) {
  auto isDigit = [](CharT c) { return c >= CharT('0') && c <= CharT('9'); };
  size_t end = text.size();
  while (end > 0 && !isDigit(text[end - 1])) --end;
  if (end == 0) return fallback;
  size_t begin = end - 1;
  while (begin > 0 && isDigit(text[begin - 1])) --begin;
  long long value = 0;
  for (size_t i = begin; i < end; ++i) {
    value = value * 10 + (text[i] - CharT('0'));
    if (value > INT_MAX) return fallback;
  }
  return static_cast<int>(value);
}

}  // namespace

int StringToInt(const std::string& text, int fallback) { return ToInt(text, fallback); }
int StringToInt(const std::wstring& text, int fallback) { return ToInt(text, fallback); }
int32_t StringToInt32(const std::string& text, int32_t fallback) { return ToInt(text, fallback); }
int32_t StringToInt32(const std::wstring& text, int32_t fallback) { return ToInt(text, fallback); }
long long StringToInt64(const std::string& text, long long fallback) {
  return ToInt64(text, fallback);
}
long long StringToInt64(const std::wstring& text, long long fallback) {
  return ToInt64(text, fallback);
}
double StringToDouble(const std::string& text, double fallback) { return ToDouble(text, fallback); }
double StringToDouble(const std::wstring& text, double fallback) {
  return ToDouble(text, fallback);
}
int ExtractLastNumber(const std::string& text, int fallback) { return LastNumber(text, fallback); }
int ExtractLastNumber(const std::wstring& text, int fallback) {
  return LastNumber(text, fallback);
}

// ---- Formatting -----------------------------------------------------------

namespace {

// Formats into a wide memory stream, which grows as it is written. glibc's
// vswprintf reports a buffer that is too small with the same -1 as a format
// error, so a fixed buffer cannot tell the two apart; the stream's count is
// exact and -1 only for a real error. `out` may be null to count only.
int FormatWide(const wchar_t* format, va_list args, std::wstring* out) {
  wchar_t* buffer = nullptr;
  size_t size = 0;
  FILE* stream = open_wmemstream(&buffer, &size);
  if (stream == nullptr) throw std::bad_alloc();
  std::unique_ptr<wchar_t, decltype(&std::free)> owned(nullptr, &std::free);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vfwprintf(stream, format, copy);
  va_end(copy);
  const int closed = std::fclose(stream);  // publishes buffer and size
  owned.reset(buffer);
  if (n < 0 || closed != 0) return -1;
  if (out != nullptr) out->assign(buffer, std::min(size, static_cast<size_t>(n)));
  return n;
}

}  // namespace

int FormattedLength(const char* format, va_list args) {
  if (format == nullptr) return -1;
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  return n < 0 ? -1 : n;
}

int FormattedLength(const wchar_t* format, va_list args) {
  if (format == nullptr) return -1;
  return FormatWide(format, args, nullptr);
}

std::string FormatStringV(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  // Most texts (log lines, messages) fit a small stack buffer, which saves
  // the separate counting pass.
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string text(static_cast<size_t>(n) + 1, '\0');
  va_copy(copy, args);
  const int written = std::vsnprintf(text.data(), text.size(), format, copy);
  va_end(copy);
  if (written != n) return std::string();
  text.resize(static_cast<size_t>(n));
  return text;
}

std::string FormatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatStringV(format, args);
  va_end(args);
  return text;
}

std::wstring FormatStringV(const wchar_t* format, va_list args) {
  std::wstring text;
  if (format == nullptr) return text;
  if (FormatWide(format, args, &text) <= 0) text.clear();
  return text;
}

std::wstring FormatString(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = FormatStringV(format, args);
  va_end(args);
  return text;
}

// ---- Comparison and search ------------------------------------------------

bool EqualsText(const std::string& a, const std::string& b, bool ignoreCase) {
  if (ignoreCase) return boost::algorithm::iequals(a, b, std::locale());
  return boost::algorithm::equals(a, b);
}

bool CompareText(const std::string& a, const std::string& b, bool ignoreCase,
                 bool ignoreWhiteSpace, bool ignorePunctuation) {
  std::string x = a;
  std::string y = b;
  if (ignoreWhiteSpace) {
    std::erase_if(x, IsSpaceChar);
    std::erase_if(y, IsSpaceChar);
  }
  if (ignorePunctuation) {
    std::erase_if(x, IsPunctChar);
    std::erase_if(y, IsPunctChar);
  }
  return EqualsText(x, y, ignoreCase);
}

bool ContainsText(const std::string& text, const std::string& part, bool ignoreCase) {
  if (!ignoreCase) return FindFolded(text, part, ExactBytes()) != std::string::npos;
  // Upper case by the global locale's ctype, byte by byte, as a case-blind
  // compare of the two texts would fold them; then a linear search, where a
  // compare restarted at every position would cost text times part.
  const std::locale locale;
  const auto& ctype = std::use_facet<std::ctype<char>>(locale);
  ByteFold upper{};
  for (int b = 0; b < 256; ++b)
    upper[static_cast<std::size_t>(b)] = static_cast<unsigned char>(ctype.toupper(static_cast<char>(b)));
  return FindFolded(text, part, upper) != std::string::npos;
}

bool ContainsWords(const std::string& text, const std::vector<std::string>& words,
                   bool requireAll, bool ignoreCase) {
  auto contained = [&](const std::string& word) { return ContainsText(text, word, ignoreCase); };
  if (requireAll) return std::all_of(words.begin(), words.end(), contained);
  return std::any_of(words.begin(), words.end(), contained);
}

bool StartsWithText(const std::string& text, const std::string& prefix, bool ignoreCase) {
  if (ignoreCase) return boost::algorithm::istarts_with(text, prefix, std::locale());
  return boost::algorithm::starts_with(text, prefix);
}

bool StartsWithAny(const std::string& text, const std::vector<std::string>& prefixes,
                   bool ignoreCase) {
  return std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& prefix) {
    return StartsWithText(text, prefix, ignoreCase);
  });
}

namespace {

// The ctype facet of the global locale as it was on the first call; the
// locale object is kept alive with it until the process ends.
const std::ctype<char>& FirstCallCtype(const std::locale& keep) {
  return std::use_facet<std::ctype<char>>(keep);
}

}  // namespace

bool IsSpaceChar(char c) {
  static const std::locale locale;
  static const std::ctype<char>& ctype = FirstCallCtype(locale);
  return ctype.is(std::ctype_base::space, c);
}

bool IsPunctChar(char c) {
  static const std::locale locale;
  static const std::ctype<char>& ctype = FirstCallCtype(locale);
  return ctype.is(std::ctype_base::punct, c);
}

// ---- Editing --------------------------------------------------------------

namespace {

// Each occurrence of `what` in `text`, left to right, the next one sought
// after the end of the one before; `onMatch(position)` for each. A search
// restarted from every position (std::string::find) costs the text's length
// times `what`'s on a long run of one letter; these look at each character a
// bounded number of times. Narrow text: glibc's memmem (linear, two-way for
// a long `what`, no memory).
template <typename OnMatch>
void EachOccurrence(const std::string& text, const std::string& what, OnMatch onMatch) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* from = begin;
  while (static_cast<size_t>(end - from) >= what.size()) {
    const void* hit = ::memmem(from, static_cast<size_t>(end - from), what.data(), what.size());
    if (hit == nullptr) return;
    const char* at = static_cast<const char*>(hit);
    onMatch(static_cast<size_t>(at - begin));
    from = at + what.size();
  }
}

// Wide text: Knuth-Morris-Pratt, border[j] being the longest proper border of
// what's first j characters.
template <typename OnMatch>
void EachOccurrence(const std::wstring& text, const std::wstring& what, OnMatch onMatch) {
  const size_t m = what.size();
  std::vector<size_t> border(m + 1, 0);
  for (size_t j = 1, k = 0; j < m; ++j) {
    while (k > 0 && what[j] != what[k]) k = border[k];
    if (what[j] == what[k]) ++k;
    border[j + 1] = k;
  }
  for (size_t t = 0, k = 0; t < text.size(); ++t) {
    while (k > 0 && text[t] != what[k]) k = border[k];
    if (text[t] == what[k]) ++k;
    if (k == m) {
      onMatch(t + 1 - m);
      k = 0;  // replaced text is not searched again
    }
  }
}

// One pass into a new string: the same result as replacing in place and
// continuing after each replacement, without moving the tail each time. The
// text is left as it was when memory runs out.
template <typename CharT>
void ReplaceEvery(std::basic_string<CharT>& text, const std::basic_string<CharT>& what,
                  const std::basic_string<CharT>& with) {
  if (what.empty() || text.size() < what.size()) return;
  std::basic_string<CharT> result;
  bool any = false;
  size_t from = 0;
  EachOccurrence(text, what, [&](size_t found) {
    if (!any) result.reserve(text.size());
    any = true;
    result.append(text, from, found - from);
    result += with;
    from = found + what.size();
  });
  if (!any) return;
  result.append(text, from, std::basic_string<CharT>::npos);
  text.swap(result);
}

template <typename CharT>
std::basic_string<CharT> Normalize(const std::basic_string<CharT>& path, bool trailingSeparator) {
  std::basic_string<CharT> result = boost::algorithm::trim_right_copy(path, std::locale());
  if (result.empty()) return result;
  std::replace(result.begin(), result.end(), CharT('\\'), CharT('/'));
  if (trailingSeparator) {
    if (result.back() != CharT('/')) result.push_back(CharT('/'));
  } else if (result.back() == CharT('/')) {
    result.pop_back();
  }
  return result;
}

}  // namespace

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  ReplaceEvery(text, what, with);
}

void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with) {
  ReplaceEvery(text, what, with);
}

std::string NormalizePath(const std::string& path, bool trailingSeparator) {
  return Normalize(path, trailingSeparator);
}

std::wstring NormalizePath(const std::wstring& path, bool trailingSeparator) {
  return Normalize(path, trailingSeparator);
}

// ---- UTF-8 ----------------------------------------------------------------
// Written out rather than through std::wstring_convert and codecvt_utf8, which
// are deprecated (and warnings are errors). The rules are the facet's for a
// 32-bit wchar_t with maximum code 0x10FFFF and no mode flags: surrogate units
// pass through as three-byte sequences, overlong forms and codes above the
// maximum are rejected. One deliberate difference from this platform's
// facet: a sequence cut off at the end of the text is an error here, where
// the facet silently dropped it (lost text reported as success).

namespace {

[[noreturn]] void BadConversion() { throw std::range_error("bad conversion"); }

constexpr char32_t kMaxCode = 0x10FFFF;

}  // namespace

std::string WStringToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t unit : text) {
    const auto c = static_cast<char32_t>(unit);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c <= kMaxCode) {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      BadConversion();
    }
  }
  return out;
}

std::wstring Utf8ToWString(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  const size_t size = text.size();
  auto byteAt = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  for (size_t i = 0; i < size;) {
    const unsigned char lead = byteAt(i);
    if (lead < 0x80) {
      out.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t code = 0;
    unsigned char low = 0x80;   // range of the second byte, which rules out
    unsigned char high = 0xBF;  // overlong forms and codes above the maximum
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      BadConversion();
    }
    if (size - i < length) BadConversion();
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = byteAt(i + k);
      if (k == 1 ? (next < low || next > high) : (next & 0xC0) != 0x80) BadConversion();
      code = (code << 6) | (next & 0x3F);
    }
    out.push_back(static_cast<wchar_t>(code));
    i += length;
  }
  return out;
}

// Free helpers over std::string and std::wstring: numbers to text and back with
// a fallback, printf-style formatting into a string, comparisons with an
// ignore-case switch, search and replace, a path normaliser and UTF-8 <-> wide.
//
//   std::string line = FormatString("%s - code: \"%d\"", text.c_str(), code);
//   int port = StringToInt(field, 0);               // "42abc" -> 42, "abc" -> 0
//   int rev = ExtractLastNumber("rev 2 build 10", -1);          // 10
//   std::string s = ToFixedString(2.0, 3);          // "2.000"
//   std::wstring w = ToFixedString<wchar_t>(2.0, 3);  // L"2.000"
//   if (ContainsText(name, "grid", /*ignoreCase=*/true)) ...
//   std::string dir = NormalizePath("C:\\Data\\Grids ", true);  // "C:/Data/Grids/"
//
// Text-to-number helpers never throw: any failure gives the caller's fallback,
// so a failure cannot be told from a text that holds the fallback value.
// Formatting never throws for a bad or null format: it gives an empty string.
// Case-insensitive and classifying calls use the global locale of the moment
// (the program runs in the "C" locale). Wide text is one wchar_t (32 bits
// here) per character; wide formats take %ls for wide string arguments.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

// ---- Number to text -------------------------------------------------------
// CharT is char (the default, giving std::string) or wchar_t (std::wstring).

// The most digits after the point that the exact value of a double can have
// (that of 2^-1074); any further digit is a 0.
inline constexpr int kMaxDoubleDecimals = 1074;

// Fixed notation with `precision` digits after the point: (2.0, 3) -> "2.000",
// (1.0 / 3, 0) -> "0". A precision above kMaxDoubleDecimals prints that many:
// the stream would build the whole text on the stack.
template <typename CharT = char>
std::basic_string<CharT> ToFixedString(double value, int precision);
// Widened to double, then as above.
template <typename CharT = char>
std::basic_string<CharT> ToFixedString(float value, int precision);

// Plain decimal.
template <typename CharT = char>
std::basic_string<CharT> ToString(int value);
template <typename CharT = char>
std::basic_string<CharT> ToString(long long value);
// int64_t is `long` on this platform; forwards to the long long form so that
// int64_t arguments are not ambiguous.
template <typename CharT = char>
std::basic_string<CharT> ToString(long value);

// ---- Text to number -------------------------------------------------------
// Base 10; leading white space and a sign are accepted, characters after the
// number are ignored. No number at the start, or a value outside the type's
// range, gives the fallback.

int StringToInt(const std::string& text, int fallback);
int StringToInt(const std::wstring& text, int fallback);
// Same behaviour as StringToInt, kept for callers that ask for 32 bits by name.
int32_t StringToInt32(const std::string& text, int32_t fallback);
int32_t StringToInt32(const std::wstring& text, int32_t fallback);
long long StringToInt64(const std::string& text, long long fallback);
long long StringToInt64(const std::wstring& text, long long fallback);
// "1e400" and "" give the fallback.
double StringToDouble(const std::string& text, double fallback);
double StringToDouble(const std::wstring& text, double fallback);

// The last maximal run of decimal digits in the text as an int. Signs and
// points are not part of the run: "depth -12.5 m" -> 5, "a12b34c" -> 34. No
// digit, or a run too large for an int, gives the fallback. Linear in the
// length of the text.
int ExtractLastNumber(const std::string& text, int fallback);
int ExtractLastNumber(const std::wstring& text, int fallback);

// ---- Formatting -----------------------------------------------------------

// printf-style formatting into a string. A null format, a format error or an
// empty result give "".
std::string FormatString(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
// Copies `args` first, so the caller's list stays usable.
std::string FormatStringV(const char* format, va_list args)
    __attribute__((format(printf, 1, 0)));
// The wide twins (the compiler cannot check wide formats).
std::wstring FormatString(const wchar_t* format, ...);
std::wstring FormatStringV(const wchar_t* format, va_list args);

// Number of characters the formatting would produce (without the terminating
// zero); -1 for a bad or null format. Copies `args` first.
int FormattedLength(const char* format, va_list args)
    __attribute__((format(printf, 1, 0)));
int FormattedLength(const wchar_t* format, va_list args);

// ---- Comparison and search (narrow only) ----------------------------------
// ignoreCase compares character by character after converting each to upper
// case with the global locale's ctype facet.

bool EqualsText(const std::string& a, const std::string& b, bool ignoreCase);
// EqualsText after removing, wherever they stand, every IsSpaceChar character
// (ignoreWhiteSpace) and then every IsPunctChar character (ignorePunctuation)
// from copies of both texts: ("Depth 12", "depth12", true, true, false) is true.
bool CompareText(const std::string& a, const std::string& b, bool ignoreCase,
                 bool ignoreWhiteSpace, bool ignorePunctuation);
// An empty part gives true.
bool ContainsText(const std::string& text, const std::string& part, bool ignoreCase);
// requireAll: every word is contained (an empty list gives true); otherwise at
// least one is (an empty list gives false). Stops at the first deciding word.
bool ContainsWords(const std::string& text, const std::vector<std::string>& words,
                   bool requireAll, bool ignoreCase);
// An empty prefix gives true.
bool StartsWithText(const std::string& text, const std::string& prefix, bool ignoreCase);
// Some prefix of the list starts the text; an empty list gives false.
bool StartsWithAny(const std::string& text, const std::vector<std::string>& prefixes,
                   bool ignoreCase);

// Classify one byte (taken as unsigned) with the ctype table of the global
// locale as it was on the function's first call: the `space` and `punct` masks.
bool IsSpaceChar(char c);
bool IsPunctChar(char c);

// ---- Editing --------------------------------------------------------------

// Replaces every occurrence of `what`, left to right, in place; replaced text
// is never searched again ("aaa", "a" -> "aa" gives "aaaaaa"). An empty `what`
// leaves the text unchanged.
void ReplaceAll(std::string& text, const std::string& what, const std::string& with);
void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with);

// Drops trailing white space, turns every '\' into '/', then appends one '/'
// (trailingSeparator) or removes one trailing '/' (otherwise). A path that is
// empty after trimming gives "".
std::string NormalizePath(const std::string& path, bool trailingSeparator);
std::wstring NormalizePath(const std::wstring& path, bool trailingSeparator);

// ---- UTF-8 ----------------------------------------------------------------
// Each wchar_t unit up to 0x10FFFF is encoded as one UTF-8 sequence (a lone
// surrogate unit too, as three bytes); no byte-order mark is written or
// consumed (a leading U+FEFF is a character). Input that cannot be converted
// (a unit above 0x10FFFF or negative; malformed, overlong or truncated UTF-8)
// throws std::range_error("bad conversion").
std::string WStringToUtf8(const std::wstring& text);
std::wstring Utf8ToWString(const std::string& text);

// Case-insensitive search and comparison, character counts and a guess at a
// text's field separator.
//
//   int at = FindNoCase("Hello World", "WORLD");          // 6
//   int n = CountChar("a,b,c", ',');                      // 2
//   char sep = 0;
//   if (GuessSeparator(sep, "1.5;2.5;3")) { ... }         // sep == ';'
//   std::sort(v.begin(), v.end(), [](auto& a, auto& b) { return CompareNoCase(a, b) < 0; });
//
// Case folding is that of the "C" locale: only ASCII letters change.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// Index of the first occurrence of `pattern` in `text` ignoring case, -1 when
// absent; an empty pattern is found at 0.
int FindNoCase(std::string_view text, std::string_view pattern);

// Byte classes for FindFolded: each byte stands for fold[byte].
using ByteFold = std::array<unsigned char, 256>;
// The identity: every byte stands for itself.
const ByteFold& ExactBytes();

// The first position at or after `from` where `pattern` occurs in `text`, the
// bytes of both compared through `fold`; npos when absent, `from` for an
// empty pattern. Linear in both lengths, whatever they hold (a long run of
// one letter included).
std::size_t FindFolded(std::string_view text, std::string_view pattern, const ByteFold& fold,
                       std::size_t from = 0);

// Occurrences of `c` in the text.
int CountChar(std::string_view text, char c);
unsigned CountCharStd(const std::string& text, char c);

// The most frequent character of the text once digits, '-', '+' and the user
// decimal separator are removed (the lowest code wins a tie; bytes of 0x80 and
// above are not counted). Returns 1 and sets `separator`; returns 0 and sets it
// to 0 when no counted character remains.
int GuessSeparator(char& separator, std::string_view text);

// Compares after upper-casing each character: -1, 0 or 1; a text that is a
// prefix of the other is less. Characters compare as signed bytes.
int CompareNoCase(const std::string& a, const std::string& b);
// qsort-style comparator of two C strings ignoring case (<0, 0, >0). A null
// pointer sorts before any text.
int CompareNoCasePtr(const char** a, const char** b);

// Padding, cutting, unique names and other small text shaping.
//
//   std::string s = PadText("ab", 5, true, true);             // "   ab"
//   std::string t = CutAtWord("hello world foo", 11);          // "hello world"
//   std::string n = MakeUniqueName({"Run", "RUN1"}, false, "run");  // "run2"
//   std::string l = AppendInParentheses("Depth", "m");         // "Depth (m)"
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Without `cut`, a text at least `width` long is returned unchanged.
// Otherwise the text padded with spaces and cut to exactly `width` (0 when
// negative): with `alignRight` spaces go in front and the rightmost characters
// are kept, else spaces go behind and the leftmost are kept.
std::string PadText(std::string_view text, int width, bool cut, bool alignRight);

// Cuts the text to at most `maxLength` characters, preferring to cut at the
// last space of the first maxLength + 1 characters.
std::string CutAtWord(std::string_view text, int maxLength);

// The first of base, base1, base2, ... not in `names`; without `caseSensitive`
// the comparison ignores case.
std::string MakeUniqueName(const std::vector<std::string>& names, bool caseSensitive,
                           const std::string& base);

// "first (second)", or first alone when second is empty.
std::string AppendInParentheses(std::string_view first, std::string_view second);

// The program's string resource `id`; empty when there is none.
std::string LoadResourceString(unsigned id);

// Replaces `out` by a copy of `in`.
void CopyToStringArray(const std::vector<std::string>& in, std::vector<std::string>& out);

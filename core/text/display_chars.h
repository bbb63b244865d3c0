// The special characters of the suite's texts (degree sign, plus-minus,
// umlauts, ...) as the system language can show them.
//
//   std::string deg = GetSpecialChar(kSpecialCharDegree);   // "\xB0" or "deg"
//   std::string text = "12.5" + deg;
//
// Languages whose code page is Windows-1252 get the single 8-bit character;
// every other language an ASCII stand-in ("deg", "+/-", "ue", ...). The
// process-wide table is chosen once, from the locale's language at the first
// call, and kept until exit; a later change of locale does not alter it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

inline constexpr int kSpecialCharBrokenBar = 0;
inline constexpr int kSpecialCharCopyright = 1;
inline constexpr int kSpecialCharRegistered = 2;
inline constexpr int kSpecialCharDegree = 3;
inline constexpr int kSpecialCharPlusMinus = 4;
inline constexpr int kSpecialCharSharpS = 5;
inline constexpr int kSpecialCharUpperUUmlaut = 6;
inline constexpr int kSpecialCharLowerUUmlaut = 7;
inline constexpr int kSpecialCharUpperOUmlaut = 8;
inline constexpr int kSpecialCharLowerOUmlaut = 9;
inline constexpr int kSpecialCharSuperscriptTwo = 10;
inline constexpr int kSpecialCharCount = 11;

// The eleven texts for a language id; only its low 8 bits (the primary
// language) count.
std::array<std::string, kSpecialCharCount> SpecialCharsForLanguage(uint16_t languageId);

// The process's table entry; empty for an index outside 0..10.
std::string GetSpecialChar(int index);

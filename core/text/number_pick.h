// Picking numbers out of text fields and tidying number texts.
//
//   double v = 0;
//   if (ParseFirstNumber("x=-12.5m", v)) { ... }     // v == -12.5
//   bool ok = IsNumber(" -1.5 ");                    // true
//   std::string s = "12.500";
//   TrimTrailingZeros(s, 0);                         // "12.5"
//   int h = HexTextToInt("1f");                      // 31
//
// ParseFirstNumber and IsNumber use the runtime's decimal point ('.' in the
// "C" locale the program runs in); GetDecimalSeparator, TrimTrailingZeros and
// GuessSeparator use the user's decimal separator from platform/locale.h.
#pragma once

#include <string>
#include <string_view>

// The "no value" marker of numbers: the lowest single-precision value.
inline constexpr double kNoNumberValue = -3.4028234663852886e38;

// Finds the first number in the text: it starts at the first digit, taking a
// decimal point directly before that digit and a '-' directly before the
// number; it runs through the following digits and decimal points. Returns
// false, with `value` untouched, when there is no digit, the number is not
// finite or it equals kNoNumberValue.
bool ParseFirstNumber(std::string_view text, double& value);

// True when the text, trimmed of white space, is non-empty and made only of
// digits, at most one decimal point, and at most one '+' and one '-', each
// only as the first character. A lone sign or point passes.
bool IsNumber(std::string_view text);

// True when the trimmed text is non-empty and made only of digits, '-' and
// '+' (wherever the signs stand).
bool IsInteger(std::string_view text);

// Folds every character into value * 16 + digit, '0'..'9' and 'A'..'F' in
// either case; other characters are not rejected (they add (c - '7') & 0xFF).
// Wraps in 32 bits; an empty text gives 0.
int HexTextToInt(std::string_view text);

// Drops trailing '0's after the last decimal separator (the user's, else '.'),
// and the separator when no digit is left; keeps at least `minDecimals`
// characters after it. Texts without a separator or with an exponent after
// it are left alone.
void TrimTrailingZeros(std::string& number, int minDecimals);

// Rewrites a number text holding '.' with `decimals` decimals ("%.*f"), at
// most kMaxDoubleDecimals (no double has more); does nothing when IsNumber
// fails or decimals is negative.
void RoundNumberText(std::string& number, const int& decimals);

// The binary digits of the value, most significant first, without leading
// zeros ("0" for 0).
std::string ToBinaryText(unsigned value);

// The first character of the user's decimal separator, '.' when it is empty.
char GetDecimalSeparator();

// The two exceptions with which the strict UTF conversions report bad input.
//
//   try {
//     std::u16string text = Utf8ToUtf16(bytes);
//   } catch (const Zor::unicode_plane_error&) {
//     // a well-formed sequence whose value is beyond U+10FFFF
//   } catch (const Zor::utf_encoding_error&) {
//     // a malformed sequence: bad lead or continuation byte, truncation, ...
//   }
//
// Both derive from std::runtime_error and carry fixed messages, so a caller
// that only logs what() needs no special case.
#pragma once

#include <stdexcept>

namespace Zor {

// A malformed sequence in the input. what(): "invalid UTF encoding".
class utf_encoding_error : public std::runtime_error {
 public:
  utf_encoding_error();
};

// A value that cannot be a Unicode scalar value for the target form.
// what(): "character value is outside the Unicode plane".
class unicode_plane_error : public std::runtime_error {
 public:
  unicode_plane_error();
};

}  // namespace Zor

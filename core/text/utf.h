// Conversions between UTF-8 (std::string), UTF-16 (std::u16string), UTF-32
// (std::u32string) and wide text (std::wstring, one wchar_t per character).
//
//   std::u16string u16 = Utf8ToUtf16("Depth \xC2\xB0");     // strict
//   std::string back = Utf16ToUtf8(u16);                     // strict
//   std::string log_line = WideToUtf8(L"Ship\u00E9");        // never fails
//
// Strict conversions throw Zor::utf_encoding_error (malformed input) or
// Zor::unicode_plane_error (a value beyond U+10FFFF, or a surrogate value
// where the target form cannot hold one) at the first offending input; no
// partial output is returned.
//
// Every UTF-8 decoder here reads bytes as unsigned and throws
// Zor::utf_encoding_error for a lead byte 0x80-0xC1, 0xFE or 0xFF, for a
// sequence cut short by the end of the input and for a continuation byte
// that is not of the form 10xxxxxx. A decoded zero (a zero byte) produces no
// output unit: zero characters are dropped.
//
// The strict UTF-8 decoder (Utf8ToUtf16) also rejects overlong two- to
// four-byte forms and encoded surrogates (Zor::utf_encoding_error) and values
// above U+10FFFF, including every five- and six-byte form, overlong or not
// (Zor::unicode_plane_error). The lenient decoders (Utf8ToWide, Utf8ToUtf32)
// accept overlong three- and four-byte forms, encoded surrogates, and the
// five- and six-byte forms, and store the assembled value (up to 31 bits) as
// it is.
#pragma once

#include <string>

// Lenient: one wchar_t per decoded value, no range checked.
std::wstring Utf8ToWide(const std::string& utf8);
std::wstring Utf8ToWide(const char* utf8);  // nullptr reads as ""

// Lenient: each wchar_t is encoded on its own, so surrogate values become
// three-byte forms. A value above 0x10FFFF (or negative) is written as
// U+FFFD. Never throws an encoding exception.
std::string WideToUtf8(const std::wstring& wide);
std::string WideToUtf8(const wchar_t* wide);  // nullptr reads as ""

// Strict. A value above 0xFFFF becomes a surrogate pair.
std::u16string Utf8ToUtf16(const std::string& utf8);

// Strict: a high surrogate must be followed by a low one, and a low one must
// follow a high one; otherwise Zor::utf_encoding_error. Zero units are kept.
std::string Utf16ToUtf8(const std::u16string& utf16);
std::u32string Utf16ToUtf32(const std::u16string& utf16);

// Lenient, like Utf8ToWide.
std::u32string Utf8ToUtf32(const std::string& utf8);
std::u32string Utf8ToUtf32(const char* utf8);  // nullptr reads as ""

// Zor::unicode_plane_error for a value above 0x10FFFF or in 0xD800-0xDFFF.
std::u16string Utf32ToUtf16(const std::u32string& utf32);

// Zor::unicode_plane_error for a value above 0x10FFFF; surrogate values are
// encoded like any other value.
std::string Utf32ToUtf8(const std::u32string& utf32);
std::string Utf32ToUtf8(const char32_t* utf32);  // nullptr reads as ""

// Conversions between the single-byte code pages ISO 8859-1 (Latin-1) and
// Windows-1252 and Unicode text.
//
//   std::string utf8 = Cp1252ToUtf8("Depth 12\xB0");   // "Depth 12\xC2\xB0"
//   std::string bytes = Utf8ToCp1252("\xE2\x82\xAC"); // "\x80"
//
// The decoding direction never fails. The encoding direction first decodes
// its UTF-8 input like Utf8ToUtf16 (core/text/utf.h) and so throws what that
// throws, zero characters dropped.
//
// Windows-1252 leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D unassigned; here they
// stand for the C1 control characters of the same value, both ways, so every
// byte survives a round trip.
#pragma once

#include <string>

// 0x80-0xFF become U+0080-U+00FF.
std::string Latin1ToUtf8(const std::string& latin1);

// Zor::utf_encoding_error for a character above U+00FF.
std::string Utf8ToLatin1(const std::string& utf8);

std::u16string Cp1252ToUtf16(const std::string& cp1252);
std::string Cp1252ToUtf8(const std::string& cp1252);

// A character that Windows-1252 cannot hold is dropped without error
// (characters above U+FFFF included).
std::string Utf8ToCp1252(const std::string& utf8);

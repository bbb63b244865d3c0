#include "core/text/code_page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "core/text/utf.h"
#include "core/text/utf_error.h"
#include "tests/core/text/iconv_reference.h"

namespace {

bool IsUnassignedInCp1252(int b) {
  return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

TEST(Latin1, EveryByteMatchesIconvAndRoundTrips) {
  IconvReference reference("UTF-8", "ISO-8859-1");
  std::string all;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Latin1ToUtf8(byte), reference(byte)) << b;
    if (b != 0) all.push_back(static_cast<char>(b));  // a zero is dropped on the way back
  }
  EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);
}

// Utf8ToLatin1 takes U+0000-U+00FF and refuses the rest, as iconv does.
TEST(Latin1, EncoderRefusesWhatLatin1CannotHold) {
  IconvReference reference("ISO-8859-1", "UTF-8");
  for (uint32_t v = 1; v < 0x10000; ++v) {
    if (v >= 0xD800 && v <= 0xDFFF) continue;
    const std::string utf8 = Utf32ToUtf8(std::u32string(1, static_cast<char32_t>(v)));
    const std::optional<std::string> expected = reference(utf8);
    if (expected) {
      ASSERT_EQ(Utf8ToLatin1(utf8), *expected) << v;
    } else {
      ASSERT_THROW(Utf8ToLatin1(utf8), Zor::utf_encoding_error) << v;
    }
  }
  EXPECT_THROW(Utf8ToLatin1("\xF0\x9F\x98\x80"), Zor::utf_encoding_error);
  EXPECT_THROW(Utf8ToLatin1("\xC3"), Zor::utf_encoding_error);
  EXPECT_THROW(Utf8ToLatin1("\xF4\x90\x80\x80"), Zor::unicode_plane_error);
}

// iconv refuses the five bytes Windows-1252 leaves unassigned; here they
// read as the C1 controls of the same value so that no byte of a file is
// lost, and they come back as the same byte.
TEST(Cp1252, EveryByteMatchesIconvAndRoundTrips) {
  IconvReference reference("UTF-8", "WINDOWS-1252");
  std::string all;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string ours = Cp1252ToUtf8(byte);
    EXPECT_EQ(ours, Utf16ToUtf8(Cp1252ToUtf16(byte))) << b;
    if (IsUnassignedInCp1252(b)) {
      EXPECT_FALSE(reference(byte).has_value()) << b;
      EXPECT_EQ(Cp1252ToUtf16(byte), std::u16string(1, static_cast<char16_t>(b))) << b;
    } else {
      EXPECT_EQ(ours, reference(byte)) << b;
    }
    if (b != 0) all.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

// Characters without a Windows-1252 byte vanish without error; the rest
// agree with iconv.
TEST(Cp1252, EncoderDropsWhatCp1252CannotHold) {
  IconvReference reference("WINDOWS-1252", "UTF-8");
  for (uint32_t v = 1; v < 0x10000; ++v) {
    if (v >= 0xD800 && v <= 0xDFFF) continue;
    const std::string utf8 = Utf32ToUtf8(std::u32string(1, static_cast<char32_t>(v)));
    const std::string ours = Utf8ToCp1252(utf8);
    if (IsUnassignedInCp1252(static_cast<int>(v))) {
      ASSERT_EQ(ours, std::string(1, static_cast<char>(v))) << v;
    } else {
      ASSERT_EQ(ours, reference(utf8).value_or("")) << v;
    }
  }
  EXPECT_EQ(Utf8ToCp1252("a\xF0\x9F\x98\x80" "b"), "ab");
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\x80"), "");
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC"), "\x80");
  EXPECT_THROW(Utf8ToCp1252("\xED\xA0\x80"), Zor::utf_encoding_error);
  EXPECT_THROW(Utf8ToCp1252("\xF4\x90\x80\x80"), Zor::unicode_plane_error);
}

// Long texts cross the 16-byte blocks of the fast path at every offset; the
// result must equal the byte-by-byte conversion checked above.
TEST(SingleByteToUtf8, LongTextsEqualByteByByte) {
  std::mt19937 rng(99);
  for (int high_percent : {0, 3, 30, 100}) {
    std::string text;
    for (int i = 0; i < 3000; ++i) {
      const bool high = static_cast<int>(rng() % 100) < high_percent;
      text.push_back(static_cast<char>(high ? 0x80 + rng() % 128 : rng() % 128));
    }
    std::string cp1252;
    std::string latin1;
    for (char c : text) {
      cp1252 += Cp1252ToUtf8(std::string(1, c));
      latin1 += Latin1ToUtf8(std::string(1, c));
    }
    EXPECT_EQ(Cp1252ToUtf8(text), cp1252) << high_percent;
    EXPECT_EQ(Latin1ToUtf8(text), latin1) << high_percent;
  }
}

}  // namespace

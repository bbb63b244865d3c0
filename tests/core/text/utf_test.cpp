#include "core/text/utf.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/text/utf_error.h"
#include "tests/core/text/iconv_reference.h"

namespace {

// Compares long strings without printing megabytes: reports the first
// differing position instead.
template <typename S>
::testing::AssertionResult Same(const S& actual, const S& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  auto at = [i](const S& s) {
    return i < s.size() ? std::to_string(static_cast<uint32_t>(s[i])) : std::string("end");
  };
  return ::testing::AssertionFailure() << "sizes " << actual.size() << " / " << expected.size()
                                       << ", first difference at " << i << ": " << at(actual)
                                       << " instead of " << at(expected);
}

enum class Outcome { kAccepted, kEncodingError, kPlaneError };

template <typename F>
Outcome OutcomeOf(F&& f) {
  try {
    f();
  } catch (const Zor::unicode_plane_error&) {
    return Outcome::kPlaneError;
  } catch (const Zor::utf_encoding_error&) {
    return Outcome::kEncodingError;
  }
  return Outcome::kAccepted;
}

std::string Remove(std::string s, char c) {
  std::erase(s, c);
  return s;
}

TEST(UtfErrors, AreRuntimeErrorsWithFixedMessages) {
  const std::runtime_error& e = Zor::utf_encoding_error();
  EXPECT_STREQ(e.what(), "invalid UTF encoding");
  const std::runtime_error& p = Zor::unicode_plane_error();
  EXPECT_STREQ(p.what(), "character value is outside the Unicode plane");
}

// Every scalar value (zero aside: decoders drop it) through every encoder
// and decoder, with iconv as the reference for the encoded bytes.
TEST(UtfRoundTrip, EveryScalarValueThroughEveryForm) {
  std::u32string all;
  for (char32_t v = 1; v <= 0x10FFFF; ++v) {
    if (v < 0xD800 || v > 0xDFFF) all.push_back(v);
  }
  const std::string utf8 = Utf32ToUtf8(all);
  IconvReference utf8_of_utf32("UTF-8", "UTF-32LE");
  IconvReference utf16_of_utf8("UTF-16LE", "UTF-8");
  EXPECT_TRUE(Same(utf8, utf8_of_utf32(LittleEndianBytes(all)).value_or("")));

  const std::u16string utf16 = Utf8ToUtf16(utf8);
  EXPECT_TRUE(Same(LittleEndianBytes(utf16), utf16_of_utf8(utf8).value_or("")));
  EXPECT_TRUE(Same(Utf32ToUtf16(all), utf16));
  EXPECT_TRUE(Same(Utf16ToUtf8(utf16), utf8));
  EXPECT_TRUE(Same(Utf16ToUtf32(utf16), all));
  EXPECT_TRUE(Same(Utf8ToUtf32(utf8), all));

  const std::wstring wide(all.begin(), all.end());
  EXPECT_TRUE(Same(Utf8ToWide(utf8), wide));
  EXPECT_TRUE(Same(WideToUtf8(wide), utf8));
}

// Long mixed texts cross the 16-byte blocks of the ASCII fast path at every
// offset; iconv checks the result.
TEST(UtfRoundTrip, MixedTextsMatchIconv) {
  IconvReference utf16_of_utf8("UTF-16LE", "UTF-8");
  std::mt19937 rng(1234);
  const char32_t samples[] = {0xB0, 0xE9, 0x3A9, 0x20AC, 0x4E2D, 0xFFFD, 0x1F600, 0x10FFFF};
  for (int ascii_percent : {0, 50, 90, 99}) {
    std::u32string text;
    for (int i = 0; i < 5000; ++i) {
      text.push_back(static_cast<int>(rng() % 100) < ascii_percent ? U'a' + rng() % 26
                                                                    : samples[rng() % 8]);
    }
    const std::string utf8 = Utf32ToUtf8(text);
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    EXPECT_TRUE(Same(LittleEndianBytes(utf16), utf16_of_utf8(utf8).value_or(""))) << ascii_percent;
    EXPECT_TRUE(Same(Utf16ToUtf8(utf16), utf8)) << ascii_percent;
  }
}

// A stop byte at any place of a long ASCII run must end the fast path there.
TEST(Utf8Decoders, StopBytesInsideAsciiRuns) {
  for (std::size_t pos = 0; pos < 40; ++pos) {
    std::string text(40, 'a');
    text[pos] = '\0';
    EXPECT_EQ(Utf8ToUtf16(text), std::u16string(39, u'a')) << pos;
    EXPECT_EQ(Utf8ToUtf32(text), std::u32string(39, U'a')) << pos;
    text[pos] = '\x80';
    EXPECT_EQ(OutcomeOf([&] { Utf8ToUtf16(text); }), Outcome::kEncodingError) << pos;
    text.replace(pos, 1, "\xC2\xB0");
    std::u16string expect(40, u'a');
    expect[pos] = 0xB0;
    EXPECT_EQ(Utf8ToUtf16(text), expect) << pos;
  }
}

TEST(Utf8Decoders, DropZeroCharactersButUtf16And32SourcesKeepThem) {
  const std::string with_zeros("a\0b\0", 4);
  EXPECT_EQ(Utf8ToUtf16(with_zeros), u"ab");
  EXPECT_EQ(Utf8ToUtf32(with_zeros), U"ab");
  EXPECT_EQ(Utf8ToWide(with_zeros), L"ab");
  // An overlong zero decodes to zero in the lenient decoders and is dropped too.
  EXPECT_EQ(Utf8ToUtf32("a\xE0\x80\x80" "b"), U"ab");

  const std::string zero(1, '\0');
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0)), zero);
  EXPECT_EQ(Utf16ToUtf32(std::u16string(1, 0)), std::u32string(1, 0));
  EXPECT_EQ(Utf32ToUtf8(std::u32string(1, 0)), zero);
  EXPECT_EQ(WideToUtf8(std::wstring(1, 0)), zero);
}

struct BadUtf8 {
  const char* what;
  std::string bytes;
  Outcome strict;
  std::optional<std::u32string> lenient;  // nullopt: utf_encoding_error
};

// Every class of bad UTF-8: the strict decoder throws the right type; the
// lenient ones throw only for a bad lead or continuation byte and otherwise
// keep the value as it is.
TEST(Utf8Decoders, BadInputByClass) {
  using O = Outcome;
  const std::vector<BadUtf8> cases = {
      {"truncated 2", "\xC3", O::kEncodingError, {}},
      {"truncated 3", "a\xE2\x82", O::kEncodingError, {}},
      {"truncated 4", "\xF0\x9F\x98", O::kEncodingError, {}},
      {"truncated 5", "\xF8\x88\x80\x80", O::kEncodingError, {}},
      {"truncated 6", "\xFC\x84\x80\x80\x80", O::kEncodingError, {}},
      {"cut by ascii", "\xE2\x82" "a", O::kEncodingError, {}},
      {"bad continuation", "\xF0\x9F\x98\xC0", O::kEncodingError, {}},
      {"lone continuation", "\x80", O::kEncodingError, {}},
      {"lone continuation after ascii", "a\xBF" "a", O::kEncodingError, {}},
      {"extra continuation", "\xC3\xA9\xA9", O::kEncodingError, {}},
      {"lead C0", "\xC0\x80", O::kEncodingError, {}},
      {"lead C1", "\xC1\xBF", O::kEncodingError, {}},
      {"lead FE", "\xFE\x80", O::kEncodingError, {}},
      {"lead FF", "\xFF", O::kEncodingError, {}},
      {"overlong 3 (A)", "\xE0\x81\x81", O::kEncodingError, U"A"},
      {"overlong 3 (7FF)", "\xE0\x9F\xBF", O::kEncodingError, U"\u07FF"},
      {"overlong 4 (A)", "\xF0\x80\x81\x81", O::kEncodingError, U"A"},
      {"overlong 4 (FFFF)", "\xF0\x8F\xBF\xBF", O::kEncodingError, U"\uFFFF"},
      {"overlong 4 (D800)", "\xF0\x8D\xA0\x80", O::kEncodingError, std::u32string(1, 0xD800)},
      // Five- and six-byte forms are beyond Unicode, overlong or not.
      {"overlong 5", "\xF8\x87\xBF\xBF\xBF", O::kPlaneError, std::u32string(1, 0x1FFFFF)},
      {"overlong 5 (A)", "\xF8\x80\x80\x81\x81", O::kPlaneError, U"A"},
      {"overlong 6", "\xFC\x83\xBF\xBF\xBF\xBF", O::kPlaneError, std::u32string(1, 0x3FFFFFF)},
      {"surrogate D800", "\xED\xA0\x80", O::kEncodingError, std::u32string(1, 0xD800)},
      {"surrogate DFFF", "\xED\xBF\xBF", O::kEncodingError, std::u32string(1, 0xDFFF)},
      {"encoded pair", "\xED\xA0\xBD\xED\xB8\x80", O::kEncodingError, std::u32string{0xD83D, 0xDE00}},
      {"110000", "\xF4\x90\x80\x80", O::kPlaneError, std::u32string(1, 0x110000)},
      {"1FFFFF", "\xF7\xBF\xBF\xBF", O::kPlaneError, std::u32string(1, 0x1FFFFF)},
      {"5-byte form", "\xF8\x88\x80\x80\x80", O::kPlaneError, std::u32string(1, 0x200000)},
      {"6-byte form", "\xFD\xBF\xBF\xBF\xBF\xBF", O::kPlaneError, std::u32string(1, 0x7FFFFFFF)},
      // The first offending sequence decides.
      {"surrogate then 110000", "\xED\xA0\x80\xF4\x90\x80\x80", O::kEncodingError,
       std::u32string{0xD800, 0x110000}},
      {"110000 then surrogate", "\xF4\x90\x80\x80\xED\xA0\x80", O::kPlaneError,
       std::u32string{0x110000, 0xD800}},
  };
  for (const BadUtf8& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(OutcomeOf([&] { Utf8ToUtf16(c.bytes); }), c.strict);
    if (!c.lenient) {
      EXPECT_EQ(OutcomeOf([&] { Utf8ToUtf32(c.bytes); }), Outcome::kEncodingError);
      EXPECT_EQ(OutcomeOf([&] { Utf8ToWide(c.bytes); }), Outcome::kEncodingError);
      continue;
    }
    EXPECT_EQ(Utf8ToUtf32(c.bytes), *c.lenient);
    EXPECT_EQ(Utf8ToWide(c.bytes), std::wstring(c.lenient->begin(), c.lenient->end()));
  }
}

// The strict decoder accepts exactly what iconv accepts, on every one- and
// two-byte input and on three- and four-byte inputs over every lead and the
// interesting continuation values; what it accepts equals iconv's result,
// and the lenient decoders agree with it there.
TEST(Utf8Decoders, StrictAcceptsExactlyWhatIconvAccepts) {
  IconvReference utf16_of_utf8("UTF-16LE", "UTF-8");
  const int tails[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xF4, 0xFF};
  std::vector<std::string> inputs;
  for (int a = 0; a < 256; ++a) {
    inputs.push_back(std::string(1, static_cast<char>(a)));
    for (int b = 0; b < 256; ++b) {
      inputs.push_back({static_cast<char>(a), static_cast<char>(b)});
      if (a < 0xE0) continue;
      for (int c : tails) {
        inputs.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        if (a < 0xF0 || (b != 0x80 && b != 0x8F && b != 0x90 && b != 0xBF)) continue;
        for (int d : tails) {
          inputs.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                            static_cast<char>(d)});
        }
      }
    }
  }
  int accepted = 0;
  for (const std::string& in : inputs) {
    const std::optional<std::string> reference = utf16_of_utf8(in);
    std::u16string ours;
    const Outcome outcome = OutcomeOf([&] { ours = Utf8ToUtf16(in); });
    ASSERT_EQ(outcome == Outcome::kAccepted, reference.has_value())
        << ::testing::PrintToString(in);
    if (!reference) continue;
    ++accepted;
    // Zero bytes are dropped: compare with iconv's result on the rest.
    ASSERT_EQ(LittleEndianBytes(ours), utf16_of_utf8(Remove(in, '\0')))
        << ::testing::PrintToString(in);
    ASSERT_EQ(Utf8ToUtf32(in), Utf16ToUtf32(ours)) << ::testing::PrintToString(in);
  }
  EXPECT_GT(accepted, 20000);
}

TEST(Utf8Decoders, SupplementaryCharacterIsAPairOrOneWideUnit) {
  const std::string grin = "\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf8ToUtf16(grin), (std::u16string{0xD83D, 0xDE00}));
  // wchar_t holds 32 bits here: the lenient pair keeps the whole value.
  EXPECT_EQ(Utf8ToWide(grin), std::wstring(1, 0x1F600));
  EXPECT_EQ(WideToUtf8(Utf8ToWide(grin)), grin);
}

TEST(Utf8Decoders, PointerOverloadsForward) {
  EXPECT_EQ(Utf8ToWide("a\xC3\xA9"), L"a\u00E9");
  EXPECT_EQ(Utf8ToUtf32("a\xC3\xA9"), U"a\u00E9");
  EXPECT_EQ(WideToUtf8(L"a\u00E9"), "a\xC3\xA9");
  EXPECT_EQ(Utf32ToUtf8(U"a\u00E9"), "a\xC3\xA9");
  EXPECT_EQ(Utf8ToWide(static_cast<const char*>(nullptr)), L"");
  EXPECT_EQ(Utf8ToUtf32(static_cast<const char*>(nullptr)), U"");
  EXPECT_EQ(WideToUtf8(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(Utf32ToUtf8(static_cast<const char32_t*>(nullptr)), "");
  EXPECT_EQ(OutcomeOf([] { Utf8ToUtf32("\xE2\x82"); }), Outcome::kEncodingError);
}

TEST(Utf16Decoders, RejectUnpairedSurrogates) {
  const std::vector<std::u16string> bad = {
      {0xD800},         {0xDBFF},         {0x41, 0xD800},   {0xD800, 0x41},
      {0xD800, 0xD800}, {0xDC00},         {0xDFFF},         {0x41, 0xDC00},
      {0xDC00, 0xD800}, {0xDC00, 0xDC00}, {0xD83D, 0xDE00, 0xDE00, 0x41},
  };
  for (const std::u16string& units : bad) {
    SCOPED_TRACE(::testing::PrintToString(units));
    EXPECT_EQ(OutcomeOf([&] { Utf16ToUtf8(units); }), Outcome::kEncodingError);
    EXPECT_EQ(OutcomeOf([&] { Utf16ToUtf32(units); }), Outcome::kEncodingError);
  }
  EXPECT_EQ(Utf16ToUtf32(u"\xDBFF\xDFFF"), std::u32string(1, 0x10FFFF));
}

TEST(Utf32Encoders, RejectValuesOutsideTheirForm) {
  for (char32_t v : {char32_t{0x110000}, char32_t{0x7FFFFFFF}, char32_t{0xFFFFFFFF}}) {
    EXPECT_EQ(OutcomeOf([&] { Utf32ToUtf8(std::u32string(1, v)); }), Outcome::kPlaneError) << static_cast<uint32_t>(v);
    EXPECT_EQ(OutcomeOf([&] { Utf32ToUtf16(std::u32string{U'a', v}); }), Outcome::kPlaneError) << static_cast<uint32_t>(v);
  }
  for (char32_t v : {char32_t{0xD800}, char32_t{0xDFFF}}) {
    EXPECT_EQ(OutcomeOf([&] { Utf32ToUtf16(std::u32string(1, v)); }), Outcome::kPlaneError) << static_cast<uint32_t>(v);
  }
  // UTF-8 output takes surrogate values like any other value.
  EXPECT_EQ(Utf32ToUtf8(std::u32string(1, 0xD800)), "\xED\xA0\x80");
}

// The lenient pair never fails: surrogates travel as three-byte forms and
// come back; what no UTF-8 form can hold becomes U+FFFD.
TEST(WideToUtf8, EncodesEveryUnitOnItsOwn) {
  EXPECT_EQ(WideToUtf8(std::wstring(1, 0xD800)), "\xED\xA0\x80");
  std::wstring surrogates;
  for (wchar_t w = 0xD800; w <= 0xDFFF; ++w) surrogates.push_back(w);
  EXPECT_EQ(Utf8ToWide(WideToUtf8(surrogates)), surrogates);
  EXPECT_EQ(WideToUtf8(std::wstring{0x110000, -1, L'a'}), "\xEF\xBF\xBD\xEF\xBF\xBD" "a");
}

}  // namespace

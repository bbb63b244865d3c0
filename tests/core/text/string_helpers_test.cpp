#include "core/text/string_helpers.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <stdexcept>

#include <gtest/gtest.h>

#include "tests/support/cpu_timer.h"
#include "tests/support/failing_allocation.h"

namespace {

// printf of the value with the given decimals, as the reference text.
std::string Printed(double value, int decimals) {
  std::string out(static_cast<std::size_t>(std::snprintf(nullptr, 0, "%.*f", decimals, value)), '\0');
  std::snprintf(out.data(), out.size() + 1, "%.*f", decimals, value);
  return out;
}

// A huge precision used to build the whole text on the stack and overflow
// it. Every digit a double has is still printed: the smallest subnormal's
// last digit is the 1074th.
TEST(StringHelpersNumberText, HugePrecisionKeepsEveryDigitOfTheDouble) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  for (int precision : {1074, 1075, 10000000, INT_MAX}) {
    EXPECT_EQ(ToFixedString(1e308, precision), Printed(1e308, 1074)) << precision;
    EXPECT_EQ(ToFixedString(-1e308, precision), Printed(-1e308, 1074)) << precision;
    const std::string t = ToFixedString(tiny, precision);
    EXPECT_EQ(t, Printed(tiny, 1074)) << precision;
    EXPECT_EQ(t.back(), '5');
    EXPECT_EQ(ToFixedString(std::numeric_limits<float>::max(), precision),
              Printed(std::numeric_limits<float>::max(), 1074));
    EXPECT_EQ(ToFixedString<wchar_t>(1.5, precision).size(), 2u + 1074u);
  }
  EXPECT_EQ(ToFixedString(0.1, 60), Printed(0.1, 60));  // ordinary precisions are untouched
}

TEST(StringHelpersNumberText, FixedAndPlain) {
  EXPECT_EQ(ToFixedString(2.0, 3), "2.000");
  EXPECT_EQ(ToFixedString(1.0 / 3.0, 0), "0");
  // The float is widened first, so its binary error shows.
  EXPECT_EQ(ToFixedString(0.1f, 10), "0.1000000015");
  EXPECT_EQ(ToFixedString<wchar_t>(2.0, 3), L"2.000");
  EXPECT_EQ(ToString(INT_MIN), "-2147483648");
  EXPECT_EQ(ToString(LLONG_MAX), "9223372036854775807");
  EXPECT_EQ(ToString(int64_t{-5}), "-5");
  EXPECT_EQ(ToString<wchar_t>(42), L"42");
  EXPECT_EQ(ToString<wchar_t>(-7LL), L"-7");
}

TEST(StringHelpersTextNumber, IntFallsBackOnAnyFailure) {
  EXPECT_EQ(StringToInt("42abc", 7), 42);
  EXPECT_EQ(StringToInt("abc", 7), 7);
  EXPECT_EQ(StringToInt("", 7), 7);
  EXPECT_EQ(StringToInt("99999999999", 7), 7);  // fits a long here, not an int
  EXPECT_EQ(StringToInt("  -3", 7), -3);
  EXPECT_EQ(StringToInt("+5", 7), 5);
  EXPECT_EQ(StringToInt("2147483647", 7), INT_MAX);
  EXPECT_EQ(StringToInt("-2147483648", 7), INT_MIN);
  EXPECT_EQ(StringToInt("2147483648", 7), 7);
  EXPECT_EQ(StringToInt("0x1F", 7), 0);  // base 10: reads the 0
  EXPECT_EQ(StringToInt32("12", -1), 12);
  EXPECT_EQ(StringToInt32("-", -1), -1);
  EXPECT_EQ(StringToInt(L"  -3x", 7), -3);
  EXPECT_EQ(StringToInt(L"99999999999", 7), 7);
  EXPECT_EQ(StringToInt32(L"x", 9), 9);
}

TEST(StringHelpersTextNumber, Int64AndDouble) {
  EXPECT_EQ(StringToInt64("9223372036854775807", 1), LLONG_MAX);
  EXPECT_EQ(StringToInt64("9223372036854775808", 1), 1);
  EXPECT_EQ(StringToInt64(L"-12 m", 1), -12);
  EXPECT_EQ(StringToDouble("1e400", -1.0), -1.0);
  EXPECT_EQ(StringToDouble("-1e400", -1.0), -1.0);
  EXPECT_EQ(StringToDouble("", -1.0), -1.0);
  EXPECT_EQ(StringToDouble(" 2.5deg", -1.0), 2.5);
  EXPECT_EQ(StringToDouble(L"1e400", 3.0), 3.0);
  EXPECT_EQ(StringToDouble(L"-0.125", 3.0), -0.125);
}

TEST(StringHelpersTextNumber, CallerErrnoSurvives) {
  errno = EINTR;
  EXPECT_EQ(StringToInt("99999999999", 0), 0);
  EXPECT_EQ(errno, EINTR);
}

TEST(StringHelpersExtractLastNumber, LastRunOfDigits) {
  EXPECT_EQ(ExtractLastNumber("a12b34c", -1), 34);
  EXPECT_EQ(ExtractLastNumber("depth -12.5 m", -1), 5);
  EXPECT_EQ(ExtractLastNumber("rev 2 build 10", -1), 10);
  EXPECT_EQ(ExtractLastNumber("no digits", -1), -1);
  EXPECT_EQ(ExtractLastNumber("", -1), -1);
  EXPECT_EQ(ExtractLastNumber("7", -1), 7);
  EXPECT_EQ(ExtractLastNumber("id 2147483647", -1), INT_MAX);
  EXPECT_EQ(ExtractLastNumber("id 2147483648", -1), -1);
  EXPECT_EQ(ExtractLastNumber("id 99999999999999999999999", -1), -1);
  EXPECT_EQ(ExtractLastNumber(L"a12b34c", -1), 34);
  EXPECT_EQ(ExtractLastNumber(L"none", -1), -1);
}

TEST(StringHelpersExtractLastNumber, MegabyteTextIsFast) {
  std::string text;
  for (int i = 0; text.size() < (1u << 20); ++i) text += "line 1 of data\n";
  text += "end 99";
  const ThreadCpuTimer timer;
  EXPECT_EQ(ExtractLastNumber(text, -1), 99);
  std::string noDigits(1u << 20, 'x');
  EXPECT_EQ(ExtractLastNumber(noDigits, -1), -1);
  // Leading zeros do not count against the int range.
  std::string zeros(1u << 20, '0');
  EXPECT_EQ(ExtractLastNumber(zeros + "12", -1), 12);
  EXPECT_EQ(ExtractLastNumber(std::string(1u << 20, '9'), -1), -1);
  EXPECT_LT(timer.Seconds(), 1.0);
}

std::string FormatTwice(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTwice(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = FormattedLength(format, args);
  std::string first = FormatStringV(format, args);
  std::string second = FormatStringV(format, args);
  va_end(args);
  EXPECT_EQ(static_cast<size_t>(n), first.size());
  return first == second ? first : "lists differ";
}

std::wstring FormatTwiceWide(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = FormattedLength(format, args);
  std::wstring first = FormatStringV(format, args);
  std::wstring second = FormatStringV(format, args);
  va_end(args);
  EXPECT_EQ(n < 0 ? 0u : static_cast<size_t>(n), first.size());
  return first == second ? first : L"lists differ";
}

TEST(StringHelpersFormat, Narrow) {
  EXPECT_EQ(FormatString("%s", ""), "");
  EXPECT_EQ(FormatString("Zor archive exception: %s - code: \"%d\"", "short", 7),
            "Zor archive exception: short - code: \"7\"");
  // Either side of the small-buffer size, and the 300 characters of the log.
  for (size_t size : {255u, 256u, 257u, 300u, 100000u}) {
    const std::string long_text(size, 'x');
    EXPECT_EQ(FormatString("%s", long_text.c_str()), long_text);
  }
  const char* noFormat = nullptr;
  EXPECT_EQ(FormatString(noFormat, 1), "");
  EXPECT_EQ(FormatTwice("%d-%s-%.2f", 12, "ab", 1.5), "12-ab-1.50");
  EXPECT_EQ(FormatTwice("%s", std::string(1000, 'y').c_str()), std::string(1000, 'y'));
}

TEST(StringHelpersFormat, Wide) {
  EXPECT_EQ(FormatString(L"%ls=%d", L"depth", 12), L"depth=12");
  EXPECT_EQ(FormatString(L"%ls", L""), L"");
  // Far beyond any first guess at a buffer size; not mistaken for an error.
  const std::wstring long_text(100000, L'w');
  EXPECT_EQ(FormatString(L"%ls", long_text.c_str()), long_text);
  EXPECT_EQ(FormatTwiceWide(L"%d %lc", 5, static_cast<wint_t>(0x20AC)), L"5 \x20AC");
  // A narrow argument that is not valid text in the "C" locale is a real error.
  EXPECT_EQ(FormatTwiceWide(L"%s", "\xFF"), L"");
  const wchar_t* noFormat = nullptr;
  EXPECT_EQ(FormatString(noFormat), L"");
}

TEST(StringHelpersCompare, EqualsAndCompare) {
  EXPECT_TRUE(EqualsText("Depth", "Depth", false));
  EXPECT_FALSE(EqualsText("Depth", "depth", false));
  EXPECT_TRUE(EqualsText("Depth", "dEPTH", true));
  EXPECT_FALSE(EqualsText("Depth", "Dept", true));
  EXPECT_TRUE(CompareText("Depth 12", "depth12", true, true, false));
  EXPECT_FALSE(CompareText("Depth 12", "depth12", false, true, false));
  EXPECT_FALSE(CompareText("Depth 12", "depth12", true, false, false));
  // White space goes wherever it stands, not only at the ends.
  EXPECT_TRUE(CompareText(" a\tb\r\nc ", "abc", false, true, false));
  EXPECT_TRUE(CompareText("N.E.-1", "NE1", false, false, true));
  EXPECT_FALSE(CompareText("N.E. 1", "NE1", false, false, true));
  EXPECT_TRUE(CompareText("N.E. 1", "ne1", true, true, true));
}

TEST(StringHelpersCompare, ContainsAndStartsWith) {
  EXPECT_TRUE(ContainsText("Grid file", "", false));
  EXPECT_TRUE(ContainsText("Grid file", "d f", false));
  EXPECT_FALSE(ContainsText("Grid file", "FILE", false));
  EXPECT_TRUE(ContainsText("Grid file", "FILE", true));
  EXPECT_FALSE(ContainsText("", "a", true));
  EXPECT_TRUE(ContainsText("aaab", "AAB", true));  // a partial match overlaps the answer
  EXPECT_FALSE(ContainsText("aaab", "AAB", false));
  // A long part that nearly matches everywhere: linear, not text times part.
  const ThreadCpuTimer timer;
  const std::string text(200000, 'a');
  EXPECT_FALSE(ContainsText(text, std::string(100000, 'A') + "b", true));
  EXPECT_FALSE(ContainsText(text, std::string(100000, 'a') + "b", false));
  EXPECT_TRUE(ContainsText(text + "B", std::string(100000, 'A') + "b", true));
  EXPECT_LT(timer.Seconds(), 1.0);

  const std::vector<std::string> none;
  const std::vector<std::string> words{"grid", "FILE"};
  EXPECT_TRUE(ContainsWords("grid file", none, true, false));
  EXPECT_FALSE(ContainsWords("grid file", none, false, false));
  EXPECT_FALSE(ContainsWords("grid file", words, true, false));
  EXPECT_TRUE(ContainsWords("grid file", words, false, false));
  EXPECT_TRUE(ContainsWords("grid file", words, true, true));
  EXPECT_FALSE(ContainsWords("mesh", words, false, true));

  EXPECT_TRUE(StartsWithText("$GPGGA,1", "", false));
  EXPECT_TRUE(StartsWithText("$GPGGA,1", "$GP", false));
  EXPECT_FALSE(StartsWithText("$GPGGA,1", "$gp", false));
  EXPECT_TRUE(StartsWithText("$GPGGA,1", "$gp", true));
  EXPECT_FALSE(StartsWithText("$G", "$GP", true));
  EXPECT_FALSE(StartsWithAny("$GPGGA", none, false));
  EXPECT_TRUE(StartsWithAny("$GPGGA", {"$HE", "$gp"}, true));
  EXPECT_FALSE(StartsWithAny("$GPGGA", {"$HE", "$gp"}, false));
}

TEST(StringHelpersCompare, CharacterClasses) {
  for (char c : {' ', '\t', '\n', '\v', '\f', '\r'}) EXPECT_TRUE(IsSpaceChar(c)) << int(c);
  EXPECT_FALSE(IsSpaceChar('a'));
  EXPECT_FALSE(IsSpaceChar('\0'));
  for (char c : {'.', ',', '-', '!', '~', '_'}) EXPECT_TRUE(IsPunctChar(c)) << c;
  EXPECT_FALSE(IsPunctChar('a'));
  EXPECT_FALSE(IsPunctChar(' '));
  // Bytes above 127 are taken as unsigned and are neither in the "C" locale.
  EXPECT_FALSE(IsSpaceChar('\xA0'));
  EXPECT_FALSE(IsPunctChar('\xFF'));
}

TEST(StringHelpersEdit, ReplaceAll) {
  std::string text = "aaa";
  ReplaceAll(text, "a", "aa");
  EXPECT_EQ(text, "aaaaaa");
  text = "aaa";
  ReplaceAll(text, "aa", "b");
  EXPECT_EQ(text, "ba");
  text = "x\\y\\z";
  ReplaceAll(text, "\\", "//");
  EXPECT_EQ(text, "x//y//z");
  text = "abc";
  ReplaceAll(text, "", "x");
  EXPECT_EQ(text, "abc");
  ReplaceAll(text, "abc", "");
  EXPECT_EQ(text, "");
  std::wstring wide = L"a-b-c";
  ReplaceAll(wide, L"-", L"--");
  EXPECT_EQ(wide, L"a--b--c");
  ReplaceAll(wide, L"", L"x");
  EXPECT_EQ(wide, L"a--b--c");
  // The search resumes behind a replaced piece and behind a partial match.
  wide = L"aaa";
  ReplaceAll(wide, L"aa", L"b");
  EXPECT_EQ(wide, L"ba");
  wide = L"aabaabaac-aabaac";
  ReplaceAll(wide, L"aabaac", L"X");
  EXPECT_EQ(wide, L"aabX-X");
  text = "aabaabaac-aabaac";
  ReplaceAll(text, "aabaac", "X");
  EXPECT_EQ(text, "aabX-X");
  ReplaceAll(wide, L"aabX-X+", L"Y");
  EXPECT_EQ(wide, L"aabX-X");
}

// Memory that runs out at any allocation leaves the text as it was.
TEST(StringHelpersEdit, ReplaceAllOutOfMemoryKeepsTheText) {
  const std::string narrow = std::string(100, 'a') + "-b-";
  const std::wstring wide(narrow.begin(), narrow.end());
  for (long k = 0;; ++k) {
    std::string n = narrow;
    std::wstring w = wide;
    bool fired = false;
    {
      FailingAllocation fail(k);
      try {
        ReplaceAll(n, "-", "--");
      } catch (const std::bad_alloc&) {
      }
      try {
        ReplaceAll(w, L"-b", L"+");
      } catch (const std::bad_alloc&) {
      }
      fired = fail.Fired();
    }
    if (!fired) {
      EXPECT_EQ(n, std::string(100, 'a') + "--b--");
      EXPECT_EQ(w, std::wstring(100, L'a') + L"+-");
      break;
    }
    EXPECT_TRUE(n == narrow || n == std::string(100, 'a') + "--b--") << k;
    EXPECT_TRUE(w == wide || w == std::wstring(100, L'a') + L"+-") << k;
  }
}

TEST(StringHelpersEdit, NormalizePath) {
  EXPECT_EQ(NormalizePath("C:\\Data\\Grids \t", true), "C:/Data/Grids/");
  EXPECT_EQ(NormalizePath("C:\\Data\\", false), "C:/Data");
  EXPECT_EQ(NormalizePath("C:\\Data\\", true), "C:/Data/");
  EXPECT_EQ(NormalizePath("   ", true), "");
  EXPECT_EQ(NormalizePath("", false), "");
  EXPECT_EQ(NormalizePath("/data//", false), "/data/");  // only one slash goes
  EXPECT_EQ(NormalizePath("  lead", false), "  lead");
  EXPECT_EQ(NormalizePath(L"C:\\Data\\Grids \t", true), L"C:/Data/Grids/");
  EXPECT_EQ(NormalizePath(L"x/", false), L"x");
  EXPECT_EQ(NormalizePath(L" \n", true), L"");
}

TEST(StringHelpersUtf8, EncodesEveryUnitAsOneSequence) {
  EXPECT_EQ(WStringToUtf8(L""), "");
  EXPECT_EQ(WStringToUtf8(L"a\x20AC"), "a\xE2\x82\xAC");
  EXPECT_EQ(WStringToUtf8(std::wstring(1, L'\0')), std::string(1, '\0'));
  EXPECT_EQ(WStringToUtf8(std::wstring(1, 0xFEFF)), "\xEF\xBB\xBF");  // no BOM handling
  EXPECT_EQ(WStringToUtf8(std::wstring(1, 0xD800)), "\xED\xA0\x80");  // lone surrogate
  EXPECT_EQ(WStringToUtf8(std::wstring(1, 0x10FFFF)), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(Utf8ToWString("\xEF\xBB\xBF" "a"), std::wstring({wchar_t(0xFEFF), L'a'}));
  EXPECT_EQ(Utf8ToWString("\xED\xA0\x80"), std::wstring(1, 0xD800));
  EXPECT_EQ(Utf8ToWString("\xF0\x90\x80\x80"), std::wstring(1, 0x10000));

  // Every code point survives the round trip, and the widths are right.
  std::wstring all;
  for (wchar_t c = 0; c <= 0x10FFFF; ++c) all.push_back(c);
  const std::string bytes = WStringToUtf8(all);
  EXPECT_EQ(bytes.size(), 0x80u + 2 * 0x780u + 3 * 0xF800u + 4 * 0x100000u);
  EXPECT_EQ(Utf8ToWString(bytes), all);
}

TEST(StringHelpersUtf8, RejectsWhatCannotBeConverted) {
  for (wchar_t bad : {wchar_t(0x110000), wchar_t(-1)}) {
    try {
      WStringToUtf8(std::wstring(L"ok") + bad);
      ADD_FAILURE() << "no exception for " << static_cast<long>(bad);
    } catch (const std::range_error& e) {
      EXPECT_STREQ(e.what(), "bad conversion");
    }
  }
  const char* badInputs[] = {
      "\x80",              // lone continuation
      "\xC0\x80",          // overlong NUL
      "\xC1\xBF",          // overlong
      "\xE0\x80\x80",      // overlong three-byte
      "\xF0\x80\x80\x80",  // overlong four-byte
      "\xF4\x90\x80\x80",  // above 0x10FFFF
      "\xF5\x80\x80\x80", "\xFE", "\xFF",
      "\xC2\x41",          // second byte not a continuation
      "\xE2\x82\x41",      // third byte not a continuation
      "a\xE2\x82",         // cut off at the end
      "\xF0\x90\x80",      // cut off at the end
  };
  for (const char* bad : badInputs) {
    EXPECT_THROW(Utf8ToWString(bad), std::range_error) << bad;
  }
}

}  // namespace

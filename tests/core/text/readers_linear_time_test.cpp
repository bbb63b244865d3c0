// Every reader of text in core/text and core/time, fed families of texts
// made to defeat a reader that looks back or ahead again for each piece:
// long runs of blanks, letters, signs, separators, digits, degree, minute
// and second marks, broken UTF-8, wildcards and format fields, alone, after a
// number and in pairs of runs ("1", n blanks, n times "x " made ParseDms
// quadratic). A reader's processor time at 4n may grow as a linear one's,
// about four times that at n, and is bounded at six times; a quadratic
// one's grows sixteen times.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "core/text/checksum.h"
#include "core/text/code_page.h"
#include "core/text/file_search.h"
#include "core/text/latlon_dms.h"
#include "core/text/latlon_parse.h"
#include "core/text/number_pick.h"
#include "core/text/path_utils.h"
#include "core/text/string_helpers.h"
#include "core/text/text_search.h"
#include "core/text/text_shape.h"
#include "core/text/text_split.h"
#include "core/text/utf.h"
#include "core/time/system_time.h"
#include "core/time/time_text.h"
#include "core/time/zor_time.h"
#include "platform/system_time.h"
#include "tests/support/cpu_timer.h"

namespace {

using zor::platform::SYSTEMTIME;

// What a reader gave, folded to a number so that the call is not dropped.
template <typename T>
  requires std::is_arithmetic_v<T>
std::size_t Fold(T v) {
  if constexpr (std::is_floating_point_v<T>) {
    return v > 0 && v < 1e18 ? static_cast<std::size_t>(v) : 1;
  } else {
    return static_cast<std::size_t>(v);
  }
}
template <typename C>  // strings of every width, lists of strings
  requires requires(const C& c) { c.size(); }
std::size_t Fold(const C& c) {
  return c.size();
}
std::size_t Fold(const SYSTEMTIME& st) { return st.wYear + st.wMonth + st.wSecond; }
std::size_t Fold(const CZORTime& t) { return static_cast<std::size_t>(t.GetDay()); }

std::wstring Widened(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}
std::u16string Widened16(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}
std::u32string Widened32(const std::string& text) {
  return std::u32string(text.begin(), text.end());
}

// The time that the format patterns are applied to.
CZORTime Noon() { return CZORTime(sTimeRecord{51544, 0, 43200.0}); }

// A pattern that the text holds in part only: its first half and a '#',
// which no family holds.
std::string Half(const std::string& text) { return text.substr(0, text.size() / 2) + "#"; }

struct Reader {
  const char* name;
  std::function<std::size_t(const std::string&)> call;

  // The UTF converters throw on a broken sequence, as their headers say.
  std::size_t read(const std::string& text) const {
    try {
      return call(text);
    } catch (const std::exception&) {
      return 0;
    }
  }
};

#define READER(...)                                                                      \
  Reader {                                                                               \
    #__VA_ARGS__, [](const std::string& text) -> std::size_t { return Fold(__VA_ARGS__); } \
  }

std::vector<Reader> Readers() {
  return {
      // Latitudes and longitudes.
      READER(ParseDms(text)),
      READER(ParseDmsText(text.c_str())),
      READER(ParseDmsTextRadians(text.c_str())),
      READER([&] { double v = 0; return ParseLatLonText(text, v); }()),
      READER([&] { sDms d{}; return ParseLatLonToDms(text, d, true); }()),
      READER([&] { double v = 0; return ParseLatitudeDm(text, v); }()),
      READER([&] { double v = 0; return ParseLongitudeDm(text, v); }()),
      // Numbers.
      READER([&] { double v = 0; return ParseFirstNumber(text, v); }()),
      READER(IsNumber(text)),
      READER(IsInteger(text)),
      READER(HexTextToInt(text)),
      READER([&] { std::string t = text; TrimTrailingZeros(t, 2); return t; }()),
      READER([&] { std::string t = text; RoundNumberText(t, 3); return t; }()),
      READER(StringToInt(text, -1)),
      READER(StringToInt(Widened(text), -1)),
      READER(StringToInt32(text, -1)),
      READER(StringToInt32(Widened(text), -1)),
      READER(StringToInt64(text, -1)),
      READER(StringToInt64(Widened(text), -1)),
      READER(StringToDouble(text, -1)),
      READER(StringToDouble(Widened(text), -1)),
      READER(ExtractLastNumber(text, -1)),
      READER(ExtractLastNumber(Widened(text), -1)),
      // Checksums.
      READER(ComputeChecksumValue(text, 0)),
      READER(ComputeChecksumValue(text, 1)),
      READER([&] { std::string out; return ComputeChecksumText(out, text, 1, 0); }()),
      READER([&] { std::string t = text; AppendChecksum(t, 0, 0); return t; }()),
      READER([&] { std::string t = text; AppendChecksumStd(t, 0, 1); return t; }()),
      READER(VerifyNmeaChecksum(text)),
      READER(VerifyNmeaChecksum("$" + text + "*00")),
      // Splitters and searches.
      READER([&] { std::vector<std::string> p; return SplitString(text, p, ' ', true); }()),
      READER([&] { std::vector<std::string> p; return SplitString(text, p, ';', false); }()),
      READER([&] {
        std::vector<std::string> p;
        return SplitStringAny(text, p, " ;,", false, true);
      }()),
      READER([&] {
        std::vector<std::string> p;
        return SplitStringAny(text, p, " \t", true, false);
      }()),
      READER(SplitStdString(text, ',')),
      READER(SplitStdStringAny(text, " ;:")),
      READER(GetField(text, 1 << 30, ' ')),
      READER(GetField(text, 3, ';')),
      READER(ExtractBetween(text, '(', ')')),
      READER(ExtractBetween(text, '"', '"')),
      READER(FindNoCase(text, Half(text))),
      READER(FindFolded(text, Half(text), ExactBytes())),
      READER(CountChar(text, ' ')),
      READER(CountCharStd(text, 'x')),
      READER([&] { char c = 0; return GuessSeparator(c, text); }()),
      READER(CompareNoCase(text, Half(text))),
      READER([&] {
        const std::string half = Half(text);
        const char* a = text.c_str();
        const char* b = half.c_str();
        return CompareNoCasePtr(&a, &b);
      }()),
      READER(EqualsText(text, Half(text), true)),
      READER(CompareText(text, text + " ", true, true, true)),
      READER(CompareText(text, Half(text), false, true, false)),
      READER(ContainsText(text, Half(text), true)),
      READER(ContainsText(text, Half(text), false)),
      READER(ContainsWords(text, {Half(text), "x"}, true, true)),
      READER(StartsWithText(text, text + "#", true)),
      READER(StartsWithAny(text, {Half(text), text}, false)),
      READER([&] { std::string t = text; ReplaceAll(t, Half(text), "y"); return t; }()),
      READER([&] { std::string t = text; ReplaceAll(t, " ", "  "); return t; }()),
      READER([&] { std::wstring t = Widened(text); ReplaceAll(t, L"x", L"yy"); return t; }()),
      READER(MatchesWildcard(text, Half(text))),
      READER(MatchesWildcard(std::string(text.size(), 'x'), text + "y")),
      READER(MatchesWildcard(text, text)),
      READER(WildcardToRegex(text)),
      // Paths and shapes.
      READER(NormalizePath(text, true)),
      READER(NormalizePath(Widened(text), false)),
      READER(ToNativePath(text)),
      READER(PathFileName(text)),
      READER(PathParent(text)),
      READER(PathWithoutExtension(text)),
      READER(PadText(text, static_cast<int>(text.size() / 2), true, true)),
      READER(CutAtWord(text, static_cast<int>(text.size() / 2))),
      READER(AppendInParentheses(text, text)),
      READER(MakeUniqueName({text, text + "1", text + "2"}, false, text)),
      // Code pages and UTF.
      READER(Latin1ToUtf8(text)),
      READER(Utf8ToLatin1(text)),
      READER(Cp1252ToUtf16(text)),
      READER(Cp1252ToUtf8(text)),
      READER(Utf8ToCp1252(text)),
      READER(Utf8ToWide(text)),
      READER(Utf8ToWide(text.c_str())),
      READER(WideToUtf8(Widened(text))),
      READER(WideToUtf8(Widened(text).c_str())),
      READER(Utf8ToUtf16(text)),
      READER(Utf16ToUtf8(Widened16(text))),
      READER(Utf16ToUtf32(Widened16(text))),
      READER(Utf16ToUtf8(Utf8ToUtf16(text))),  // surrogate pairs
      READER(Utf16ToUtf32(Utf8ToUtf16(text))),
      READER(Utf32ToUtf16(Widened32(text))),
      READER(Utf32ToUtf8(Widened32(text))),
      READER(Utf32ToUtf8(Widened32(text).c_str())),
      READER(Utf32ToUtf8(Utf8ToUtf32(text))),
      READER(Utf8ToUtf32(text)),
      READER(Utf8ToUtf32(text.c_str())),
      READER(WStringToUtf8(Widened(text))),
      READER(Utf8ToWString(text)),
      // Dates and clocks.
      READER([&] { SYSTEMTIME st{}; double zone = 0; return ParseIsoDateTime(text, st, &zone); }()),
      READER([&] {
        int h = 0, m = 0, sec = 0, f = 0;
        return ParseClockText(text, h, m, sec, f);
      }()),
      READER(ParseDateYmd(text.c_str())),
      READER(ParseDateDmy(text.c_str())),
      READER(ParseDateMdy(text.c_str())),
      READER(ParseTimeToSystemTime(text.c_str())),
      READER(TimeTextToSeconds(text.c_str())),
      READER(ParseDotDate(text)),
      READER(ParseDateText(text)),
      READER(ParseTimeText(text)),
      READER(TimeTextSecondsOfDay(text)),
      READER(CZORTime(text)),
      // Patterns that format a time.
      READER(Noon().Format(text)),
      READER(FormatTimeWithPattern(Noon(), text.c_str())),
      READER(FormatDateWithPattern(Noon(), text.c_str())),
      READER(FormatTimeOfDayWithPattern(Noon(), text.c_str())),
  };
}

struct Family {
  std::string prefix, a, b;  // prefix, then n times a, then n times b

  std::string Make(int n) const {
    std::string text = prefix;
    for (int i = 0; i < n; ++i) text += a;
    for (int i = 0; i < n; ++i) text += b;
    return text;
  }
  std::string Name() const {
    std::string name;
    for (const std::string& part : {prefix, a, b}) {
      name += '"';
      for (const unsigned char c : part) {
        if (c >= 32 && c < 127) {
          name += static_cast<char>(c);
        } else {
          name += "\\x";
          name += "0123456789ABCDEF"[c >> 4];
          name += "0123456789ABCDEF"[c & 15];
        }
      }
      name += "\" ";
    }
    return name;
  }
};

std::vector<Family> Families() {
  // Blanks, letters (hemispheres, units, exponents), signs, separators,
  // digits and number pieces, the marks of degrees, minutes and seconds
  // (the degree sign in the 8-bit code page and in UTF-8), broken and
  // surrogate UTF-8, wildcards, format fields, path and bracket characters.
  const std::vector<std::string> units = {
      " ",    "\t",   "x",    "N",    "S",  "s",   "W",        "e",       "E",      "d",
      "m",    "'",    "\"",   "-",    "+",  ";",   ",",        ":",       ".",      "/",
      "\\",   "*",    "?",    "9",    "0",  "1 ",  "x ",       "1.",      "1e",     "e-",
      "-1",   "*x",   "?*",   "d ",   "T",  "$",   "\xB0",     "\xC2\xB0", "\xC2",  "\xE2\x82",
      "\xFF", "%",    "%Y",   "yy",   "(",  ")",   "\xED\xA0\x80", "sec", "min", "deg",
      "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
  std::vector<Family> families;
  for (const std::string& u : units) {
    families.push_back({"", u, ""});
    families.push_back({"1", u, ""});
  }
  for (const char* first : {" ", "9"})
    for (const std::string& u : units) families.push_back({"1", first, u});
  return families;
}

TEST(TextReadersLinearTime, PathologicalTextsCostLinearTime) {
#if defined(__SANITIZE_ADDRESS__)
  // Each step costs several times as much under the sanitizers, and their
  // allocator makes a large block dearer than a small one: half the length
  // keeps the run short, and only readers slow enough to tell are bounded.
  constexpr int kN = 500;
  constexpr double kTooShortToTell = 0.004;
#else
  constexpr int kN = 1000;
  // Below this the clock's and the cache's noise is as large as the work.
  constexpr double kTooShortToTell = 0.0005;
#endif
  const std::vector<Reader> readers = Readers();
  const std::vector<Family> families = Families();
  volatile std::size_t sink = 0;
  for (const Family& family : families) {
    const std::string small = family.Make(kN);
    const std::string large = family.Make(4 * kN);
    for (const Reader& reader : readers) {
      // The best of up to three runs each, taken in turn, so that a busy
      // moment slows both; a linear reader passes on the first.
      double atN = std::numeric_limits<double>::infinity();
      double at4N = atN;
      for (int round = 0; round < 3; ++round) {
        {
          const ThreadCpuTimer timer;
          sink = sink + reader.read(small);
          atN = std::min(atN, timer.Seconds());
        }
        {
          const ThreadCpuTimer timer;
          sink = sink + reader.read(large);
          at4N = std::min(at4N, timer.Seconds());
        }
        if (at4N < 6 * atN || at4N < kTooShortToTell) break;
      }
      EXPECT_TRUE(at4N < 6 * atN || at4N < kTooShortToTell)
          << reader.name << " on " << family.Name() << ": " << atN << " s at n, " << at4N
          << " s at 4n";
    }
  }
}

}  // namespace

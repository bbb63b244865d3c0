// Every reader of text in core/text and core/time, fed families of texts
// made to defeat a reader that looks back or ahead again for each piece:
// long runs of blanks, letters, signs, separators, digits, degree, minute
// and second marks, broken UTF-8, wildcards and format fields, alone, after a
// number and in pairs of runs ("1", n blanks, n times "x " made ParseDms
// quadratic); and the searches, replacements and splits fed long texts to
// find and long lists of separators. A reader's processor time at 16n grows
// as a linear one's, 16 to 25 times that at n with the caches, and is bounded
// at 64 times; a quadratic one's grows 256 times.
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
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

// Keeps freed memory in the process for the rest of the run. Otherwise a
// large block is mapped afresh for each call and the kernel's zeroing of its
// pages, counted in the thread's time, makes the large size cost up to a
// hundred times the small one for a splitter that is linear.
void KeepFreedMemory() {
  ::mallopt(M_MMAP_THRESHOLD, 256 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
  ::mallopt(M_TOP_PAD, 64 << 20);
}

// The growth from n to 16n. Each size is run in turn up to five times and
// the best of each is kept, so a busy moment slows both; a linear reader
// passes on the first. Below `tooShortToTell` at 16n the clock's and the
// cache's noise is as large as the work.
struct Growth {
  double atN = std::numeric_limits<double>::infinity();
  double at16N = std::numeric_limits<double>::infinity();

  template <typename Run>
  static Growth Of(Run run, double tooShortToTell) {
    Growth g;
    for (int round = 0; round < 5 && !g.Linear(tooShortToTell); ++round) {
      {
        const ThreadCpuTimer timer;
        run(false);
        g.atN = std::min(g.atN, timer.Seconds());
      }
      {
        const ThreadCpuTimer timer;
        run(true);
        g.at16N = std::min(g.at16N, timer.Seconds());
      }
    }
    return g;
  }
  bool Linear(double tooShortToTell) const {
    return at16N < 64 * atN || at16N < tooShortToTell;
  }
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Each step costs several times as much under the sanitizers, whose
// allocator keeps freed blocks away from reuse for a while: a quarter of the
// length keeps the run short, and only readers slow enough to tell are
// bounded.
constexpr int kScale = 4;
constexpr double kTooShortToTell = 0.02;
#else
constexpr int kScale = 1;
constexpr double kTooShortToTell = 0.0005;
#endif

TEST(TextReadersLinearTime, PathologicalTextsCostLinearTime) {
  KeepFreedMemory();
  constexpr int kN = 1000 / kScale;
  const std::vector<Reader> readers = Readers();
  const std::vector<Family> families = Families();
  volatile std::size_t sink = 0;
  for (const Family& family : families) {
    const std::string small = family.Make(kN);
    const std::string large = family.Make(16 * kN);
    for (const Reader& reader : readers) {
      const Growth g = Growth::Of(
          [&](bool big) { sink = sink + reader.read(big ? large : small); }, kTooShortToTell);
      EXPECT_TRUE(g.Linear(kTooShortToTell))
          << reader.name << " on " << family.Name() << ": " << g.atN << " s at n, " << g.at16N
          << " s at 16n";
    }
  }
}

// A text and a text to find in it (or a list of separators).
struct Search {
  std::string text, what;
};

// Long texts to find, each of which costs a search that restarts at every
// position (std::string::find, the naive loop) or shifts by one on a
// mismatch seen from the right (Horspool) the text's length times its own;
// and a long list of separators that holds the text's character last, which
// costs a splitter that reads the list again for each character as much.
std::vector<std::pair<const char*, std::function<Search(std::size_t)>>> SearchFamilies() {
  const auto run = [](const char* unit, std::size_t n) {
    std::string s;
    while (s.size() < n) s += unit;
    s.resize(n);
    return s;
  };
  return {
      {"a run, then a mismatch at the end",
       [=](std::size_t n) { return Search{run("a", n), run("a", n / 2) + "#"}; }},
      {"a run, the mismatch first",
       [=](std::size_t n) { return Search{run("a", n), "#" + run("a", n / 2)}; }},
      {"a run, the mismatch in the middle",
       [=](std::size_t n) { return Search{run("a", n), run("a", n / 4) + "#" + run("a", n / 4)}; }},
      {"a period of two",
       [=](std::size_t n) { return Search{run("ab", n), run("ab", n / 2) + "#"}; }},
      {"found at the end only",
       [=](std::size_t n) { return Search{run("a", n) + "b", run("a", n / 2) + "b"}; }},
      {"letters of both cases",
       [=](std::size_t n) { return Search{run("aA", n), run("Aa", n / 2) + "#"}; }},
      {"the text's character last in the list",
       [=](std::size_t n) { return Search{run("x", n), run("y", n / 2) + "x"}; }},
  };
}

std::vector<Reader> SearchReaders(const std::string& what) {
  // Each reader takes the text; `what` is the text to find or the list of
  // separators.
  const auto wide = Widened(what);
  return {
      {"ReplaceAll narrow",
       [what](const std::string& text) { std::string t = text; ReplaceAll(t, what, "y"); return t.size(); }},
      {"ReplaceAll wide",
       [wide](const std::string& text) {
         std::wstring t = Widened(text);
         ReplaceAll(t, wide, L"y");
         return t.size();
       }},
      {"FindNoCase", [what](const std::string& text) { return Fold(FindNoCase(text, what)); }},
      {"FindFolded",
       [what](const std::string& text) { return FindFolded(text, what, ExactBytes()); }},
      {"ContainsText", [what](const std::string& text) { return Fold(ContainsText(text, what, false)); }},
      {"ContainsText ignoring case",
       [what](const std::string& text) { return Fold(ContainsText(text, what, true)); }},
      {"ContainsWords",
       [what](const std::string& text) { return Fold(ContainsWords(text, {what}, true, true)); }},
      {"StartsWithAny",
       [what](const std::string& text) { return Fold(StartsWithAny(text, {what}, true)); }},
      {"MatchesWildcard",
       [what](const std::string& text) { return Fold(MatchesWildcard(text, "*" + what + "*")); }},
      {"SplitStringAny",
       [what](const std::string& text) {
         std::vector<std::string> parts;
         return Fold(SplitStringAny(text, parts, what, true, false));
       }},
      {"SplitStringAny trimmed",
       [what](const std::string& text) {
         std::vector<std::string> parts;
         return Fold(SplitStringAny(text, parts, what, false, true));
       }},
      {"SplitStdStringAny", [what](const std::string& text) { return SplitStdStringAny(text, what).size(); }},
  };
}

TEST(TextReadersLinearTime, LongTextsToFindAndLongSeparatorListsCostLinearTime) {
  KeepFreedMemory();
  // At 16n a 256 KiB text and a 128 KiB text to find: the search that
  // restarts at every position took seconds there.
  constexpr std::size_t kN = (16 << 10) / kScale;
  volatile std::size_t sink = 0;
  for (const auto& [family, make] : SearchFamilies()) {
    const Search small = make(kN);
    const Search large = make(16 * kN);
    const std::vector<Reader> atN = SearchReaders(small.what);
    const std::vector<Reader> at16N = SearchReaders(large.what);
    for (std::size_t r = 0; r < atN.size(); ++r) {
      const Growth g = Growth::Of(
          [&](bool big) {
            sink = sink + (big ? at16N[r].read(large.text) : atN[r].read(small.text));
          },
          kTooShortToTell);
      EXPECT_TRUE(g.Linear(kTooShortToTell))
          << atN[r].name << " on " << family << ": " << g.atN << " s at n, " << g.at16N
          << " s at 16n";
    }
  }
}

}  // namespace

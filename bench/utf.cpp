// UTF-8 -> UTF-16 and Windows-1252 -> UTF-8 beside ICU and glibc's iconv,
// each returning a fresh string as a caller's wrapper around them would.
// Texts: "mixed" is ASCII with some two-, three- and four-byte characters
// (about 5% of the characters), "ascii" is plain ASCII; 64 KiB each.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/text/code_page.h"
#include "core/text/utf.h"

namespace {

constexpr std::size_t kTextBytes = 64 * 1024;

// Survey-log-like words with the occasional degree sign, accented letter,
// euro sign, CJK character or emoji.
std::string MixedUtf8(bool ascii_only) {
  const char* const words[] = {"depth", "heading", "north", "easting", "fix", "line", "12.5", "GPS"};
  const char* const specials[] = {"\xC2\xB0", "\xC3\xA9", "\xC3\xB8", "\xCE\xA9",      // 2 bytes
                                  "\xE2\x82\xAC", "\xE2\x80\x93", "\xE4\xB8\xAD",     // 3 bytes
                                  "\xF0\x9F\x98\x80"};                                // 4 bytes
  std::mt19937 rng(7);
  std::string text;
  while (text.size() < kTextBytes) {
    text += words[rng() % 8];
    if (!ascii_only && rng() % 3 == 0) text += specials[rng() % 8];
    text += ' ';
  }
  return text;
}

std::string MixedCp1252(bool ascii_only) {
  const char specials[] = {'\xB0', '\xE9', '\xF8', '\x80', '\x93', '\x94', '\x96', '\xB5'};
  std::mt19937 rng(7);
  std::string text = MixedUtf8(true);
  if (!ascii_only) {
    for (std::size_t i = 0; i < text.size(); i += 10 + rng() % 30) text[i] = specials[rng() % 8];
  }
  return text;
}

const std::string& Utf8Text(const benchmark::State& state) {
  static const std::string mixed = MixedUtf8(false);
  static const std::string ascii = MixedUtf8(true);
  return state.range(0) ? ascii : mixed;
}

const std::string& Cp1252Text(const benchmark::State& state) {
  static const std::string mixed = MixedCp1252(false);
  static const std::string ascii = MixedCp1252(true);
  return state.range(0) ? ascii : mixed;
}

void Label(benchmark::State& state, const std::string& text) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.SetLabel(state.range(0) ? "ascii" : "mixed");
}

// Converts all of `in` with iconv into a buffer of `capacity` bytes.
std::string IconvAll(iconv_t cd, const std::string& in, std::size_t capacity) {
  std::string out(capacity, '\0');
  char* ip = const_cast<char*>(in.data());
  size_t il = in.size();
  char* op = out.data();
  size_t ol = out.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  iconv(cd, &ip, &il, &op, &ol);
  out.resize(out.size() - ol);
  return out;
}

void BM_Utf8ToUtf16_Zor(benchmark::State& state) {
  const std::string& text = Utf8Text(state);
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToUtf16(text));
  Label(state, text);
}

void BM_Utf8ToUtf16_IcuStrFromUTF8(benchmark::State& state) {
  const std::string& text = Utf8Text(state);
  for (auto _ : state) {
    std::u16string out(text.size(), u'\0');
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                  static_cast<int32_t>(text.size()), &error);
    if (U_FAILURE(error)) state.SkipWithError("ICU failed");
    out.resize(static_cast<std::size_t>(length));
    benchmark::DoNotOptimize(out);
  }
  Label(state, text);
}

void BM_Utf8ToUtf16_Iconv(benchmark::State& state) {
  const std::string& text = Utf8Text(state);
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  for (auto _ : state) benchmark::DoNotOptimize(IconvAll(cd, text, text.size() * 2));
  iconv_close(cd);
  Label(state, text);
}

void BM_Cp1252ToUtf8_Zor(benchmark::State& state) {
  const std::string& text = Cp1252Text(state);
  for (auto _ : state) benchmark::DoNotOptimize(Cp1252ToUtf8(text));
  Label(state, text);
}

void BM_Cp1252ToUtf8_IcuConvertEx(benchmark::State& state) {
  const std::string& text = Cp1252Text(state);
  UErrorCode error = U_ZERO_ERROR;
  UConverter* from = ucnv_open("windows-1252", &error);
  UConverter* to = ucnv_open("UTF-8", &error);
  if (U_FAILURE(error)) state.SkipWithError("ICU has no windows-1252 converter");
  for (auto _ : state) {
    if (U_FAILURE(error)) break;
    std::string out(text.size() * 3, '\0');
    char* target = out.data();
    const char* source = text.data();
    ucnv_convertEx(to, from, &target, out.data() + out.size(), &source, text.data() + text.size(),
                   nullptr, nullptr, nullptr, nullptr, true, true, &error);
    out.resize(static_cast<std::size_t>(target - out.data()));
    benchmark::DoNotOptimize(out);
  }
  ucnv_close(to);
  ucnv_close(from);
  Label(state, text);
}

void BM_Cp1252ToUtf8_Iconv(benchmark::State& state) {
  const std::string& text = Cp1252Text(state);
  iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
  for (auto _ : state) benchmark::DoNotOptimize(IconvAll(cd, text, text.size() * 3));
  iconv_close(cd);
  Label(state, text);
}

// Argument 0: mixed text, 1: ASCII only.
BENCHMARK(BM_Utf8ToUtf16_Zor)->Arg(0)->Arg(1);
BENCHMARK(BM_Utf8ToUtf16_IcuStrFromUTF8)->Arg(0)->Arg(1);
BENCHMARK(BM_Utf8ToUtf16_Iconv)->Arg(0)->Arg(1);
BENCHMARK(BM_Cp1252ToUtf8_Zor)->Arg(0)->Arg(1);
BENCHMARK(BM_Cp1252ToUtf8_IcuConvertEx)->Arg(0)->Arg(1);
BENCHMARK(BM_Cp1252ToUtf8_Iconv)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();

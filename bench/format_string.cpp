// FormatString (every log line goes through it) beside a plain snprintf into
// a std::string sized by a counting pass; ExtractLastNumber beside the
// std::regex match it replaces.
#include <benchmark/benchmark.h>

#include <cstdarg>
#include <cstdio>
#include <regex>
#include <string>

#include "core/text/string_helpers.h"

namespace {

// A typical log line; the arguments are hidden from the optimiser.
struct LineArgs {
  const char* label = "Position fix";
  int count = 12345;
  double latitude = 52.123456;
  const char* status = "(RTK fixed)";
  LineArgs() {
    benchmark::DoNotOptimize(label);
    benchmark::DoNotOptimize(count);
    benchmark::DoNotOptimize(latitude);
    benchmark::DoNotOptimize(status);
  }
};

void BM_FormatString(benchmark::State& state) {
  const LineArgs a;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatString("%s %d %.3f %s", a.label, a.count, a.latitude, a.status));
  }
}
BENCHMARK(BM_FormatString);

// What a user writes without the helper: count, size, format.
#if defined(__clang__)
#define ZOR_BENCH_OPAQUE __attribute__((noinline))
#else
// GCC would otherwise propagate the format into a false truncation warning.
#define ZOR_BENCH_OPAQUE __attribute__((noipa))
#endif
std::string SnprintfTwoPass(const char* format, ...)
    __attribute__((format(printf, 1, 2))) ZOR_BENCH_OPAQUE;
std::string SnprintfTwoPass(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

void BM_BaselineSnprintfTwoPass(benchmark::State& state) {
  const LineArgs a;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        SnprintfTwoPass("%s %d %.3f %s", a.label, a.count, a.latitude, a.status));
  }
}
BENCHMARK(BM_BaselineSnprintfTwoPass);

std::string NumberText() { return "Sensor serial port COM3 firmware rev 2 build 10 ok"; }

void BM_ExtractLastNumber(benchmark::State& state) {
  const std::string text = NumberText();
  for (auto _ : state) benchmark::DoNotOptimize(ExtractLastNumber(text, -1));
}
BENCHMARK(BM_ExtractLastNumber);

void BM_BaselineRegexLastNumber(benchmark::State& state) {
  const std::string text = NumberText();
  for (auto _ : state) {
    const std::regex pattern(".*?([0-9]+)[^0-9]*");
    std::smatch match;
    int value = -1;
    if (std::regex_match(text, match, pattern)) value = std::stoi(match[1].str());
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_BaselineRegexLastNumber);

}  // namespace

BENCHMARK_MAIN();

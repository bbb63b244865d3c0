// Lines a second that the message log writes to its file, beside a plain
// fprintf loop writing lines of the same shape: once buffered, and once
// flushed after every line as the log does so that a crash loses nothing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "core/log/logger.h"

namespace {

std::string BenchFile(const char* name) {
  const char* base = std::getenv("ZOR_TEST_TMP");
  std::string dir = base && *base ? base : "/tmp";
  return dir + "/zor_bench_log_" + std::to_string(getpid()) + "_" + name;
}

void BM_Log(benchmark::State& state) {
  const std::string path = BenchFile("log.log");
  InitLogging(2, kLogFile, 0, path.c_str(), false, 3, false);
  int i = 0;
  for (auto _ : state) {
    Log(LogLevel::Info, "sounding %d depth %.2f m", ++i, 12.5);
  }
  StopLogging();
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Log);

// The same line with a two-piece message: the second line is indented.
void BM_LogTwoPieces(benchmark::State& state) {
  const std::string path = BenchFile("pieces.log");
  InitLogging(2, kLogFile, 0, path.c_str(), false, 3, false);
  int i = 0;
  for (auto _ : state) {
    Log(LogLevel::Warning, "sounding %d|depth %.2f m", ++i, 12.5);
  }
  StopLogging();
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogTwoPieces);

void FprintfLoop(benchmark::State& state, const char* name, bool flush) {
  const std::string path = BenchFile(name);
  FILE* f = std::fopen(path.c_str(), "w");
  int i = 0;
  for (auto _ : state) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    gmtime_r(&ts.tv_sec, &tm);
    std::fprintf(f, "%02d/%02d/%04d %02d:%02d:%02d.%03ld ->  INFO   : sounding %d depth %.2f m\n",
                 tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec,
                 ts.tv_nsec / 1000000, ++i, 12.5);
    if (flush) std::fflush(f);
  }
  std::fclose(f);
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations());
}

void BM_BaselineFprintf(benchmark::State& state) { FprintfLoop(state, "plain.log", false); }
BENCHMARK(BM_BaselineFprintf);

void BM_BaselineFprintfFlushEachLine(benchmark::State& state) {
  FprintfLoop(state, "flush.log", true);
}
BENCHMARK(BM_BaselineFprintfFlushEachLine);

}  // namespace

BENCHMARK_MAIN();

// Lines a second that the message log writes to its file, beside a plain
// fprintf loop writing the same lines: once buffered, and once flushed after
// every line as the log does so that a crash loses nothing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
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

// One line as the log writes it ("dd/mm/yyyy hh:mm:ss.mmm ->  INFO   : ..."),
// stamped with the UTC clock.
void PrintLine(FILE* f, int n, bool flush) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  gmtime_r(&ts.tv_sec, &tm);
  std::fprintf(f, "%02d/%02d/%04d %02d:%02d:%02d.%03ld ->  INFO   : sounding %d depth %.2f m\n",
               tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec,
               ts.tv_nsec / 1000000, n, 12.5);
  if (flush) std::fflush(f);
}

void FprintfLoop(benchmark::State& state, const char* name, bool flush) {
  const std::string path = BenchFile(name);
  FILE* f = std::fopen(path.c_str(), "w");
  int i = 0;
  for (auto _ : state) PrintLine(f, ++i, flush);
  std::fclose(f);
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations());
}

// The log and the fprintf loop side by side in one run, each writing one
// flushed line of the same text to a file in the same folder (one write
// call a line on both sides), in alternating batches so that the disk and a
// loaded machine weigh on both alike. "log_vs_fprintf" is the fprintf
// side's time over the log's: 1 or more means the log is at least as fast.
// Read the median of the repetitions.
void BM_LogVsFprintfFlushEachLine(benchmark::State& state) {
  constexpr int kBatch = 32;
  const std::string logPath = BenchFile("side_log.log");
  const std::string plainPath = BenchFile("side_plain.log");
  InitLogging(2, kLogFile, 0, logPath.c_str(), false, 3, false);
  FILE* f = std::fopen(plainPath.c_str(), "w");
  using Clock = std::chrono::steady_clock;
  Clock::duration logTime{}, plainTime{};
  bool logFirst = true;
  int i = 0;
  for (auto _ : state) {
    for (int pass = 0; pass < 2; ++pass) {
      const auto start = Clock::now();
      if ((pass == 0) == logFirst) {
        for (int k = 0; k < kBatch; ++k) Log(LogLevel::Info, "sounding %d depth %.2f m", ++i, 12.5);
        logTime += Clock::now() - start;
      } else {
        for (int k = 0; k < kBatch; ++k) PrintLine(f, ++i, true);
        plainTime += Clock::now() - start;
      }
    }
    logFirst = !logFirst;
  }
  std::fclose(f);
  StopLogging();
  std::remove(plainPath.c_str());
  std::remove(logPath.c_str());
  state.counters["log_vs_fprintf"] =
      std::chrono::duration<double>(plainTime) / std::chrono::duration<double>(logTime);
  state.SetItemsProcessed(state.iterations() * kBatch * 2);
}
BENCHMARK(BM_LogVsFprintfFlushEachLine)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_BaselineFprintf(benchmark::State& state) { FprintfLoop(state, "plain.log", false); }
BENCHMARK(BM_BaselineFprintf);

void BM_BaselineFprintfFlushEachLine(benchmark::State& state) {
  FprintfLoop(state, "flush.log", true);
}
BENCHMARK(BM_BaselineFprintfFlushEachLine);

}  // namespace

BENCHMARK_MAIN();

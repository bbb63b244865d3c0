// The pieces a crash report is made of, beside what a program would use when
// nothing had failed: the allocation-free formatter beside snprintf for a
// crash-log line, the fault-proof memory read beside memcpy for a page of
// stack, and a whole minidump of this process.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/minidump_writer.h"
#include "platform/proc_maps.h"
#include "platform/safe_format.h"
#include "platform/safe_memory.h"
#include "platform/signal_crash.h"

namespace {

constexpr const char* kLine = "%s caused %s (0x%08x) \r\nin module %s at %04x:%016llx.\r\n\r\n";

void BM_CrashLine_SafeFormat(benchmark::State& state) {
  char out[1024];
  for (auto _ : state) {
    benchmark::DoNotOptimize(zor::platform::SafeFormat(out, sizeof out, kLine, "drv.exe",
                                                       "an Access Violation", 0xC0000005u,
                                                       "libzor.so", 0x33u, 0x7f12345678ull));
  }
}
BENCHMARK(BM_CrashLine_SafeFormat);

void BM_CrashLine_Snprintf(benchmark::State& state) {
  char out[1024];
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(out, sizeof out, kLine, "drv.exe", "an Access Violation",
                                           0xC0000005u, "libzor.so", 0x33u, 0x7f12345678ull));
  }
}
BENCHMARK(BM_CrashLine_Snprintf);

void BM_StackPage_SafeRead(benchmark::State& state) {
  std::vector<uint8_t> source(4096, 7), out(4096);
  for (auto _ : state) {
    benchmark::DoNotOptimize(zor::platform::SafeRead(reinterpret_cast<uint64_t>(source.data()),
                                                     out.data(), out.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
}
BENCHMARK(BM_StackPage_SafeRead);

void BM_StackPage_Memcpy(benchmark::State& state) {
  std::vector<uint8_t> source(4096, 7), out(4096);
  for (auto _ : state) {
    std::memcpy(out.data(), source.data(), out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
}
BENCHMARK(BM_StackPage_Memcpy);

void BM_ProcMaps_Load(benchmark::State& state) {
  auto maps = std::make_unique<zor::platform::ProcMaps>();
  for (auto _ : state) benchmark::DoNotOptimize(maps->Load());
}
BENCHMARK(BM_ProcMaps_Load);

void BM_Minidump_Write(benchmark::State& state) {
  char path[] = "/tmp/zor_bench_dumpXXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  zor::platform::CONTEXT context;
  zor::platform::CaptureContext(context);
  zor::platform::MinidumpRequest request;
  request.threadId = static_cast<uint32_t>(::gettid());
  request.context = &context;
  for (auto _ : state) {
    if (::ftruncate(fd, 0) != 0) state.SkipWithError("cannot truncate");
    benchmark::DoNotOptimize(zor::platform::WriteMinidump(fd, request));
  }
  ::close(fd);
  ::unlink(path);
}
BENCHMARK(BM_Minidump_Write)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

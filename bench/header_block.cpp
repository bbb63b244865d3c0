// Reading a 100,000-entry header block from the settings buffer (the driver's
// refill at every initialisation), beside a plain memcpy of the same bytes.
// The counter time_vs_memcpy is the list's time over the memcpy's in the same
// run (run the baseline too: it is registered first).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"
#include "bench/bench_ratio.h"
#include "database/definitions/hdr_list.h"

namespace {

constexpr int kEntries = 100000;

// A header list of record types and payload sizes in the mix a project holds.
CIpcItemBuffer& Settings() {
  static CIpcItemBuffer settings = [] {
    CIpcItemBuffer buffer("Settings");
    buffer.GetBuffer().AddBlock(23, 0, 0);
    static constexpr struct { int32_t recId; uint32_t size; } kMix[] = {
        {139, 4}, {153, 48}, {13, 72}, {230, 112}, {205, 664}, {16, 8}, {256, 152}};
    CHdrList list;
    std::vector<uint8_t> payload(1024);
    for (int i = 0; i < kEntries; ++i) {
      const auto& m = kMix[i % std::size(kMix)];
      std::memset(payload.data(), i & 0xFF, m.size);
      list.AddEntry(m.recId, m.size, payload.data(), i);
    }
    list.WriteToSettingsBuffer(&buffer, 1);
    return buffer;
  }();
  return settings;
}

// Baseline: one copy of the block's bytes into memory already allocated.
void BM_MemcpyHeaderBlock(benchmark::State& state) {
  CIpcItemBuffer& settings = Settings();
  const std::size_t bytes = settings.GetBuffer().GetBlockSize(0);
  std::vector<uint8_t> out(bytes);
  BenchClock clock;
  for (auto _ : state) {
    clock.Start();
    std::memcpy(out.data(), settings.GetBuffer().GetBlockData(0), bytes);
    benchmark::ClobberMemory();
    clock.Stop();
  }
  clock.SetBaseline("memcpy");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_MemcpyHeaderBlock)->Unit(benchmark::kMillisecond);

// A list made, filled and freed per round, as the driver's refill would if
// it did not keep its list. time_vs_memcpy: this time over the baseline's.
void BM_HdrListReadFromSettingsBuffer(benchmark::State& state) {
  CIpcItemBuffer& settings = Settings();
  const std::size_t bytes = settings.GetBuffer().GetBlockSize(0);
  BenchClock clock;
  for (auto _ : state) {
    clock.Start();
    CHdrList list;
    if (!list.ReadFromSettingsBuffer(&settings, 1)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(list.GetGpsUtcOffset());
    list.RemoveAll();
    clock.Stop();
  }
  clock.ReportTimeRatio(state, "memcpy", "time_vs_memcpy", "target <= 3");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_HdrListReadFromSettingsBuffer)->Unit(benchmark::kMillisecond);

// The driver's own pattern: one list for the life of the process, emptied
// and refilled at each initialisation.
void BM_HdrListRefillFromSettingsBuffer(benchmark::State& state) {
  CIpcItemBuffer& settings = Settings();
  const std::size_t bytes = settings.GetBuffer().GetBlockSize(0);
  BenchClock clock;
  CHdrList list;
  for (auto _ : state) {
    clock.Start();
    list.RemoveAll();
    if (!list.ReadFromSettingsBuffer(&settings, 1)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(list.GetGpsUtcOffset());
    clock.Stop();
  }
  clock.ReportTimeRatio(state, "memcpy", "time_vs_memcpy", "target <= 3");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_HdrListRefillFromSettingsBuffer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

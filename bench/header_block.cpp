// Reading a 100,000-entry header block from the settings buffer (the driver's
// refill at every initialisation), beside a plain memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"
#include "database/header/hdr_list.h"

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

void BM_HdrListReadFromSettingsBuffer(benchmark::State& state) {
  CIpcItemBuffer& settings = Settings();
  const std::size_t bytes = settings.GetBuffer().GetBlockSize(0);
  for (auto _ : state) {
    CHdrList list;
    if (!list.ReadFromSettingsBuffer(&settings, 1)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(list.GetGpsUtcOffset());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_HdrListReadFromSettingsBuffer)->Unit(benchmark::kMillisecond);

// Baseline: one copy of the block's bytes into memory already allocated.
void BM_MemcpyHeaderBlock(benchmark::State& state) {
  CIpcItemBuffer& settings = Settings();
  const std::size_t bytes = settings.GetBuffer().GetBlockSize(0);
  std::vector<uint8_t> out(bytes);
  for (auto _ : state) {
    std::memcpy(out.data(), settings.GetBuffer().GetBlockData(0), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_MemcpyHeaderBlock)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Reading 10,000 system definitions from a settings-buffer block into a
// CSysDefList (records in slabs the list owns, the count checked against the
// block),
// beside a plain memcpy of the same 5 MB and a hand-written loop that copies
// each record into its own heap block. The program checks that the list
// reads back the bytes it was given before it measures. The counter
// time_vs_memcpy is the list's time over the memcpy's in the same run.
//
// Freeing 5 MB of small blocks lets glibc hand the heap top back to the
// kernel, and the next round then pays for page faults, differently for each
// benchmark depending on what else sits on the heap. Trimming is switched
// off so that all three measure copying and allocation alike.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "Drivers/framework/ipc_item_buffer.h"
#include "bench/bench_ratio.h"
#include "database/definitions/sys_def_list.h"

namespace {

constexpr int kBlock = 19;
constexpr uint32_t kCount = 10000;

CIpcItemBuffer& Settings() {
  static CIpcItemBuffer* settings = [] {
    auto* s = new CIpcItemBuffer("Settings");
    Zor::MultiIPCBuffer& buf = s->GetBuffer();
    while (buf.GetBlockCount() < kBlock - 1) buf.AddBlock(0, 0, 0);
    const int index = buf.AddBlock(kBlock, sizeof(sSysDef), kCount);
    uint8_t* data = buf.GetBlockData(index);
    for (uint32_t i = 0; i < buf.GetBlockSize(index); ++i) data[i] = static_cast<uint8_t>(i * 31);
    buf.SetRecordCount(index, kCount);

    CSysDefList check;
    check.ReadFromSettingsBuffer(s, kBlock);
    bool same = check.GetCount() == static_cast<int32_t>(kCount);
    for (uint32_t i = 0; same && i < kCount; ++i)
      same = std::memcmp(check.GetAt(static_cast<int32_t>(i)), data + i * sizeof(sSysDef),
                         sizeof(sSysDef)) == 0;
    check.RemoveAll();
    if (!same) {
      std::fprintf(stderr, "the list does not read back the block's bytes\n");
      std::abort();
    }
    return s;
  }();
  return *settings;
}

void BM_ReadSysDefs_Memcpy(benchmark::State& state) {
  const Zor::MultiIPCBuffer& buf = Settings().GetBuffer();
  const uint8_t* data = buf.GetBlockData(kBlock - 1);
  std::vector<uint8_t> out(kCount * sizeof(sSysDef));
  BenchClock clock;
  for (auto _ : state) {
    clock.Start();
    std::memcpy(out.data(), data, out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    clock.Stop();
  }
  clock.SetBaseline("memcpy");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
}
BENCHMARK(BM_ReadSysDefs_Memcpy);

void BM_ReadSysDefs_List(benchmark::State& state) {
  CIpcItemBuffer& settings = Settings();
  CSysDefList list;
  BenchClock clock;
  for (auto _ : state) {
    clock.Start();
    list.ReadFromSettingsBuffer(&settings, kBlock);
    benchmark::DoNotOptimize(list.GetTail());
    list.RemoveAll();
    clock.Stop();
  }
  clock.ReportTimeRatio(state, "memcpy", "time_vs_memcpy", "target <= 3");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCount * sizeof(sSysDef)));
}
BENCHMARK(BM_ReadSysDefs_List);

void BM_ReadSysDefs_HeapRecordLoop(benchmark::State& state) {
  const Zor::MultiIPCBuffer& buf = Settings().GetBuffer();
  const uint8_t* data = buf.GetBlockData(kBlock - 1);
  std::vector<std::unique_ptr<sSysDef>> out;
  for (auto _ : state) {
    out.reserve(kCount);
    for (uint32_t i = 0; i < kCount; ++i) {
      auto r = std::make_unique<sSysDef>();
      std::memcpy(r.get(), data + i * sizeof(sSysDef), sizeof(sSysDef));
      out.push_back(std::move(r));
    }
    benchmark::DoNotOptimize(out.back().get());
    out.clear();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCount * sizeof(sSysDef)));
}
BENCHMARK(BM_ReadSysDefs_HeapRecordLoop);

}  // namespace

int main(int argc, char** argv) {
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

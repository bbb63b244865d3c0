// Loading a header list of 100,000 entries from a project database (block 33)
// beside the baseline of reading the same file front to back with plain
// read() calls of 64 KiB. Two mixes: every record type of the catalogue in
// turn at its own size (some types hold 28 KB, most under 1 KB), and only
// the small records (up to 128 bytes), where the cost per entry counts most.
// Every benchmark reports the file's bytes a second, and the loads report
// speed_vs_plain_read: the plain reads' time over the load's for the same
// file (the plain reads are registered first, so run them too). Building the same entries in memory shows what
// appending entries one by one costs without any file; saving the list is
// measured too.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_ratio.h"
#include "database/blockfile/block_file.h"
#include "database/catalogue/record_type_size.h"
#include "database/definitions/hdr_list.h"

namespace {

using zor::platform::File;

constexpr int kEntries = 100000;
// The payload of record types without a fixed size.
constexpr uint32_t kVariableSize = 32;

enum Mix { kAllTypes = 0, kSmallTypes = 1 };

// A database of an events block and a header block of kEntries entries,
// removed when the program ends.
class BenchDatabase {
 public:
  explicit BenchDatabase(Mix mix) {
    const char* base = std::getenv("ZOR_TEST_TMP");
    path_ = std::string(base && *base ? base : "/tmp") + "/zor_bench_header_list_load_" +
            std::to_string(::getpid()) + "_" + std::to_string(mix) + ".zdb";
    std::vector<int32_t> types;
    for (int32_t r = 1; r <= kLastRecId; ++r) {
      const uint32_t size = RecordTypeSize(r);
      if (mix == kAllTypes || size <= 128) types.push_back(r);
    }
    CHdrList list;
    std::vector<uint8_t> payload(30000, 0x5A);
    for (int i = 0; i < kEntries; ++i) {
      const int32_t r = types[static_cast<std::size_t>(i) % types.size()];
      const uint32_t size = RecordTypeSize(r) != 0 ? RecordTypeSize(r) : kVariableSize;
      list.AddEntry(r, size, payload.data(), i);
    }
    CBlockFile db;
    db.Open(path_, File::modeCreate | File::modeReadWrite);
    db.SetBlockCount(1);
    const uint64_t start = db.BeginBlock();
    db.Write(payload.data(), 64);
    db.WriteBlockHeader(start, 64, kBlockObservationEvents);
    list.Save(db, 0);
    db.SetBlockCount(2);
    size_ = db.GetLength();
    db.Close();
  }
  ~BenchDatabase() { ::unlink(path_.c_str()); }
  const std::string& path() const { return path_; }
  uint64_t size() const { return size_; }

 private:
  std::string path_;
  uint64_t size_ = 0;
};

const BenchDatabase& Database(Mix mix) {
  static const BenchDatabase all(kAllTypes);
  static const BenchDatabase small(kSmallTypes);
  return mix == kAllTypes ? all : small;
}

std::string BaselineName(const benchmark::State& state) {
  return "plain read " + std::to_string(state.range(0));
}

void BM_PlainSequentialRead(benchmark::State& state) {
  const BenchDatabase& db = Database(static_cast<Mix>(state.range(0)));
  const int fd = ::open(db.path().c_str(), O_RDONLY);
  std::vector<char> buffer(1 << 16);
  BenchClock clock;
  for (auto _ : state) {
    clock.Start();
    ::lseek(fd, 0, SEEK_SET);
    uint64_t total = 0;
    ssize_t n = 0;
    while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<uint64_t>(n);
    benchmark::DoNotOptimize(total);
    clock.Stop();
  }
  ::close(fd);
  clock.SetBaseline(BaselineName(state));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_PlainSequentialRead)->Arg(kAllTypes)->Arg(kSmallTypes)->Unit(benchmark::kMillisecond);

void BM_HdrListLoad(benchmark::State& state) {
  const BenchDatabase& db = Database(static_cast<Mix>(state.range(0)));
  CBlockFile file;
  file.Open(db.path(), File::modeRead);
  CHdrList list;
  BenchClock clock;
  for (auto _ : state) {
    // Freeing the previous list is not part of loading this one.
    state.PauseTiming();
    list.RemoveAll();
    state.ResumeTiming();
    clock.Start();
    const bool loaded = list.Load(file, false, 0);
    clock.Stop();
    if (!loaded || list.GetCount() != kEntries) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(list.GetGpsUtcOffset());
  }
  clock.ReportSpeedRatio(state, BaselineName(state), "speed_vs_plain_read",
                         "list refilled: reuses its memory");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_HdrListLoad)->Arg(kAllTypes)->Arg(kSmallTypes)->Unit(benchmark::kMillisecond);

// The same into a new list each round, which cannot reuse the memory of the
// one before (a list keeps its largest payload block when emptied): what a
// program that opens a project pays, so the target is set here.
void BM_HdrListLoadIntoNewList(benchmark::State& state) {
  const BenchDatabase& db = Database(static_cast<Mix>(state.range(0)));
  CBlockFile file;
  file.Open(db.path(), File::modeRead);
  BenchClock clock;
  for (auto _ : state) {
    state.PauseTiming();
    auto list = std::make_unique<CHdrList>();
    state.ResumeTiming();
    clock.Start();
    const bool loaded = list->Load(file, false, 0);
    clock.Stop();
    if (!loaded || list->GetCount() != kEntries) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(list->GetGpsUtcOffset());
    state.PauseTiming();
    list.reset();
    state.ResumeTiming();
  }
  clock.ReportSpeedRatio(state, BaselineName(state), "speed_vs_plain_read",
                         "new list: target >= 0.5");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_HdrListLoadIntoNewList)
    ->Arg(kAllTypes)
    ->Arg(kSmallTypes)
    ->Unit(benchmark::kMillisecond);

// The same entries appended one by one from memory (AddEntry: a heap
// payload each), no file at all.
void BM_BuildEntriesInMemory(benchmark::State& state) {
  const BenchDatabase& db = Database(static_cast<Mix>(state.range(0)));
  std::vector<uint32_t> sizes;
  {
    CHdrList loaded;
    CBlockFile file;
    file.Open(db.path(), File::modeRead);
    loaded.Load(file, false, 0);
    for (const sHdrEntry& e : loaded) sizes.push_back(e.Size());
    loaded.RemoveAll();
  }
  const std::vector<uint8_t> source(30000, 0x5A);
  CHdrList list;
  for (auto _ : state) {
    state.PauseTiming();
    list.RemoveAll();
    state.ResumeTiming();
    for (uint32_t size : sizes) list.AddEntry(83, size, source.data(), -1);
    benchmark::DoNotOptimize(list.GetCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_BuildEntriesInMemory)->Arg(kAllTypes)->Arg(kSmallTypes)->Unit(benchmark::kMillisecond);

void BM_HdrListSave(benchmark::State& state) {
  const BenchDatabase& db = Database(static_cast<Mix>(state.range(0)));
  CHdrList list;
  {
    CBlockFile file;
    file.Open(db.path(), File::modeRead);
    list.Load(file, false, 0);
  }
  const std::string path = db.path() + ".save";
  CBlockFile out;
  out.Open(path, File::modeCreate | File::modeReadWrite);
  for (auto _ : state) {
    out.SetBlockCount(0);
    list.Save(out, 0);
  }
  out.Close();
  ::unlink(path.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_HdrListSave)->Arg(kAllTypes)->Arg(kSmallTypes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

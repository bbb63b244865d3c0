// Walking a project database of 10,000 blocks: FindBlock of the last block,
// the text dump and the collection of every block behind the events block,
// beside the baseline of reading the same file front to back with plain
// read() calls of 64 KiB, and a plain header-by-header walk (one read and
// one lseek per block) for comparison. Every benchmark reports the file's
// bytes a second, so the ratios read straight off the output; the text
// dump also reports its ratio to the plain read as a counter.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "database/blockfile/block_file.h"
#include "database/blockfile/block_file_dump.h"

namespace {

using zor::platform::File;

constexpr int kBlocks = 10000;
constexpr uint32_t kLastType = 42;

// A database of kBlocks blocks: the events block first, then blocks of 16
// to 1000 bytes (definition lists and event records of every size), the
// last of type kLastType. Removed when the program ends.
class BenchDatabase {
 public:
  BenchDatabase() {
    const char* base = std::getenv("ZOR_TEST_TMP");
    path_ = std::string(base && *base ? base : "/tmp") + "/zor_bench_block_file_" +
            std::to_string(::getpid()) + ".zdb";
    CBlockFile db;
    db.Open(path_, File::modeCreate | File::modeReadWrite);
    db.SetBlockCount(kBlocks);
    std::vector<uint8_t> data(1000, 0x5A);
    uint32_t seed = 12345;
    for (int i = 0; i < kBlocks; ++i) {
      seed = seed * 1103515245u + 12345u;
      const uint32_t size = 16 + (seed >> 16) % 985;
      const uint32_t type = i == 0 ? 7 : i == kBlocks - 1 ? kLastType : 1 + (seed >> 8) % 30;
      const uint64_t start = db.BeginBlock();
      db.Write(data.data(), size);
      db.WriteBlockHeader(start, size, type);
    }
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

const BenchDatabase& Database() {
  static const BenchDatabase db;
  return db;
}

// One pass of the baseline: the whole file through read() calls of 64 KiB.
uint64_t PlainRead(int fd, std::vector<char>& buffer) {
  ::lseek(fd, 0, SEEK_SET);
  uint64_t total = 0;
  ssize_t n = 0;
  while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<uint64_t>(n);
  return total;
}

void BM_PlainSequentialRead(benchmark::State& state) {
  const BenchDatabase& db = Database();
  const int fd = ::open(db.path().c_str(), O_RDONLY);
  std::vector<char> buffer(1 << 16);
  for (auto _ : state) benchmark::DoNotOptimize(PlainRead(fd, buffer));
  ::close(fd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}

// The best time of a plain read pass, for the ratio a benchmark reports
// beside its own time: measured in the same run, right before it.
double PlainReadSeconds() {
  const BenchDatabase& db = Database();
  const int fd = ::open(db.path().c_str(), O_RDONLY);
  std::vector<char> buffer(1 << 16);
  double best = 1e9;
  for (int i = 0; i < 50; ++i) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(PlainRead(fd, buffer));
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  ::close(fd);
  return best;
}
BENCHMARK(BM_PlainSequentialRead);

void BM_PlainHeaderWalk(benchmark::State& state) {
  const BenchDatabase& db = Database();
  const int fd = ::open(db.path().c_str(), O_RDONLY);
  for (auto _ : state) {
    ::lseek(fd, 0, SEEK_SET);
    int32_t count = 0;
    if (::read(fd, &count, 4) != 4) break;
    uint32_t header[2] = {};
    off_t found = -1;
    for (int32_t i = 0; i < count; ++i) {
      const off_t at = ::lseek(fd, 0, SEEK_CUR);
      if (::read(fd, header, 8) != 8) break;
      if (header[0] == kLastType) {
        found = at;
        break;
      }
      ::lseek(fd, header[1], SEEK_CUR);
    }
    benchmark::DoNotOptimize(found);
  }
  ::close(fd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_PlainHeaderWalk);

void BM_FindBlock(benchmark::State& state) {
  const BenchDatabase& db = Database();
  CBlockFile file;
  file.Open(db.path(), File::modeRead);
  for (auto _ : state) benchmark::DoNotOptimize(file.FindBlock(kLastType));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_FindBlock);

void BM_DumpBlockFile(benchmark::State& state) {
  const BenchDatabase& db = Database();
  CBlockFile file;
  file.Open(db.path(), File::modeRead);
  std::vector<std::string> lines;
  for (auto _ : state) {
    file.DumpBlockFile(lines);
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_DumpBlockFile);

// The dump as the zordb tool makes it: the text in 64 KiB pieces, written
// to /dev/null. "vs_plain_read" is the time of a plain read of the file
// divided by the dump's (1 would be as fast as reading the file).
void BM_DumpBlockFileText(benchmark::State& state) {
  const BenchDatabase& db = Database();
  const double plain = PlainReadSeconds();
  CBlockFile file;
  file.Open(db.path(), File::modeRead);
  const int out = ::open("/dev/null", O_WRONLY);
  const auto write = [out](std::string_view text) {
    benchmark::DoNotOptimize(::write(out, text.data(), text.size()));
  };
  double best = 1e9;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(DumpBlockFileText(file, write));
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  ::close(out);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
  state.counters["vs_plain_read"] = plain / best;
}
BENCHMARK(BM_DumpBlockFileText);

void BM_CollectBlocksAfterEvents(benchmark::State& state) {
  const BenchDatabase& db = Database();
  CBlockFile file;
  file.Open(db.path(), File::modeRead);
  std::vector<uint8_t> out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(file.CollectBlocksAfterEvents(out));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * db.size()));
}
BENCHMARK(BM_CollectBlocksAfterEvents);

}  // namespace

BENCHMARK_MAIN();

// Settings reads and writes through CZORRegistry, as the driver does them,
// beside the baseline of re-reading and parsing the hive file from scratch on
// every read (what a store without a revalidated cache would do), and a
// crash-safe write beside a plain rewrite of the file without fsync or rename.
// BM_RegistryReadCached reports the ratio of the two reads itself.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry_change_counter.h"
#include "platform/registry_file_format.h"
#include "platform/registry_store.h"
#include "system/registry/zor_registry.h"

namespace {

namespace reg = zor::platform;

// A hive of a realistic size: 40 programs with 10 settings each.
class BenchHive {
 public:
  BenchHive() {
    const char* base = std::getenv("ZOR_TEST_TMP");
    folder_ = std::string(base && *base ? base : "/tmp") + "/zor_bench_registry_" +
              std::to_string(getpid());
    std::filesystem::create_directories(folder_);
    setenv("ZOR_REGISTRY_DIR", folder_.c_str(), 1);
    for (int p = 0; p < 40; ++p) {
      CZORRegistry r("Program" + std::to_string(p), 2, 3);
      for (int v = 0; v < 10; ++v) r.WriteLong("Setting" + std::to_string(v), v);
    }
    CZORRegistry drv("Drv", 2, 3);
    drv.WriteByte("Enable File Logging", 1);
  }
  ~BenchHive() {
    reg::RegistryChangeCounter::Remove(folder_);
    std::filesystem::remove_all(folder_);
  }
  std::string HiveFile() const { return reg::RegistryHiveFile(reg::RegistryHive::kCurrentUser); }

 private:
  std::string folder_;
};

BenchHive& Hive() {
  static BenchHive hive;
  return hive;
}

// What a store without a revalidated cache does for every read: read the
// whole hive file, parse it and look the value up.
uint8_t ReparseRead(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  reg::RegistryNode root;
  reg::ParseHive(text.str(), root);
  static const std::vector<std::string> path = {"Software", "Zor", "Tridu",   "8.0",
                                                "Drivers",  "Drv", "Settings"};
  const reg::RegistryNode* node = root.Find(path);
  const reg::RegistryValue* v = node ? node->FindValue("Enable File Logging") : nullptr;
  return v && v->data.size() == 1 ? v->data[0] : 0;
}

double NsPerCall(std::chrono::steady_clock::duration d, int64_t calls) {
  return std::chrono::duration<double, std::nano>(d).count() / static_cast<double>(calls);
}

// One read through an object that stays open: a look at the change counter
// and a look-up. The counter x_faster_than_reparse is how many of these take
// the time of one re-parse of the hive (measured right after, in this run).
void BM_RegistryReadCached(benchmark::State& state) {
  const std::string file = Hive().HiveFile();
  CZORRegistry r("Drv", 2, 3);
  uint8_t enabled = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    r.ReadByteDefault("Enable File Logging", enabled, 0);
    benchmark::DoNotOptimize(enabled);
  }
  const double cached = NsPerCall(std::chrono::steady_clock::now() - start,
                                  static_cast<int64_t>(state.iterations()));
  state.SetItemsProcessed(state.iterations());
  constexpr int kReparses = 100;
  const auto reparse_start = std::chrono::steady_clock::now();
  for (int i = 0; i < kReparses; ++i) benchmark::DoNotOptimize(ReparseRead(file));
  const double reparse = NsPerCall(std::chrono::steady_clock::now() - reparse_start, kReparses);
  state.counters["x_faster_than_reparse"] = reparse / cached;
}
BENCHMARK(BM_RegistryReadCached);

// What the driver does: construct, read one value, destroy.
void BM_RegistryOpenReadClose(benchmark::State& state) {
  Hive();
  uint8_t enabled = 0;
  for (auto _ : state) {
    CZORRegistry r("Drv", 2, 3);
    r.ReadByteDefault("Enable File Logging", enabled, 0);
    benchmark::DoNotOptimize(enabled);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegistryOpenReadClose);

// Baseline: read the whole hive file and parse it for every read.
void BM_BaselineReparseHiveFile(benchmark::State& state) {
  const std::string file = Hive().HiveFile();
  for (auto _ : state) benchmark::DoNotOptimize(ReparseRead(file));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BaselineReparseHiveFile);

// A crash-safe write: lock, temporary file, fsync, rename, fsync of the folder.
void BM_RegistryWrite(benchmark::State& state) {
  Hive();
  CZORRegistry r("Drv", 2, 3);
  int32_t n = 0;
  for (auto _ : state) r.WriteLong("Counter", ++n);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegistryWrite)->Unit(benchmark::kMicrosecond);

// Baseline: serialise the same tree and overwrite the file in place, with
// neither fsync nor rename (a crash can leave a cut-off file).
void BM_BaselinePlainRewrite(benchmark::State& state) {
  const std::string file = Hive().HiveFile() + ".plain";
  reg::RegistryNode root;
  {
    std::ifstream in(Hive().HiveFile(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    reg::ParseHive(text.str(), root);
  }
  uint32_t n = 0;
  for (auto _ : state) {
    ++n;
    root.SetValue("Counter", reg::REG_DWORD, {reinterpret_cast<const uint8_t*>(&n), 4});
    const std::string text = reg::SerializeHive(root);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BaselinePlainRewrite)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Settings reads and writes through CZORRegistry, as the driver does them,
// beside the baseline of re-reading and parsing the hive file from scratch on
// every read (what a store without a revalidated cache would do), and a
// crash-safe write beside a plain rewrite of the file without fsync or rename.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
  ~BenchHive() { std::filesystem::remove_all(folder_); }
  std::string HiveFile() const { return reg::RegistryHiveFile(reg::RegistryHive::kCurrentUser); }

 private:
  std::string folder_;
};

BenchHive& Hive() {
  static BenchHive hive;
  return hive;
}

// One read through an object that stays open: a stat and a look-up.
void BM_RegistryReadCached(benchmark::State& state) {
  Hive();
  CZORRegistry r("Drv", 2, 3);
  uint8_t enabled = 0;
  for (auto _ : state) {
    r.ReadByteDefault("Enable File Logging", enabled, 0);
    benchmark::DoNotOptimize(enabled);
  }
  state.SetItemsProcessed(state.iterations());
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
  uint8_t enabled = 0;
  for (auto _ : state) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    reg::RegistryNode root;
    reg::ParseHive(text.str(), root);
    const std::vector<std::string> path = {"Software", "Zor",  "Tridu",   "8.0",
                                           "Drivers",  "Drv", "Settings"};
    const reg::RegistryNode* node = root.Find(path);
    const reg::RegistryValue* v = node ? node->FindValue("Enable File Logging") : nullptr;
    enabled = v && v->data.size() == 1 ? v->data[0] : 0;
    benchmark::DoNotOptimize(enabled);
  }
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

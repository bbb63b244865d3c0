// CRC-32 (checksum mode 4) beside zlib's crc32 over 64 KiB, with CRC-16
// (mode 3) and a byte-at-a-time table loop for scale. Mode 4 starts from 0
// and has no final XOR, so its value is ~crc32(0xFFFFFFFF, ...) in zlib's
// terms; the program checks that relation before it measures throughput.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "core/text/checksum.h"

namespace {

const std::string& Data() {
  static const std::string kData = [] {
    std::string d(64 * 1024, '\0');
    std::mt19937 rng(7);
    for (char& c : d) c = static_cast<char>(rng());
    const uint32_t zlib_value = ~static_cast<uint32_t>(
        crc32(0xFFFFFFFFul, reinterpret_cast<const Bytef*>(d.data()), static_cast<uInt>(d.size())));
    if (ComputeChecksumValue(d, 4) != zlib_value) {
      std::fprintf(stderr, "CRC-32 differs from zlib's relation\n");
      std::abort();
    }
    return d;
  }();
  return kData;
}

void BM_Crc32_Ours(benchmark::State& state) {
  const std::string& d = Data();
  for (auto _ : state) benchmark::DoNotOptimize(ComputeChecksumValue(d, 4));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.size()));
}
BENCHMARK(BM_Crc32_Ours);

void BM_Crc32_Zlib(benchmark::State& state) {
  const std::string& d = Data();
  for (auto _ : state)
    benchmark::DoNotOptimize(
        crc32(0, reinterpret_cast<const Bytef*>(d.data()), static_cast<uInt>(d.size())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.size()));
}
BENCHMARK(BM_Crc32_Zlib);

void BM_Crc32_ByteTable(benchmark::State& state) {
  static const auto table = [] {
    static uint32_t t[256];
    for (int b = 0; b < 256; ++b) t[b] = static_cast<uint32_t>(Crc32ByteEntry(b));
    return t;
  }();
  const std::string& d = Data();
  for (auto _ : state) {
    uint32_t c = 0;
    for (unsigned char b : d) c = (c >> 8) ^ table[(c ^ b) & 0xFF];
    benchmark::DoNotOptimize(c);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.size()));
}
BENCHMARK(BM_Crc32_ByteTable);

void BM_Crc16_Ours(benchmark::State& state) {
  const std::string& d = Data();
  for (auto _ : state) benchmark::DoNotOptimize(ComputeChecksumValue(d, 3));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.size()));
}
BENCHMARK(BM_Crc16_Ours);

}  // namespace

BENCHMARK_MAIN();

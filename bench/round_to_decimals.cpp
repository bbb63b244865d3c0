// RoundToDecimals (the unit conversions' rounding) beside the baseline a user
// would write: std::round on the value scaled by std::pow(10, n).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/math/rounding.h"

namespace {

std::vector<double> Values() {
  std::vector<double> values;
  double x = 0.123456789;
  for (int i = 0; i < 1024; ++i) {
    values.push_back(x);
    x = x * 1.618033988749895 + (i % 7 == 0 ? -3.0 : 0.7);
    if (std::fabs(x) > 1e6) x = 0.5 / x;
  }
  return values;
}

void BM_RoundToDecimals(benchmark::State& state) {
  const std::vector<double> values = Values();
  const int decimals = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (double v : values) benchmark::DoNotOptimize(RoundToDecimals(v, decimals));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_RoundToDecimals)->Arg(2)->Arg(6);

void BM_BaselineStdRoundPow(benchmark::State& state) {
  const std::vector<double> values = Values();
  const int decimals = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (double v : values) {
      const double f = std::pow(10.0, decimals);
      benchmark::DoNotOptimize(std::round(v * f) / f);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_BaselineStdRoundPow)->Arg(2)->Arg(6);

}  // namespace

BENCHMARK_MAIN();

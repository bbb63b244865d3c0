// Puts a benchmark's time beside its baseline's as one number in the output
// of a single run.
//
//   void BM_Memcpy(benchmark::State& state) {
//     BenchClock clock;
//     for (auto _ : state) {
//       clock.Start();
//       ...
//       clock.Stop();
//     }
//     clock.SetBaseline("memcpy");
//   }
//   BENCHMARK(BM_Memcpy);       // registered first: benchmarks run in order
//
//   void BM_Ours(benchmark::State& state) {
//     BenchClock clock;
//     for (auto _ : state) { clock.Start(); ...; clock.Stop(); }
//     clock.ReportTimeRatio(state, "memcpy", "time_vs_memcpy", "target <= 3");
//   }
//
// The clock counts only the time between Start and Stop, so work a benchmark
// pauses for (freeing the previous round) stays out of both sides. Without a
// baseline measured earlier in the run the counter is left out.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

class BenchClock {
 public:
  void Start() { start_ = std::chrono::steady_clock::now(); }
  void Stop() {
    total_ += std::chrono::steady_clock::now() - start_;
    ++rounds_;
  }

  // Nanoseconds per round.
  double PerRound() const {
    return rounds_ == 0 ? 0.0
                        : std::chrono::duration<double, std::nano>(total_).count() /
                              static_cast<double>(rounds_);
  }

  // Remembers this clock's time per round as the baseline `name`.
  void SetBaseline(const std::string& name) const { Baselines()[name] = PerRound(); }

  // counter = this time / the baseline's (how many times slower).
  void ReportTimeRatio(benchmark::State& state, const std::string& baseline,
                       const std::string& counter, const std::string& label) const {
    Report(state, baseline, counter, label, false);
  }
  // counter = the baseline's time / this time (the share of the baseline's
  // speed, for the same bytes).
  void ReportSpeedRatio(benchmark::State& state, const std::string& baseline,
                        const std::string& counter, const std::string& label) const {
    Report(state, baseline, counter, label, true);
  }

 private:
  static std::map<std::string, double>& Baselines() {
    static std::map<std::string, double> baselines;
    return baselines;
  }

  void Report(benchmark::State& state, const std::string& baseline, const std::string& counter,
              const std::string& label, bool speed) const {
    auto it = Baselines().find(baseline);
    const double ours = PerRound();
    if (it == Baselines().end() || it->second <= 0.0 || ours <= 0.0) return;
    state.counters[counter] = speed ? it->second / ours : ours / it->second;
    state.SetLabel(label);
  }

  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::duration total_{};
  int64_t rounds_ = 0;
};

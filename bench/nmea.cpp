// The decoder's per-message path on NMEA-0183 sentences: verify the checksum,
// split at ',', pick a number out of every field, and compute the checksum
// text. Each step runs beside the plain loop a user would otherwise write
// (find-based split, strtod, an XOR loop with snprintf and strtoul).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/checksum.h"
#include "core/text/number_pick.h"
#include "core/text/text_split.h"

namespace {

const std::vector<std::string>& Sentences() {
  static const std::vector<std::string> kSentences = [] {
    std::vector<std::string> s = {
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
        "$GPHDT,274.07,T*03",
        "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48",
        "$GPZDA,201530.00,04,07,2002,00,00*60",
        "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39",
        "$GPGLL,4916.45,N,12311.12,W,225444,A*31",
        "$HEHDT,180.25,T*11",
        "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76",
        "$GPRMC,092750.000,A,5321.6802,N,00630.3372,W,0.02,31.66,280511,,,A*43",
    };
    for (const std::string& x : s)
      if (!VerifyNmeaChecksum(x)) {
        std::fprintf(stderr, "bad sample sentence %s\n", x.c_str());
        std::abort();
      }
    return s;
  }();
  return kSentences;
}

std::size_t TotalBytes() {
  std::size_t n = 0;
  for (const std::string& s : Sentences()) n += s.size();
  return n;
}

// ---- the plain loops --------------------------------------------------------

bool HandVerify(const std::string& s) {
  if (s.empty() || s[0] != '$') return false;
  const std::size_t star = s.rfind('*');
  if (star == std::string::npos) return false;
  unsigned x = 0;
  for (std::size_t i = 1; i < star; ++i) x ^= static_cast<unsigned char>(s[i]);
  char* end = nullptr;
  const unsigned long given = std::strtoul(s.c_str() + star + 1, &end, 16);
  return end != s.c_str() + star + 1 && given == x;
}

void HandChecksumText(std::string& out, const std::string& s, std::size_t begin,
                      std::size_t end) {
  unsigned x = 0;
  for (std::size_t i = begin; i < end; ++i) x ^= static_cast<unsigned char>(s[i]);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", x);
  out = buf;
}

void HandSplit(const std::string& s, std::vector<std::string>& parts, char sep) {
  parts.clear();
  std::size_t begin = 0;
  for (;;) {
    const std::size_t at = s.find(sep, begin);
    if (at == std::string::npos) {
      parts.emplace_back(s, begin);
      return;
    }
    parts.emplace_back(s, begin, at - begin);
    begin = at + 1;
  }
}

// ---- whole message ----------------------------------------------------------

void BM_Message_Ours(benchmark::State& state) {
  std::vector<std::string> parts;
  std::string ck;
  double sum = 0;
  for (auto _ : state) {
    for (const std::string& s : Sentences()) {
      const std::size_t star = s.rfind('*');
      ComputeChecksumText(ck, std::string_view(s).substr(0, star), 1, 1);
      if (ck.compare(0, 2, s, star + 1, 2) != 0 || !VerifyNmeaChecksum(s)) std::abort();
      SplitString(std::string_view(s).substr(0, star), parts, ',', false);
      for (const std::string& p : parts) {
        double v;
        if (ParseFirstNumber(p, v)) sum += v;
      }
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes()));
}
BENCHMARK(BM_Message_Ours);

void BM_Message_PlainLoop(benchmark::State& state) {
  std::vector<std::string> parts;
  std::string ck;
  double sum = 0;
  for (auto _ : state) {
    for (const std::string& s : Sentences()) {
      const std::size_t star = s.rfind('*');
      HandChecksumText(ck, s, 1, star);
      if (ck.compare(0, 2, s, star + 1, 2) != 0 || !HandVerify(s)) std::abort();
      HandSplit(s.substr(0, star), parts, ',');
      for (const std::string& p : parts) sum += std::strtod(p.c_str(), nullptr);
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes()));
}
BENCHMARK(BM_Message_PlainLoop);

// ---- each step alone -------------------------------------------------------

void BM_Split_Ours(benchmark::State& state) {
  std::vector<std::string> parts;
  for (auto _ : state)
    for (const std::string& s : Sentences()) benchmark::DoNotOptimize(SplitString(s, parts, ',', false));
}
BENCHMARK(BM_Split_Ours);

void BM_Split_PlainLoop(benchmark::State& state) {
  std::vector<std::string> parts;
  for (auto _ : state)
    for (const std::string& s : Sentences()) {
      HandSplit(s, parts, ',');
      benchmark::DoNotOptimize(parts.data());
    }
}
BENCHMARK(BM_Split_PlainLoop);

const std::vector<std::string>& Fields() {
  static const std::vector<std::string> kFields = [] {
    std::vector<std::string> all, parts;
    for (const std::string& s : Sentences()) {
      HandSplit(s, parts, ',');
      all.insert(all.end(), parts.begin(), parts.end());
    }
    return all;
  }();
  return kFields;
}

void BM_Number_Ours(benchmark::State& state) {
  double sum = 0;
  for (auto _ : state)
    for (const std::string& f : Fields()) {
      double v;
      if (ParseFirstNumber(f, v)) sum += v;
    }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_Number_Ours);

void BM_Number_Strtod(benchmark::State& state) {
  double sum = 0;
  for (auto _ : state)
    for (const std::string& f : Fields()) sum += std::strtod(f.c_str(), nullptr);
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_Number_Strtod);

void BM_Checksum_Ours(benchmark::State& state) {
  std::string ck;
  int ok = 0;
  for (auto _ : state)
    for (const std::string& s : Sentences()) {
      ok += VerifyNmeaChecksum(s);
      ComputeChecksumText(ck, s, 1, 1);
      benchmark::DoNotOptimize(ck.data());
    }
  benchmark::DoNotOptimize(ok);
}
BENCHMARK(BM_Checksum_Ours);

void BM_Checksum_PlainLoop(benchmark::State& state) {
  std::string ck;
  int ok = 0;
  for (auto _ : state)
    for (const std::string& s : Sentences()) {
      ok += HandVerify(s);
      HandChecksumText(ck, s, 1, s.size());
      benchmark::DoNotOptimize(ck.data());
    }
  benchmark::DoNotOptimize(ok);
}
BENCHMARK(BM_Checksum_PlainLoop);

}  // namespace

BENCHMARK_MAIN();

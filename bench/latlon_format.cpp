// Angle splitting, joining, printing and reading, each beside the plain code
// a user would otherwise write (the bare formula, snprintf, strtod).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/text/latlon_dms.h"
#include "core/text/latlon_format.h"
#include "core/text/latlon_parse.h"

namespace {

std::vector<double> Angles() {
  std::vector<double> v;
  for (int i = 0; i < 1024; ++i) v.push_back(-180.0 + i * 0.3517836241);
  return v;
}

void BM_DegreesToDms(benchmark::State& state) {
  const std::vector<double> angles = Angles();
  size_t i = 0;
  for (auto _ : state) {
    int d, m;
    float s;
    char h;
    DegreesToDms(angles[i++ & 1023], false, d, m, s, h);
    benchmark::DoNotOptimize(d + m + s + h);
  }
}
BENCHMARK(BM_DegreesToDms);

// Baseline: the bare split with unchecked conversions and no carry.
void BM_DegreesToDms_PlainSplit(benchmark::State& state) {
  const std::vector<double> angles = Angles();
  size_t i = 0;
  for (auto _ : state) {
    const double value = angles[i++ & 1023];
    const double a = std::fabs(value);
    const int d = static_cast<int>(a);
    const double x = (a - d) * 60.0;
    const int m = static_cast<int>(x);
    const float s = static_cast<float>((x - m) * 60.0);
    const char h = value >= 0 ? 'E' : 'W';
    benchmark::DoNotOptimize(d + m + s + h);
  }
}
BENCHMARK(BM_DegreesToDms_PlainSplit);

void BM_DmsToDegrees(benchmark::State& state) {
  int d = 52, m = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(d);
    benchmark::DoNotOptimize(DmsToDegrees(d, m++ % 60, 30.25f, 'S'));
  }
}
BENCHMARK(BM_DmsToDegrees);

// Baseline: the formula written inline.
void BM_DmsToDegrees_Inline(benchmark::State& state) {
  int d = 52, m = 0;
  char h = 'S';
  for (auto _ : state) {
    benchmark::DoNotOptimize(d);
    benchmark::DoNotOptimize(h);
    const double v = d + (m++ % 60) / 60.0 + 30.25f / 3600.0;
    benchmark::DoNotOptimize(h == 'S' || h == 'W' ? -v : v);
  }
}
BENCHMARK(BM_DmsToDegrees_Inline);

void BM_FormatLatLon(benchmark::State& state) {
  const std::vector<double> angles = Angles();
  std::string out;
  size_t i = 0;
  for (auto _ : state) {
    FormatLatLon(out, 0, angles[i++ & 1023], false, true);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_FormatLatLon);

// Baseline: split and snprintf with the same format, no carry.
void BM_FormatLatLon_Snprintf(benchmark::State& state) {
  const std::vector<double> angles = Angles();
  char buf[64];
  size_t i = 0;
  for (auto _ : state) {
    const double value = angles[i++ & 1023];
    const double a = std::fabs(value);
    const int d = static_cast<int>(a);
    const double x = (a - d) * 60.0;
    const int m = static_cast<int>(x);
    std::snprintf(buf, sizeof buf, "%3d;%02d;%08.5lf %1c", d, m, (x - m) * 60.0,
                  value >= 0 ? 'E' : 'W');
    benchmark::DoNotOptimize(buf);
  }
}
BENCHMARK(BM_FormatLatLon_Snprintf);

void BM_ParseLatLonText(benchmark::State& state) {
  const std::string text = "  4;15;00.12345 W";
  double v = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseLatLonText(text, v));
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_ParseLatLonText);

// Baseline: three strtod calls over the same text.
void BM_ParseLatLonText_Strtod(benchmark::State& state) {
  const std::string text = "  4;15;00.12345 W";
  for (auto _ : state) {
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    const double m = std::strtod(end + 1, &end);
    const double s = std::strtod(end + 1, &end);
    benchmark::DoNotOptimize(-(d + m / 60.0 + s / 3600.0));
  }
}
BENCHMARK(BM_ParseLatLonText_Strtod);

}  // namespace

BENCHMARK_MAIN();

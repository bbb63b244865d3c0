// Calendar conversions of the time value beside libstdc++'s
// std::chrono::year_month_day <-> sys_days, on the same dates in one run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "core/time/calendar.h"
#include "core/time/zor_time.h"

namespace {

namespace chr = std::chrono;

struct Date {
  int y, m, d;
};

// 4096 dates spread over 1601..2400, in a scrambled order.
const std::vector<int32_t>& Days() {
  static const std::vector<int32_t> days = [] {
    std::vector<int32_t> v;
    const int32_t first = DateToMjd(1601, 1, 1);
    const int32_t span = DateToMjd(2401, 1, 1) - first;
    uint32_t state = 1;
    for (int i = 0; i < 4096; ++i) {
      state = state * 1664525u + 1013904223u;
      v.push_back(first + static_cast<int32_t>(state % static_cast<uint32_t>(span)));
    }
    return v;
  }();
  return days;
}

const std::vector<Date>& Dates() {
  static const std::vector<Date> dates = [] {
    std::vector<Date> v;
    for (int32_t mjd : Days()) {
      Date d;
      MjdToDate(mjd, d.y, d.m, d.d);
      v.push_back(d);
    }
    return v;
  }();
  return dates;
}

void BM_DateToMjd(benchmark::State& state) {
  const auto& dates = Dates();
  for (auto _ : state) {
    int64_t sum = 0;
    for (const Date& d : dates) sum += DateToMjd(d.y, d.m, d.d);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(dates.size()));
}
BENCHMARK(BM_DateToMjd);

void BM_ChronoDateToSysDays(benchmark::State& state) {
  const auto& dates = Dates();
  for (auto _ : state) {
    int64_t sum = 0;
    for (const Date& d : dates) {
      const chr::year_month_day ymd{chr::year(d.y), chr::month(static_cast<unsigned>(d.m)),
                                    chr::day(static_cast<unsigned>(d.d))};
      sum += chr::sys_days(ymd).time_since_epoch().count();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(dates.size()));
}
BENCHMARK(BM_ChronoDateToSysDays);

void BM_MjdToDate(benchmark::State& state) {
  const auto& days = Days();
  for (auto _ : state) {
    int64_t sum = 0;
    for (int32_t mjd : days) {
      int y, m, d;
      MjdToDate(mjd, y, m, d);
      sum += y + m + d;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(days.size()));
}
BENCHMARK(BM_MjdToDate);

void BM_ChronoSysDaysToDate(benchmark::State& state) {
  const auto& days = Days();
  for (auto _ : state) {
    int64_t sum = 0;
    for (int32_t mjd : days) {
      const chr::year_month_day ymd{chr::sys_days(chr::days(mjd - kMjdUnixEpoch))};
      sum += int(ymd.year()) + unsigned(ymd.month()) + unsigned(ymd.day());
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(days.size()));
}
BENCHMARK(BM_ChronoSysDaysToDate);

// The full broken-down time of a stamp (date, time of day, milliseconds),
// beside the same through chrono's floor and hh_mm_ss.
void BM_GetFieldsMs(benchmark::State& state) {
  const auto& days = Days();
  std::vector<CZORTime> times;
  for (size_t i = 0; i < days.size(); ++i) times.emplace_back(sTimeRecord{days[i], 0, i * 21.0937});
  for (auto _ : state) {
    int64_t sum = 0;
    for (const CZORTime& t : times) {
      int y, m, d, dow, h, mi, s, ms;
      t.GetFieldsMs(y, m, d, dow, h, mi, s, ms);
      sum += y + m + d + dow + h + mi + s + ms;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(times.size()));
}
BENCHMARK(BM_GetFieldsMs);

void BM_ChronoFieldsMs(benchmark::State& state) {
  const auto& days = Days();
  std::vector<double> unixSeconds;
  for (size_t i = 0; i < days.size(); ++i)
    unixSeconds.push_back((days[i] - kMjdUnixEpoch) * 86400.0 + i * 21.0937);
  for (auto _ : state) {
    int64_t sum = 0;
    for (double s : unixSeconds) {
      const chr::sys_time<chr::milliseconds> tp{chr::round<chr::milliseconds>(
          chr::duration<double>(s))};
      const chr::sys_days day = chr::floor<chr::days>(tp);
      const chr::year_month_day ymd{day};
      const chr::hh_mm_ss<chr::milliseconds> tod{tp - day};
      sum += int(ymd.year()) + unsigned(ymd.month()) + unsigned(ymd.day()) +
             chr::weekday(day).c_encoding() + tod.hours().count() + tod.minutes().count() +
             tod.seconds().count() + tod.subseconds().count();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(unixSeconds.size()));
}
BENCHMARK(BM_ChronoFieldsMs);

}  // namespace

BENCHMARK_MAIN();

// A value per type code, built at compile time from runs of codes, with a
// fallback for every code outside the table.
//
//   constexpr auto kIcons = MakeCodeTable<int, 114>(0, {{1, 1, 1}, {2, 3, 2}});
//   int icon = kIcons.Get(code);        // 0 for codes without a run, or < 0, or >= 114
//
// Later runs overwrite earlier ones. Get never reads outside the table.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>

template <typename T>
struct CodeRun {
  int first;
  int last;
  T value;
};

template <typename T, std::size_t N>
struct CodeTable {
  std::array<T, N> values;
  T fallback;

  constexpr T Get(int code) const {
    if (code < 0 || static_cast<std::size_t>(code) >= N) return fallback;
    return values[static_cast<std::size_t>(code)];
  }
};

template <typename T, std::size_t N>
constexpr CodeTable<T, N> MakeCodeTable(T fallback, std::initializer_list<CodeRun<T>> runs) {
  CodeTable<T, N> table{};
  table.fallback = fallback;
  for (std::size_t i = 0; i < N; ++i) table.values[i] = fallback;
  for (const CodeRun<T>& run : runs)
    for (int code = run.first; code <= run.last; ++code)
      if (code >= 0 && static_cast<std::size_t>(code) < N)
        table.values[static_cast<std::size_t>(code)] = run.value;
  return table;
}

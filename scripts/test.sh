#!/usr/bin/env bash
# Checks that every include runs down the floors of the code and that every
# test that starts threads is named so, then builds and
# runs every test: the plain build, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, the threaded tests under ThreadSanitizer,
# each fuzz target for a few seconds, and each benchmark briefly.
# Installs what is missing first. Usage: scripts/test.sh [--quick]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

echo "== include layers, and the names of the tests that start threads"
"$root/scripts/check_layers.sh"
"$root/scripts/check_threaded_names.sh"

"$root/scripts/setup.sh"

quick=0
[[ "${1:-}" == "--quick" ]] && quick=1

# No test takes a minute even under the sanitizers on a busy machine: one
# that hangs is ended and named instead of holding up the whole run.
test_timeout=300

build() {  # build <dir> <cmake args...>
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== plain build and tests"
build build/plain -DZOR_BENCH=ON -DCMAKE_BUILD_TYPE=Release
# The include order once more, as the compiler resolved each include.
"$root/scripts/check_layers.sh" build/plain
ctest --test-dir build/plain --output-on-failure -j "$jobs" --timeout "$test_timeout"

if ((quick)); then exit 0; fi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
build build/asan -DZOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs" --timeout "$test_timeout"

echo "== ThreadSanitizer (threaded tests)"
# Every test that starts threads has "Threaded" in its name
# (scripts/check_threaded_names.sh, run first); only the binaries that hold
# such tests need this build.
threaded=$(grep -rl 'Threaded' tests --include='*.cpp' | cut -d/ -f2 | sort -u)
targets=()
for top in $threaded; do
  [[ $top == Drivers ]] && top=framework  # tests/Drivers/framework -> zor_framework_tests
  targets+=("zor_${top}_tests")
done
cmake -S "$root" -B build/tsan -G Ninja -DZOR_TSAN=ON >/dev/null
((${#targets[@]})) && cmake --build build/tsan -j "$jobs" --target "${targets[@]}"
# Each test in a process of its own, as in the other builds: the runtime
# refuses to start a thread in a child forked from a process that still has
# threads an earlier test left (a report thread, a reaper).
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan -R Threaded -E '^Scripts[.]' \
  --output-on-failure -j "$jobs" --timeout "$((4 * test_timeout))" --no-tests=error

echo "== fuzz targets (a few seconds each)"
CC=clang CXX=clang++ build build/fuzz -DZOR_FUZZ=ON
for f in build/fuzz/fuzz/zor_fuzz_*; do
  [[ -x "$f" ]] || continue
  corpus="build/fuzz/corpus/$(basename "$f")"
  mkdir -p "$corpus"
  "$f" -max_total_time="${ZOR_FUZZ_SECONDS:-3}" -print_final_stats=0 "$corpus" 2>&1 | tail -n 1
done

echo "== benchmarks (brief)"
for b in build/plain/bench/zor_bench_*; do
  [[ -x "$b" ]] || continue
  "$b" --benchmark_min_time=0.01 >/dev/null
done

echo "== all tests passed"

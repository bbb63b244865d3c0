#!/usr/bin/env bash
# Runs the test suite beside a load that takes every core: one busy loop per
# core the script may use, and one process that keeps allocating and
# touching memory. CTest runs the plain build three times and the
# AddressSanitizer build once, each in random order with one job per core.
# Fails when any run fails; the load is stopped by process id on any exit.
#
# Usage: scripts/test_under_load.sh [--build]
#   Uses build/plain and build/asan as scripts/test.sh leaves them; --build
#   configures and builds both first, as scripts/test.sh does.
#   The cores are those the script may run on: `taskset -c 0,1
#   scripts/test_under_load.sh` loads and tests on two. Not part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cores=$(nproc)
# As in scripts/test.sh: a test that hangs is ended and named.
test_timeout=300

if [[ "${1:-}" == "--build" ]]; then
  cmake -S "$root" -B build/plain -G Ninja -DZOR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/plain -j "$cores"
  cmake -S "$root" -B build/asan -G Ninja -DZOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build/asan -j "$cores"
elif [[ $# -gt 0 ]]; then
  echo "usage: $0 [--build]" >&2
  exit 2
fi
for dir in build/plain build/asan; do
  if [[ ! -f $dir/CTestTestfile.cmake ]]; then
    echo "test_under_load: $dir is not built: run scripts/test.sh, or this script with --build" >&2
    exit 2
  fi
done

load=()
stop_load() {
  local pid
  for pid in "${load[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${load[@]}"; do wait "$pid" 2>/dev/null || true; done
  load=()
}
trap stop_load EXIT
trap 'exit 130' INT TERM

for ((i = 0; i < cores; i++)); do
  (while :; do :; done) &
  load+=("$!")
done
# Each dd maps a fresh 64 MiB buffer and fills it four times, then exits.
(while :; do dd if=/dev/zero of=/dev/null bs=64M count=4 2>/dev/null; done) &
load+=("$!")
echo "== load: $cores busy loops and a memory churner (pids ${load[*]})"

failed=0
results=()
run() {  # run <name> <build dir> [environment...]
  local name=$1 dir=$2 start status
  shift 2
  echo "== $name: ctest --schedule-random -j$cores in $dir"
  start=$(date +%s)
  status=0
  env "$@" ctest --test-dir "$dir" --schedule-random -j "$cores" --timeout "$test_timeout" \
    --output-on-failure || status=$?
  results+=("$name: $([[ $status == 0 ]] && echo passed || echo "FAILED ($status)") in $(($(date +%s) - start)) s")
  ((status == 0)) || failed=1
}

for n in 1 2 3; do run "plain run $n" build/plain; done
run "AddressSanitizer run" build/asan \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

stop_load
echo "== under load on $cores cores:"
printf '   %s\n' "${results[@]}"
exit "$failed"

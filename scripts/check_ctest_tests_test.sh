#!/usr/bin/env bash
# Runs scripts/check_ctest_tests.sh on scratch build folders: one whose every
# test keeps TZ=UTC, ZOR_TEST_TMP and a lock passes; each missing setting is
# named with its test and fails, and so does a folder without tests.
# Usage: scripts/check_ctest_tests_test.sh   (needs ctest and jq; a second)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${ZOR_TEST_TMP:-/tmp}/check_ctest_tests_test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# A build folder as CTest reads it: one line per test, "name|environment|lock".
folder() {  # folder <dir> <test line>...
  local dir=$scratch/$1 name env lock
  shift
  mkdir -p "$dir"
  : >"$dir/CTestTestfile.cmake"
  for line in "$@"; do
    IFS='|' read -r name env lock <<<"$line"
    echo "add_test($name \"/bin/true\")" >>"$dir/CTestTestfile.cmake"
    local props=""
    [[ -n $env ]] && props+=" ENVIRONMENT \"$env\""
    [[ -n $lock ]] && props+=" RESOURCE_LOCK \"$lock\""
    [[ -n $props ]] && echo "set_tests_properties($name PROPERTIES$props)" >>"$dir/CTestTestfile.cmake"
  done
  return 0
}
check() {  # check <dir>: the script's output in $scratch/out, its status in $status
  status=0
  "$here/check_ctest_tests.sh" "$scratch/$1" >"$scratch/out" 2>&1 || status=$?
}
fail() { cat "$scratch/out"; echo "FAIL: $1"; exit 1; }

sound='TZ=UTC;ZOR_TEST_TMP=/tmp/t'
folder sound "A.One|$sound|a" "A.Two|LANG=C;$sound|a;b"
check sound
((status == 0)) || fail "a sound folder fails ($status)"

folder faults "A.Sound|$sound|a" "A.NoZone|ZOR_TEST_TMP=/tmp/t|a" \
  "A.OtherZone|TZ=Europe/Paris;ZOR_TEST_TMP=/tmp/t|a" "A.NoScratch|TZ=UTC|a" \
  "A.EmptyScratch|TZ=UTC;ZOR_TEST_TMP=|a" "A.NoLock|$sound|" "A.Nothing||"
check faults
((status == 1)) || fail "missing settings give status $status, not 1"
for line in 'A.NoZone: lacks TZ=UTC' 'A.OtherZone: lacks TZ=UTC' 'A.NoScratch: lacks ZOR_TEST_TMP' \
  'A.EmptyScratch: lacks ZOR_TEST_TMP' 'A.NoLock: lacks RESOURCE_LOCK' \
  'A.Nothing: lacks TZ=UTC, ZOR_TEST_TMP, RESOURCE_LOCK' '6 of 7 tests lack a setting'; do
  grep -qF -- "$line" "$scratch/out" || fail "not named: $line"
done
grep -q 'A.Sound' "$scratch/out" && fail "a sound test is named"

folder empty
check empty
((status == 1)) || fail "a folder without tests gives status $status, not 1"
echo "check_ctest_tests_test: every missing setting is caught"

#!/usr/bin/env bash
# Fails when a test that CTest registered in a build folder lacks TZ=UTC, a
# ZOR_TEST_TMP scratch root or a resource lock, naming each such test; it
# reads what ctest itself would run. Usage: scripts/check_ctest_tests.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR}
command -v jq >/dev/null || { echo "check_ctest_tests: needs jq (scripts/setup.sh)" >&2; exit 2; }

listing=$(ctest --test-dir "$build" --show-only=json-v1)
count=$(jq '.tests | length' <<<"$listing")
if ((count == 0)); then
  echo "check_ctest_tests: no test is registered in $build" >&2
  exit 1
fi
lacking=$(jq -r '
  .tests[] | .name as $name
  | (reduce (.properties // [])[] as $p ({}; .[$p.name] = $p.value)) as $props
  | ($props.ENVIRONMENT // []) as $env
  | [ (if ($env | index("TZ=UTC")) == null then "TZ=UTC" else empty end),
      (if ($env | any(test("^ZOR_TEST_TMP=."))) then empty else "ZOR_TEST_TMP" end),
      (if (($props.RESOURCE_LOCK // []) | length) == 0 then "RESOURCE_LOCK" else empty end) ]
  | select(length > 0)
  | "\($name): lacks \(join(", "))"' <<<"$listing")
if [[ -n $lacking ]]; then
  head -n 20 <<<"$lacking"
  echo "check_ctest_tests: $(wc -l <<<"$lacking") of $count tests lack a setting" >&2
  exit 1
fi
echo "check_ctest_tests: all $count tests keep TZ=UTC, ZOR_TEST_TMP and a lock"

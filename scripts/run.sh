#!/usr/bin/env bash
# The main job: builds the project database tool and shows what a project
# database holds. Installs what is missing first.
#   scripts/run.sh                      # the sample database in examples/
#   scripts/run.sh --database="FILE"    # any project database
# It builds zordb alone (a few minutes the first time; Ninja's progress goes
# to standard error, the dump to standard output). The tests, benchmarks and
# fuzz targets are built by scripts/test.sh, or see the README's commands.
# CMAKE_BUILD_PARALLEL_LEVEL sets the number of compile jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Only the news of an installation is shown.
"$root/scripts/setup.sh" | { grep -v '^setup: all packages present$' || true; } >&2
cmake -S "$root" -B build/plain -G Ninja -DZOR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
echo "run.sh: building zordb in build/plain" >&2
# Ninja keeps its progress on one line when it writes to a terminal.
if ! cmake --build build/plain --target zordb >&2; then
  echo "run.sh: the build of zordb failed (above)" >&2
  exit 1
fi
echo "run.sh: zordb is built: build/plain/tools/zordb" >&2

if (($# == 0)); then
  set -- --database="$root/examples/sample.zdb"
fi
exec build/plain/tools/zordb "$@"

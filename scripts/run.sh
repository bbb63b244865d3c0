#!/usr/bin/env bash
# The main job: builds the project database tool and shows what a project
# database holds. Installs what is missing first.
#   scripts/run.sh                      # the sample database in examples/
#   scripts/run.sh --database="FILE"    # any project database
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

"$root/scripts/setup.sh" >/dev/null
cmake -S "$root" -B build/plain -G Ninja -DZOR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/plain -j "$(nproc)" --target zordb >/dev/null

if (($# == 0)); then
  set -- --database="$root/examples/sample.zdb"
fi
exec build/plain/tools/zordb "$@"

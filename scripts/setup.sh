#!/usr/bin/env bash
# Installs the Debian packages that the build, tests, benchmarks and fuzzers need.
# Only what is missing is installed; safe to run again. Run as root (or with sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libboost-dev libboost-filesystem-dev libboost-regex-dev libboost-date-time-dev
  libexpat1-dev
  libxml2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libicu-dev
  tzdata locales
  lldb
  jq
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "setup: all packages present"
  exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what the build needs (only what is missing), configures build/ and
# builds. Run by ./test and ./run.
# Usage: tools/setup.sh [TARGET...]
#   no target: everything, tests and benchmarks included, with the tools the
#              tests use;
#   targets:   only those (./run asks for the program, which brings its two
#              port libraries), so a first run does not wait for the tests.
set -euo pipefail

# Configuring needs GoogleTest's package even when no test is built.
packages=(cmake make g++ pkg-config qt6-base-dev libgtest-dev fonts-dejavu-core)
if (($# == 0)); then
  packages+=(libbenchmark-dev gputils srecord)
  # sigrok-cli reads the --vcd captures back in a test.
  packages+=(sigrok-cli)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$root/build" -j "$(nproc)" "${targets[@]}"

#!/usr/bin/env bash
# Installs what the build needs (only what is missing) and builds into build/.
# Sourced by ./test and ./run.
set -euo pipefail

packages=(cmake make g++ pkg-config qt6-base-dev libgtest-dev libbenchmark-dev
          gputils srecord fonts-dejavu-core)

# sigrok-cli reads the --vcd captures back in a test.
packages+=(sigrok-cli)

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
cmake --build "$root/build" -j "$(nproc)"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# ./run on a fresh clone builds only the program (which brings its two port
# libraries) and starts it on the simulated board: run from a copy of the
# scripts with cmake and dpkg-query standing in, and the real build's
# dependencies of that target listed without building anything.
# Usage: tests/scripts_firstrun.sh SOURCE-DIR BUILD-DIR
set -u
source_dir=$(realpath "$1") build_dir=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
clone=$tmp/clone
mkdir -p "$clone/tools" "$tmp/bin"
cp "$source_dir/run" "$clone/" && cp "$source_dir/tools/setup.sh" "$clone/tools/" || exit 1
printf '#!/bin/sh\nprintf "install ok installed"\n' >"$tmp/bin/dpkg-query"
cat >"$tmp/bin/cmake" <<STUB
#!/bin/sh
echo "cmake \$*" >>"$tmp/calls"
mkdir -p "$clone/build"
printf '#!/bin/sh\necho "quibb9x \$*" >>"$tmp/calls"\n' >"$clone/build/quibb9x"
chmod +x "$clone/build/quibb9x"
STUB
chmod +x "$tmp/bin/"*
cd "$tmp" && PATH=$tmp/bin:$PATH "$clone/run" --version || exit 1
printf '%s\n' "cmake -S $clone -B $clone/build -DCMAKE_BUILD_TYPE=RelWithDebInfo" \
    "cmake --build $clone/build -j $(nproc) --target quibb9x" "quibb9x --simulate --version" |
    diff -u - "$tmp/calls" >&2 || { echo "FAIL: ./run asks for more than the program" >&2; exit 1; }

made=$(cd "$build_dir" && make -n quibb9x 2>/dev/null | grep -oE "[a-z]+/CMakeFiles/[a-z_0-9]+" | sort -u)
grep -q "cli/CMakeFiles/quibbcli" <<<"$made" || { echo "FAIL: no plan for quibb9x: $made" >&2; exit 1; }
grep -E "^(tests|bench)/" <<<"$made" >&2 && { echo "FAIL: building quibb9x would build those" >&2; exit 1; }
echo "./run builds the program alone"

#!/usr/bin/env bash
# ./run on a fresh clone builds only the program (which brings its two port
# libraries), never a test or a benchmark, and starts it on the simulated
# board; ./test builds everything. Both scripts run in a copy of the clone's
# scripts, with cmake, ctest and dpkg-query standing in, so nothing is built.
# Usage: tests/scripts_firstrun.sh SOURCE-DIR BUILD-DIR
set -u
source_dir=$(realpath "$1")
build_dir=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

clone=$tmp/clone
mkdir -p "$clone/tools" "$tmp/bin"
cp "$source_dir/run" "$source_dir/test" "$clone/"
cp "$source_dir/tools/setup.sh" "$clone/tools/"
# Every package installed; cmake and ctest record their arguments, and the
# build leaves a program that records how it was started.
cat >"$tmp/bin/dpkg-query" <<'STUB'
#!/bin/sh
printf 'install ok installed'
STUB
cat >"$tmp/bin/cmake" <<STUB
#!/bin/sh
echo "cmake \$*" >>"$tmp/calls"
mkdir -p "$clone/build"
printf '#!/bin/sh\necho "quibb9x \$*" >>"$tmp/calls"\n' >"$clone/build/quibb9x"
chmod +x "$clone/build/quibb9x"
STUB
printf '#!/bin/sh\necho "ctest $*" >>"%s/calls"\n' "$tmp" >"$tmp/bin/ctest"
chmod +x "$tmp/bin/"*

cd "$tmp"
PATH=$tmp/bin:$PATH "$clone/run" --version >/dev/null || fail "./run failed"
jobs=$(nproc)
cat >"$tmp/expected" <<EXPECTED
cmake -S $clone -B $clone/build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build $clone/build -j $jobs --target quibb9x
quibb9x --simulate --port lpt2 --version
EXPECTED
diff -u "$tmp/expected" "$tmp/calls" >&2 || fail "./run asks for more than the program"

rm "$tmp/calls"
PATH=$tmp/bin:$PATH "$clone/test" >/dev/null || fail "./test failed"
grep -qx "cmake --build $clone/build -j $jobs" "$tmp/calls" || fail "./test does not build everything: $(cat "$tmp/calls")"
grep -q "^ctest " "$tmp/calls" || fail "./test runs no tests"

# The target ./run asks for depends on no test or benchmark: none is among
# what building it would make.
if grep -q "^CMAKE_MAKE_PROGRAM:.*make$" "$build_dir/CMakeCache.txt" 2>/dev/null; then
    made=$(cd "$build_dir" && make -n quibb9x 2>/dev/null | grep -oE "(tests|bench)/CMakeFiles/[a-z_]+" | sort -u)
    [ -z "$made" ] || fail "building quibb9x would build: $made"
fi

[ "$failures" = 0 ] && echo "./run builds the program alone; ./test builds everything"
exit $((failures > 0))

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the build into a temporary prefix and runs the installed program
# from another directory: it must find its port libraries in the installed
# library directory (not beside itself), and the desktop entry and icon must
# be where desktop environments look for them.
# Arguments: the program (in the build directory), the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
build=$(dirname "$prog")
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log" >&2; fail "cmake --install failed"; exit 1; }

installed=$prefix/bin/quibb9x
[ -x "$installed" ] || fail "no bin/quibb9x"
for lib in libzavbit2.so libzavbit2sim.so; do
    [ -n "$(find "$prefix" -name "$lib" -path '*/lib*/*')" ] || fail "$lib not installed in a lib directory"
    [ ! -e "$prefix/bin/$lib" ] || fail "$lib installed beside the program"
done
[ -f "$prefix/share/applications/quibb9x.desktop" ] || fail "no desktop entry"
[ -f "$prefix/share/icons/hicolor/scalable/apps/quibb9x.svg" ] || fail "no icon"
grep -qx "Exec=quibb9x" "$prefix/share/applications/quibb9x.desktop" || fail "desktop entry does not run quibb9x"
grep -qx "Icon=quibb9x" "$prefix/share/applications/quibb9x.desktop" || fail "desktop entry names no icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/quibb9x.desktop" >&2 || fail "desktop entry invalid"
fi

mkdir "$tmp/elsewhere"
cd "$tmp/elsewhere"
"$installed" --simulate --port 0x278 detect >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 0 ] || fail "installed --simulate detect: exit status $status: $(cat err.txt)"
grep -qx "SUCCESS!: QUIBB H/W Successfully detected on port!" out.txt || fail "no board found: $(cat out.txt err.txt)"

# The real port library: no parallel port here, so an empty bus and the
# refusal, but the library itself was found and loaded.
"$installed" --port 0x278 detect >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 1 ] || fail "installed detect on the real library: exit status $status"
grep -q "cannot load the port library" err.txt && fail "the real library was not found: $(cat err.txt)"
grep -q "^quibb9x: no board answers at port 0x278" err.txt || fail "no refusal: $(cat err.txt)"

"$installed" --version >out.txt 2>&1 && grep -qx "quibb9x 1.32" out.txt || fail "installed --version"
exit $((failures > 0))

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Makes the Debian package in a fresh Release build and checks what it holds:
# exactly the expected files, dependencies computed from the binaries, a man
# page that renders cleanly and names every command, option and environment
# variable the program has, a program that finds both port libraries in the
# package's layout, the licence, completion and metainfo where Debian looks,
# and no lintian error or warning (when lintian is installed).
# Usage: tests/packaging.sh [BUILD-DIR]   (default: a temporary folder)
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
build=${1:-$tmp/build}
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# dpkg-shlibdeps computes the dependencies; without it CPack would make a
# package that depends on nothing.
if ! command -v dpkg-shlibdeps >/dev/null; then
    if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
    "${sudo[@]}" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DBUILD_TESTING=OFF >"$tmp/build.log" 2>&1 &&
    cmake --build "$build" -j2 >>"$tmp/build.log" 2>&1 &&
    (cd "$build" && rm -f ./*.deb && cpack -G DEB) >>"$tmp/build.log" 2>&1 ||
    { cat "$tmp/build.log" >&2; echo "FAIL: the package was not made" >&2; exit 1; }

debs=("$build"/*.deb)
[ "${#debs[@]}" = 1 ] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
version=$(sed -n 's/^project(quibb9x VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
[ "$(basename "$deb")" = "quibb9x_${version}_${arch}.deb" ] || fail "package file named $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = quibb9x ] || fail "package name $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version)"

# Dependencies as dpkg-shlibdeps finds them: the C and C++ libraries and the
# three Qt libraries the program links, each with a version.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ ", $depends" == *", $lib (>= "* ]] || fail "Depends lacks $lib: '$depends'"
done

# Exactly these files, nothing left out and nothing extra.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$tmp/files"
sort >"$tmp/expected" <<EOF
./usr/bin/quibb9x
./usr/lib/$multiarch/quibb9x/libzavbit2.so
./usr/lib/$multiarch/quibb9x/libzavbit2sim.so
./usr/share/applications/quibb9x.desktop
./usr/share/bash-completion/completions/quibb9x
./usr/share/doc/quibb9x/changelog.gz
./usr/share/doc/quibb9x/copyright
./usr/share/icons/hicolor/scalable/apps/quibb9x.svg
./usr/share/man/man1/quibb9x.1.gz
./usr/share/metainfo/example.c_seed_09c151ce.quibb9x.metainfo.xml
EOF
diff -u "$tmp/expected" "$tmp/files" >&2 || fail "the package's files differ from the list above"
dpkg-deb -c "$deb" | awk '{print $2}' | grep -qvx root/root && fail "files not owned by root"
# The port libraries are private (no ldconfig run wanted, no trigger
# needed): the package has no maintainer script at all.
for script in preinst postinst prerm postrm triggers; do
    dpkg-deb -I "$deb" "$script" >/dev/null 2>&1 && fail "a $script script (ldconfig for private libraries?)"
done

dpkg-deb -x "$deb" "$tmp/root"
man=$tmp/root/usr/share/man/man1/quibb9x.1.gz
# gzip -9n: no name and no time stamp in the header, so builds repeat.
[ "$(od -An -tx1 -j3 -N5 "$man" | tr -d ' ')" = 0000000000 ] || fail "man page gzipped with a name or time stamp"
if command -v groff >/dev/null; then
    warnings=$(zcat "$man" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns about the man page: $warnings"
fi
page=$(zcat "$man" | sed 's/\\-/-/g')
grep -q "^\.TH QUIBB9X 1 .*\"quibb9x $version\"" <<<"$page" || fail "man page header does not carry version $version"

# The packaged program, run from elsewhere: its help lists what the man page
# must cover, and it finds both port libraries in the package's own layout.
prog=$tmp/root/usr/bin/quibb9x
cd "$tmp"
"$prog" --help >help.txt 2>&1 || fail "packaged --help: exit status $?"
options=$(grep -oE -- '--[a-z][a-z-]+' help.txt | sort -u)
commands=$(sed -n '/^Commands:/,/^$/p' help.txt | awk 'NR > 1 && NF {print $1}')
[ -n "$commands" ] || fail "no commands in the packaged --help"
for word in $options $commands; do
    grep -qE -- "(^|[^a-z-])$word([^a-z-]|$)" <<<"$page" || fail "the man page does not mention $word"
done
variables=$(grep -rhoE 'getenv\("[A-Z0-9_]+"\)' "$root"/{core,cli,ui,settings,image,operations,portlib,boardsim} |
    sed 's/getenv("\(.*\)")/\1/' | grep -v '^QT_' | sort -u)
for v in $variables; do
    grep -q "$v" <<<"$page" || fail "the man page does not mention the environment variable $v"
done
for section in "THE WINDOW" COMMANDS OPTIONS ENVIRONMENT "EXIT STATUS"; do
    grep -qx "\.SH \"*$section\"*" <<<"$page" || fail "the man page has no section $section"
done
grep -qw lp <<<"$page" || fail "the man page does not name the lp group"

# The licence where Debian looks: a machine-readable copyright file naming
# GPL-2+ and pointing at the common licence text; the same licence in the
# metainfo, which validates, for the desktop entry the package ships.
copyright=$tmp/root/usr/share/doc/quibb9x/copyright
head -n 1 "$copyright" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ||
    fail "the copyright file is not machine-readable"
grep -qx "License: GPL-2+" "$copyright" && grep -q "/usr/share/common-licenses/GPL-2" "$copyright" ||
    fail "the copyright file does not give GPL-2+"
metainfo=$tmp/root/usr/share/metainfo/example.c_seed_09c151ce.quibb9x.metainfo.xml
grep -q "<project_license>GPL-2.0-or-later</project_license>" "$metainfo" || fail "metainfo licence"
grep -q '<launchable type="desktop-id">quibb9x.desktop</launchable>' "$metainfo" || fail "metainfo launchable"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" >"$tmp/appstream.out" 2>&1 &&
        ! grep -qE "^[EW]:" "$tmp/appstream.out" || fail "appstreamcli: $(cat "$tmp/appstream.out")"
fi
grep -qx "Exec=quibb9x --simulate --port lpt2" "$tmp/root/usr/share/applications/quibb9x.desktop" ||
    fail "the desktop entry has no action for the simulated board"
# The completion loads in bash and completes the packaged program's commands.
bash -c 'source "$1"; COMP_WORDS=("$2" read-); COMP_CWORD=1; _quibb9x; echo "${COMPREPLY[*]}"' _ \
    "$tmp/root/usr/share/bash-completion/completions/quibb9x" "$tmp/root/usr/bin/quibb9x" >"$tmp/completed" 2>&1
[ "$(cat "$tmp/completed")" = "read-hex read-bin" ] || fail "packaged completion: $(cat "$tmp/completed")"

env -u QUIBB9X_PORTLIB QUIBB9X_SIM_FILE="$tmp/chip.txt" QUIBB9X_SIM_CHIP=16F84 \
    "$prog" --simulate --port lpt2 detect >out.txt 2>err.txt </dev/null ||
    fail "packaged --simulate detect: exit status $?: $(cat err.txt)"
grep -qx "SUCCESS!: QUIBB H/W Successfully detected on port!" out.txt || fail "no simulated board: $(cat out.txt err.txt)"
env -u QUIBB9X_PORTLIB "$prog" --port 0x278 detect >out.txt 2>err.txt </dev/null
grep -q "cannot load the port library" err.txt && fail "packaged program cannot load libzavbit2.so: $(cat err.txt)"

if command -v lintian >/dev/null; then
    # Run as root lintian says so on standard error; that is not a finding.
    lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>"$tmp/lintian.err" | tee "$tmp/lintian.out"
    status=${PIPESTATUS[0]}
    grep -v "running with root privileges" "$tmp/lintian.err" >&2
    [ "$status" = 0 ] || fail "lintian reports errors or warnings"
else
    echo "lintian is not installed: skipped"
fi

[ "$failures" = 0 ] && echo "packaging: $(basename "$deb") holds what it should"
exit $((failures > 0))

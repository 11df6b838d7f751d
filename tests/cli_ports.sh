#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# `quibb9x ports` and the command line's word on an unreachable port, on a
# fake /proc and /dev tree: two ports, one this user may not open, then an
# address no port has, then no port at all.
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
failures=0
fail() {
    echo "FAIL [$case]: $*" >&2
    failures=$((failures + 1))
}
expect_status() { [ "$status" = "$1" ] || fail "exit status $status, expected $1 (stderr: $(cat err.txt))"; }
expect_out() { printf '%s\n' "$@" | diff -u - out.txt >&2 || fail "standard output differs"; }
expect_err() { printf '%s\n' "$@" | diff -u - err.txt >&2 || fail "standard error differs"; }

port() {
    mkdir -p "proc/sys/dev/parport/parport$1"
    printf '%s\t%s\n' "$2" "$(($2 + 1024))" >"proc/sys/dev/parport/parport$1/base-addr"
    : >"dev/parport$1"
}
mkdir -p dev proc/sys/dev/parport/default
port 0 888
port 1 632
chmod 666 dev/parport0
chmod 600 dev/parport1
export ZAVBIT2_PROC_ROOT=$tmp/proc ZAVBIT2_DEV_ROOT=$tmp/dev
# Root may open anything: the user without access is nobody.
chmod 755 "$tmp"
asuser=()
if [ "$(id -u)" = 0 ]; then
    asuser=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    # nobody may not reach the checkout (a private folder): the program, its
    # port libraries and the HEX file go where it may.
    mkdir -m 755 bin
    cp "$prog" "$(dirname "$prog")"/libzavbit2.so "$(dirname "$prog")"/libzavbit2sim.so bin/
    cp "$fixtures/f84_blink_inhx32.hex" bin/
    prog=$tmp/bin/quibb9x fixtures=$tmp/bin
fi
run() {
    "${asuser[@]}" "$prog" "$@" >out.txt 2>err.txt </dev/null
    status=$?
}

case="two ports, one that may not be opened"
run ports
expect_status 0
expect_out "parport0  0x378  $tmp/dev/parport0  you may open it" \
    "parport1  0x278  $tmp/dev/parport1  you may not open it: Permission denied. Add yourself to group lp (sudo usermod -aG lp \$USER), then log in again."
[ ! -s err.txt ] || fail "unexpected standard error: $(cat err.txt)"

case="a read-out at an address no port has"
mkdir -m 777 dumps
run --port 0x3BC read-hex dumps/dump.hex
expect_status 1
# The library's line says why, once; the refusal names the port.
expect_err "zavbit2: no parallel port has its registers at I/O address 0x3BC. Parallel ports on this machine: 0x378 ($tmp/dev/parport0), 0x278 ($tmp/dev/parport1). Choose one of these addresses. Meanwhile the port reads 0xFF and writes to it go nowhere." \
    "quibb9x: no board answers at port 0x3BC, which the port library cannot reach (its line above says why and what to do)"
[ ! -s out.txt ] || fail "status lines of a refused read-out: $(cat out.txt)"
[ ! -e dumps/dump.hex ] || fail "a refused read-out wrote its file"

case="a port this user may not open"
run --port lpt2 verify "$fixtures/f84_blink_inhx32.hex"
expect_status 1
expect_err "zavbit2: cannot open $tmp/dev/parport1 (the parallel port at 0x278): Permission denied. Add yourself to group lp (sudo usermod -aG lp \$USER), then log in again. Meanwhile the port reads 0xFF and writes to it go nowhere." \
    "quibb9x: no board answers at port 0x278, which the port library cannot reach (its line above says why and what to do)"

case="no port at all"
rm -rf proc/sys/dev/parport
run ports
expect_status 1
[ ! -s out.txt ] || fail "standard output not empty: $(cat out.txt)"
expect_err "quibb9x: the kernel knows of no parallel port on this machine; if it has one, load its driver: sudo modprobe parport_pc ppdev."

exit $((failures > 0))

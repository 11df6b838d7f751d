#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# --vcd end to end: a capture of a burn from the command line and of the
# window's start-up, the help naming it, and a capture file that cannot be
# created refused before the board is touched.
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
failures=0
fail() {
    echo "FAIL [$case]: $*" >&2
    failures=$((failures + 1))
}
# Number of changes of one wire (by its identifier) to one level.
changes() { grep -c "^$2$1\$" "$3"; }

case="help"
"$prog" --help >out.txt
grep -q -- "--vcd <file>" out.txt || fail "--help does not name --vcd"
grep -q "at least 1 microsecond" out.txt || fail "--help does not give the clock floor"

case="a file that cannot be created"
"$prog" --simulate --port 0x278 --vcd "$tmp/no/such/dir/x.vcd" burn "$fixtures/f84_blink_inhx32.hex" \
    >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 1 ] || fail "exit status $status, expected 1"
printf '%s\n' "quibb9x: cannot create the capture file '$tmp/no/such/dir/x.vcd': No such file or directory; give --vcd a path in a directory you can write to" |
    diff -u - err.txt >&2 || fail "standard error differs"
[ ! -s out.txt ] || fail "the burn started: $(cat out.txt)"
[ ! -e chip.txt ] || fail "the board was touched"

case="a burn"
"$prog" --simulate --port 0x278 --vcd burn.vcd burn "$fixtures/f84_blink_inhx32.hex" >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 0 ] || fail "exit status $status: $(cat err.txt)"
head -1 burn.vcd | grep -q '^\$date ' || fail "no VCD header"
for wire in vpp clock data data_dir data_in; do
    grep -q "^\$var wire 1 . $wire \$end\$" burn.vcd || fail "no wire $wire"
done
# 30 words of 4 commands and 2 frames; a load configuration and its frame
# before the ID words and before the configuration word, then 7 increments;
# the clock is high from the first write (that change counts as well).
[ "$(changes k 1 burn.vcd)" = $((30 * (4 * 6 + 2 * 16) + 2 * 22 + 7 * 6 + 1)) ] ||
    fail "$(changes k 1 burn.vcd) rising clock edges"
[ "$(changes v 1 burn.vcd)" = 3 ] || fail "Vpp not switched on for each of the 3 passes"
tail -1 burn.vcd | grep -q '^#[0-9]*$' || fail "no time mark at the end"

case="the window's start-up"
QT_QPA_PLATFORM=offscreen "$prog" --simulate --port 0x278 --vcd window.vcd --quit-after-start \
    >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 0 ] || fail "exit status $status: $(cat err.txt)"
[ "$(changes v 0 window.vcd)" = 1 ] || fail "the idle lines are not captured"

exit $((failures > 0))

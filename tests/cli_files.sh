#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Files the command line makes beside others: two HEX dumps at once, each
# with a temporary file of its own, past a file planted at the old fixed
# name; and where --simulate keeps its chips when QUIBB9X_SIM_FILE is unset
# (the state directory, one file for each kind) or empty (nowhere).
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
failures=0
fail() {
    echo "FAIL [$case]: $*" >&2
    failures=$((failures + 1))
}
blink=$fixtures/f84_blink_inhx32.hex
sim() { "$prog" --simulate --port lpt2 "$@" </dev/null; }

case="two read-hex at once, a file planted at the old name"
sim burn "$blink" >/dev/null || fail "the burn failed"
echo "another user's" >quibb.tmp
sim read-hex a.hex >a.out 2>a.err &
first=$!
sim read-hex b.hex >b.out 2>b.err
second=$?
wait "$first" || fail "the first dump failed: $(cat a.err)"
[ "$second" = 0 ] || fail "the second dump failed: $(cat b.err)"
cmp -s a.hex b.hex || fail "the two dumps differ"
[ "$(cat quibb.tmp)" = "another user's" ] || fail "the planted file was touched"
[ "$(grep -h 'Using temp-file:' a.out b.out | sort -u | wc -l)" = 2 ] || fail "the two dumps shared a name"
[ -z "$(find . -name 'quibb-*')" ] || fail "temporary files left: $(find . -name 'quibb-*')"

case="a dump that replaces a file keeps its permission bits"
for kind in hex bin; do
    echo old >"kept.$kind"
    chmod 640 "kept.$kind"
    sim "read-$kind" "kept.$kind" >/dev/null || fail "the $kind dump failed"
    [ "$(stat -c %a "kept.$kind")" = 640 ] || fail "kept.$kind is now $(stat -c %a "kept.$kind")"
    [ "$(head -c 3 "kept.$kind")" != old ] || fail "kept.$kind was not replaced"
done

case="a settings file over 1 MiB is ignored, with a word"
{ printf '[OPTIONS]\nLPT= 632\n'; head -c 2097152 /dev/zero | tr '\0' ';'; } >quibb9x.ini
"$prog" detect >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 2 ] || fail "exit status $status, expected 2"
head -n 1 err.txt | grep -qxF "quibb9x: ignoring the settings file $tmp/quibb9x.ini: larger than 1 MiB; remove or replace it" ||
    fail "no word of the settings file: $(cat err.txt)"
rm quibb9x.ini

case="--simulate keeps one chip of each kind in XDG_STATE_HOME when QUIBB9X_SIM_FILE is unset"
unset QUIBB9X_SIM_FILE
export XDG_STATE_HOME=$tmp/state HOME=$tmp/home
f628a=$fixtures/f628a_blink_inhx32.hex
sim burn "$blink" >/dev/null || fail "the burn failed"
QUIBB9X_SIM_CHIP=16F628A sim --device 16F628A burn "$f628a" >/dev/null || fail "the 16F628A's burn failed"
sim verify "$blink" >/dev/null 2>&1 || fail "the 16F84 is not found again after the 16F628A"
QUIBB9X_SIM_CHIP=16F628A sim --device 16F628A verify "$f628a" >/dev/null 2>&1 || fail "the 16F628A is lost"
[ -s state/quibb9x/simulated-PIC16F84.txt ] || fail "no 16F84 in the state directory"
[ -s state/quibb9x/simulated-PIC16F628A.txt ] || fail "no 16F628A in the state directory"
[ -z "$(find state -name 'simulated-chip*')" ] || fail "a shared chip file: $(find state -name 'simulated-chip*')"
[ ! -e home ] || fail "wrote into HOME"

case="an older simulated-chip.txt moves to its chip's own file, once"
mkdir -p state2/quibb9x
cp state/quibb9x/simulated-PIC16F84.txt state2/quibb9x/simulated-chip.txt
XDG_STATE_HOME=$tmp/state2 sim verify "$blink" >/dev/null 2>err.txt || fail "the older file's chip is not found"
[ -s state2/quibb9x/simulated-PIC16F84.txt ] && [ ! -e state2/quibb9x/simulated-chip.txt ] ||
    fail "not moved: $(ls state2/quibb9x)"
grep -qxF "zavbit2sim: the PIC16F84 in $tmp/state2/quibb9x/simulated-chip.txt is kept in $tmp/state2/quibb9x/simulated-PIC16F84.txt from now on (one file for each kind of chip)" err.txt ||
    fail "no word of the move: $(cat err.txt)"

case="... and in HOME/.local/state without XDG_STATE_HOME"
unset XDG_STATE_HOME
sim burn "$blink" >/dev/null || fail "the burn failed"
[ -s home/.local/state/quibb9x/simulated-PIC16F84.txt ] || fail "no chip in ~/.local/state"

case="set but empty: the chip lives only for the run"
export QUIBB9X_SIM_FILE= HOME=$tmp/home2
sim burn "$blink" >/dev/null || fail "the burn failed"
sim verify "$blink" >/dev/null 2>&1 && fail "a chip was kept"
[ ! -e home2 ] || fail "wrote into HOME: $(find home2)"

exit $((failures > 0))

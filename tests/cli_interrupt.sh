#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# SIGTERM, SIGINT, SIGHUP, SIGQUIT and a closed output in the middle of a burn
# on the simulated board (real waits): the program exits with status 130 (128
# + n for a hang-up, a quit or a closed pipe) after putting the board idle,
# with its capture file finished; the chip holds the words burnt so far and
# nothing after them, and the next run finds the board as usual. A SIGINT the
# caller ignored stays ignored. (The exact port traffic at the end is checked by
# test_cli; the simulated chip cannot be left in programming mode here: its
# file is written when programming mode ends.)
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
export QUIBB9X_SIM_CHIP=16C84
full=$fixtures/c84_full_inhx32.hex
failures=0
fail() {
    echo "FAIL [$signal]: $*" >&2
    failures=$((failures + 1))
}
chipword() {
    awk -v sec="$1" -v idx="$2" '
        NF == 2 && $1 == sec { on = 1; n = 0; next }
        on && /^[a-z]/ { exit }
        on { for (i = 1; i <= NF; i++) { if (n == idx) { print $i; exit } n++ } }' chip.txt
}

# The capture ends with Vpp off and a final time mark.
capturedone() {
    tail -1 lines.vcd | grep -q '^#[0-9]*$' && [ "$(grep -E '^[01]v$' lines.vcd | tail -1)" = 0v ]
}

# Job control, so the background job does not start with SIGINT and SIGQUIT
# ignored as a script's jobs do.
set -m
for signal in TERM INT HUP QUIT PIPE; do
    rm -f chip.txt lines.vcd
    case $signal in TERM | INT) expected=130 ;; HUP) expected=129 ;; QUIT) expected=131 ;; PIPE) expected=141 ;; esac
    if [ "$signal" = PIPE ]; then
        # The reader goes after "Programming...": the next line, written
        # after the program-memory pass, meets a closed pipe.
        "$prog" --simulate --port 0x278 --device 16C84 --vcd lines.vcd burn "$full" 2>err.txt </dev/null |
            sed '/Programming/q' >out.txt
        status=${PIPESTATUS[0]}
    else
    "$prog" --simulate --port 0x278 --device 16C84 --vcd lines.vcd burn "$full" >out.txt 2>err.txt </dev/null &
    pid=$!
    # Wait until the program-memory pass runs (its line comes first), then a
    # little more so that some words are burnt.
    for _ in $(seq 1 200); do
        grep -q "Programming..." out.txt && break
        sleep 0.05
    done
    sleep 0.5
    kill -s "$signal" "$pid"
    wait "$pid"
    status=$?
    fi
    [ "$status" = "$expected" ] || fail "exit status $status, expected $expected"
    grep -qx "quibb9x: interrupted; the board is idle (programming voltage off)" err.txt ||
        fail "no word of the interruption: $(cat err.txt)"
    grep -q "SUCCESS!" out.txt && fail "the burn was not interrupted"
    capturedone || fail "the capture file is not finished: $(tail -2 lines.vcd)"
    [ "$(chipword program 0)" = 2BFF ] || fail "the first word was not burnt: $(chipword program 0)"
    if [ "$signal" = PIPE ]; then  # stopped after the program-memory pass
        [ "$(chipword program 1023)" = 2801 ] || fail "program memory was not burnt to its end"
        [ "$(chipword id 0)" = 3FFF ] || fail "an ID word was burnt"
    else
        [ "$(chipword program 1023)" = 3FFF ] || fail "the last word was burnt"
    fi
    [ "$(chipword config 0)" = 3FFF ] || fail "the configuration word was burnt"

    "$prog" --simulate --port 0x278 --device 16C84 verify "$full" >out.txt 2>err.txt </dev/null
    status=$?
    [ "$status" = 3 ] || fail "verify after the interruption: exit status $status, expected 3"
    grep -q "^ERROR!: Failed at 0x" err.txt || fail "verify found no mismatch: $(cat err.txt)"
    "$prog" --simulate --port 0x278 detect >out.txt 2>err.txt </dev/null ||
        fail "the board does not answer after the interruption"
done
set +m

# A script's background job ignores SIGINT: the burn goes on to its end.
signal="INT ignored"
rm -f chip.txt
"$prog" --simulate --port 0x278 --device 16C84 burn "$full" >out.txt 2>err.txt </dev/null &
pid=$!
for _ in $(seq 1 200); do
    grep -q "Programming..." out.txt && break
    sleep 0.05
done
kill -s INT "$pid"
wait "$pid"
status=$?
[ "$status" = 0 ] || fail "exit status $status, expected 0: $(cat err.txt)"
grep -q "SUCCESS!" out.txt || fail "the burn did not finish"
exit $((failures > 0))

#!/usr/bin/env bash
# SIGTERM and SIGINT in the middle of a burn on the simulated board (real
# waits): the program exits with status 130 after putting the board idle; the
# chip holds the words burnt so far and nothing after them, and the next run
# finds the board as usual. (The exact port traffic at the end is checked by
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

for signal in TERM INT; do
    rm -f chip.txt
    "$prog" --simulate --port 0x278 --device 16C84 burn "$full" >out.txt 2>err.txt </dev/null &
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
    [ "$status" = 130 ] || fail "exit status $status, expected 130"
    grep -qx "quibb9x: interrupted; the board is idle (programming voltage off)" err.txt ||
        fail "no word of the interruption: $(cat err.txt)"
    grep -q "SUCCESS!" out.txt && fail "the burn was not interrupted"
    [ "$(chipword program 0)" = 2BFF ] || fail "the first word was not burnt: $(chipword program 0)"
    [ "$(chipword program 1023)" = 3FFF ] || fail "the last word was burnt"
    [ "$(chipword config 0)" = 3FFF ] || fail "the configuration word was burnt"

    "$prog" --simulate --port 0x278 --device 16C84 verify "$full" >out.txt 2>err.txt </dev/null
    status=$?
    [ "$status" = 1 ] || fail "verify after the interruption: exit status $status, expected 1"
    grep -q "^ERROR!: Failed at 0x" err.txt || fail "verify found no mismatch: $(cat err.txt)"
    "$prog" --simulate --port 0x278 detect >out.txt 2>err.txt </dev/null ||
        fail "the board does not answer after the interruption"
done
exit $((failures > 0))

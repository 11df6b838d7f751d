#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Production runs end to end on simulated boards (real waits): two runs on
# two boards numbering 20 chips from one counter file, chip after chip
# through the simulated socket; runs killed between chips and in the middle
# of a burn; a chip that fails in a batch; --json read by a JSON parser, and
# the checksum against a sum of srec_cat's bytes; counter files, a serial
# that does not fit, a full disk and a missing board refused with nothing
# burnt and no number lost.
# Arguments: the program, the fixtures directory. FULLDISK_LIB: the
# preloadable disk that fills up (tests/support/fulldisk.cpp).
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
unset QUIBB9X_SIM_SOCKET QUIBB9X_TEST_DISK
failures=0
fail() {
    echo "FAIL [$case]: $*" >&2
    failures=$((failures + 1))
}
f628a=$fixtures/f628a_blink_inhx32.hex
blink=$fixtures/f84_blink_inhx32.hex
full=$fixtures/c84_full_inhx32.hex
head1="quibb9x serial numbers, format 1"

# One word of a chip file: file, region, index.
chipword() {
    awk -v sec="$2" -v idx="$3" '
        NF == 2 && $1 == sec { on = 1; n = 0; next }
        on && /^[a-z]/ { exit }
        on { for (i = 1; i <= NF; i++) { if (n == idx) { print $i; exit } n++ } }' "$1"
}
# The chip in the socket changes as a person changes it: the board sees the
# socket file at its next entry into programming mode.
insert() { printf '%s\n' "$2" >"$1.new" && mv "$1.new" "$1"; }
# Waits until a file has at least N lines with the text.
waitfor() {
    for _ in $(seq 1 1800); do
        [ "$(grep -c -- "$2" "$1" 2>/dev/null)" -ge "$3" ] && return 0
        sleep 0.1
    done
    fail "no $3 lines '$2' in $1: $(tail -3 "$1")"
    return 1
}
# Takes each chip out of a --repeat run's socket and puts the next one in.
feed() {
    local socket=$1 err=$2 k=1
    shift 2
    for chip in "$@"; do
        waitfor "$err" "take the chip out" $k || return
        insert "$socket" none
        waitfor "$err" "the socket is empty" $k || return
        insert "$socket" "$chip"
        k=$((k + 1))
    done
}
# Every line a JSON object; prints the values of one field, a line each.
field() { python3 -c 'import json, sys
for line in open(sys.argv[1]):
    v = json.loads(line).get(sys.argv[2])
    print("null" if v is None else v)' "$1" "$2"; }
# The sum the maker's IDE shows, from srec_cat's bytes alone: WORDS program
# words (0x3FFF where the file gives none) and the configuration words at
# 0x400E under their masks.
srecsum() {
    local file=$1 words=$2 sum=0 w k=0
    shift 2
    for w in $(srec_cat "$file" -intel -crop 0 $((2 * words)) -fill 0xFF 0 $((2 * words)) \
        -o - -binary | od -An -v -tu2 -w2); do
        sum=$(((sum + (w & 0x3FFF)) & 0xFFFF))
    done
    for mask in "$@"; do
        w=$(srec_cat "$file" -intel -crop $((0x400E + 2 * k)) $((0x4010 + 2 * k)) \
            -offset -$((0x400E + 2 * k)) -o - -binary | od -An -tu2 | tr -d ' ')
        sum=$(((sum + (w & mask)) & 0xFFFF))
        k=$((k + 1))
    done
    printf '0x%04X\n' "$sum"
}
sim() {
    "$prog" --simulate --port 0x278 "$@" >out.txt 2>err.txt </dev/null
    status=$?
}

# ---- Two boards, one counter ----
case="two boards number 20 chips from one counter file"
export QUIBB9X_SIM_CHIP=16F628A
mkdir -p a b
insert a/socket "$tmp/a/01.txt"
insert b/socket "$tmp/b/01.txt"
board() {
    QUIBB9X_SIM_SOCKET=$tmp/$1/socket exec "$prog" --simulate --port 0x278 --device 16F628A \
        --serial counter.txt --serial-start 1 --serial-at "$2" --log lot.jsonl --repeat -q \
        burn "$f628a" >"$1/out.txt" 2>"$1/err.txt" </dev/null
}
set -m  # the runs get SIGINT, as from Ctrl-C
board a retlw:0x700 &
pa=$!
board b eeprom:0x40 &
pb=$!
set +m
feed a/socket a/err.txt $(seq -f "$tmp/a/%02g.txt" 2 10) &
fa=$!
feed b/socket b/err.txt $(seq -f "$tmp/b/%02g.txt" 2 10) &
fb=$!
wait "$fa" "$fb"
waitfor a/err.txt "take the chip out" 10
waitfor b/err.txt "take the chip out" 10
kill -INT "$pa" "$pb"  # between chips: the batch ends
wait "$pa"; sa=$?
wait "$pb"; sb=$?
[ "$sa.$sb" = 0.0 ] || fail "exit statuses $sa and $sb: $(cat a/err.txt b/err.txt)"
[ "$(cat counter.txt)" = "$head1"$'\n'"next 21" ] || fail "counter file: $(cat counter.txt)"
used=()
for side in a b; do
    grep -q "^quibb9x: 10 chips: 10 passed, 0 failed; serials burnt: " $side/out.txt ||
        fail "$side: no summary: $(tail -1 $side/out.txt)"
    for k in $(seq 1 10); do
        n=$(sed -n "s/^quibb9x: chip $k: passed, serial \([0-9]*\), checksum 0x[0-9A-F]*$/\1/p" $side/out.txt)
        [ -n "$n" ] || { fail "$side chip $k: no line"; continue; }
        used+=("$n")
        chip=$(printf '%s/%02d.txt' $side "$k")
        if [ $side = a ]; then  # RETLW n & 0xFF, RETLW n >> 8 at 0x700
            got="$(chipword "$chip" program $((0x700))) $(chipword "$chip" program $((0x701)))"
            want=$(printf '%04X %04X' $((0x3400 | (n & 255))) $((0x3400 | (n >> 8))))
        else  # data bytes 0x40, 0x41
            got="$(chipword "$chip" data $((0x40))) $(chipword "$chip" data $((0x41)))"
            want=$(printf '%02X %02X' $((n & 255)) $((n >> 8)))
        fi
        [ "$got" = "$want" ] || fail "$chip holds '$got', serial $n wants '$want'"
    done
done
[ "$(printf '%s\n' "${used[@]}" | sort -n | tr '\n' ' ')" = "$(seq 1 20 | tr '\n' ' ')" ] ||
    fail "serials used: ${used[*]}"
[ "$(wc -l <lot.jsonl)" = 20 ] || fail "the log has $(wc -l <lot.jsonl) lines"
[ "$(field lot.jsonl serial | sort -n | tr '\n' ' ')" = "$(seq 1 20 | tr '\n' ' ')" ] ||
    fail "the log's serials: $(field lot.jsonl serial | tr '\n' ' ')"
[ "$(field lot.jsonl result | sort -u)" = ok ] || fail "results: $(field lot.jsonl result | sort -u)"

# ---- Killed runs ----
case="SIGKILL between chips leaves the counter and the log whole"
export QUIBB9X_SIM_CHIP=16F84A
mkdir -p k
insert k/socket "$tmp/k/01.txt"
QUIBB9X_SIM_SOCKET=$tmp/k/socket "$prog" --simulate --port 0x278 --device 16F84A --serial k/c.txt \
    --serial-at eeprom:0x3E --log k/log.jsonl --repeat -q burn "$blink" >k/out.txt 2>k/err.txt </dev/null &
pk=$!
feed k/socket k/err.txt "$tmp/k/02.txt"
waitfor k/err.txt "take the chip out" 2
kill -KILL "$pk"
wait "$pk" 2>/dev/null
[ "$(cat k/c.txt)" = "$head1"$'\n'"next 3" ] || fail "counter file: $(cat k/c.txt)"
[ "$(field k/log.jsonl serial | tr '\n' ' ')" = "1 2 " ] || fail "log: $(cat k/log.jsonl)"
ls k/.c.txt.part* >/dev/null 2>&1 && fail "a temporary counter file was left"

case="interrupted and killed in the middle of a burn"
# c84_full fills the whole chip: its burn takes some seconds.
burnfull() {
    "$prog" --simulate --port 0x278 --device 16F84A --serial k/c.txt --serial-at eeprom:0x3E \
        --serial-overwrite --log k/log.jsonl burn "$full" >k/out.txt 2>k/err.txt </dev/null &
    pk=$!
    waitfor k/out.txt "Programming..." 1
    sleep 1
    kill -"$1" "$pk"
    wait "$pk" 2>/dev/null
    status=$?
}
export QUIBB9X_SIM_FILE=$tmp/k/mid.txt
set -m
burnfull INT
set +m
[ "$status" = 130 ] || fail "SIGINT: exit status $status"
grep -qx "quibb9x: serial 3 is kept as failed in k/c.txt and will not be given again" k/err.txt ||
    fail "SIGINT: $(cat k/err.txt)"
[ "$(tail -1 k/log.jsonl | python3 -c 'import json,sys; d=json.load(sys.stdin); print(d["serial"], d["failure"], d["message"])')" = \
  "3 interrupted interrupted" ] || fail "SIGINT: the log's last line: $(tail -1 k/log.jsonl)"
burnfull KILL
[ "$status" = 137 ] || fail "SIGKILL: exit status $status"
[ "$(cat k/c.txt)" = "$head1"$'\n'"next 5"$'\n'"taken 4"$'\n'"failed 3" ] || fail "counter file: $(cat k/c.txt)"
[ "$(field k/log.jsonl serial | tr '\n' ' ')" = "1 2 3 " ] || fail "log: $(cat k/log.jsonl)"
# The next run goes on from the number after the one the killed run took.
sim --device 16F84A --serial k/c.txt --serial-at eeprom:0x3E --log k/log.jsonl -q burn "$blink"
[ "$status" = 0 ] || fail "the run after: exit status $status: $(cat err.txt)"
[ "$(field k/log.jsonl serial | tr '\n' ' ')" = "1 2 3 5 " ] || fail "log: $(cat k/log.jsonl)"
[ "$(chipword k/mid.txt data $((0x3E)))" = 05 ] || fail "the chip does not hold 5"

# ---- A chip that fails ----
case="a chip that fails is kept as failed and the batch goes on"
mkdir -p f
cp k/mid.txt f/01.txt
# Protected by its configuration word: reads as zeros, refuses writes.
sed '/^config 1$/{n;s/.*/000F/;}; s/^protected 0$/protected 1/' k/mid.txt >f/02.txt
insert f/socket "$tmp/f/01.txt"
QUIBB9X_SIM_SOCKET=$tmp/f/socket "$prog" --simulate --port 0x278 --device 16F84A --serial f/c.txt \
    --serial-at eeprom:0x3E --log f/log.jsonl --repeat burn "$blink" >f/out.txt 2>f/err.txt </dev/null &
pf=$!
feed f/socket f/err.txt "$tmp/f/02.txt" "$tmp/f/03.txt"
waitfor f/err.txt "take the chip out" 3
kill -TERM "$pf"
wait "$pf"
status=$?
[ "$status" = 3 ] || fail "exit status $status, expected 3 (the first chip that failed)"
grep -qx "quibb9x: chip 2: failed (exit status 3), serial 2, checksum 0x668D" f/out.txt || fail "$(grep chip f/out.txt)"
grep -qx "quibb9x: 3 chips: 2 passed, 1 failed; serials burnt: 1, 3; kept as failed: 2" f/out.txt ||
    fail "summary: $(tail -1 f/out.txt)"
grep -qx "ERROR!: Failed at 0x0: Expecting 0x2805, found 0x0." f/err.txt || fail "no mismatch: $(cat f/err.txt)"
[ "$(cat f/c.txt)" = "$head1"$'\n'"next 4"$'\n'"failed 2" ] || fail "counter file: $(cat f/c.txt)"
[ "$(field f/log.jsonl failure | tr '\n' ' ')" = "null verify null " ] || fail "log: $(cat f/log.jsonl)"
[ "$(field f/log.jsonl address | tr '\n' ' ')" = "null 0x0000 null " ] || fail "log: $(cat f/log.jsonl)"
[ "$(chipword f/03.txt data $((0x3E))) $(chipword f/01.txt data $((0x3E)))" = "03 01" ] ||
    fail "the chips do not hold their numbers"

case="a chip without a device ID: Enter for the next, the end of input ends the batch"
export QUIBB9X_SIM_CHIP=16F84 QUIBB9X_SIM_FILE=$tmp/e.txt
mkdir -p e
printf '\n\n' | "$prog" --simulate --port 0x278 --serial e/c.txt --serial-at id --serial-overwrite \
    --repeat -q burn "$blink" >out.txt 2>err.txt
status=$?
[ "$status" = 0 ] || fail "exit status $status: $(cat err.txt)"
[ "$(grep -c "press Enter" err.txt)" = 3 ] || fail "prompts: $(cat err.txt)"
grep -qx "quibb9x: 3 chips: 3 passed, 0 failed; serials burnt: 1-3; kept as failed: none" out.txt ||
    fail "summary: $(tail -1 out.txt)"
[ "$(chipword e.txt id 0) $(chipword e.txt id 1)" = "0003 0000" ] ||
    fail "the ID words: $(chipword e.txt id 0) $(chipword e.txt id 1)"

# ---- --json and the checksum ----
case="--json: the only line, and the checksum as srec_cat's bytes sum up"
export QUIBB9X_SIM_FILE=$tmp/j.txt
for row in "16F84 $blink 1024 0x3FFF" "16F628A $f628a 2048 0x21FF" \
           "16F88 $fixtures/f88_blink_inhx32.hex 4096 0x3FFF 0x0003"; do
    read -r chip file words masks <<<"$row"
    rm -f j.txt
    QUIBB9X_SIM_CHIP=$chip sim --device "$chip" --json burn "$file"
    [ "$status" = 0 ] || fail "$chip: exit status $status: $(cat err.txt)"
    [ "$(wc -l <out.txt)" = 1 ] || fail "$chip: standard output is not one line: $(cat out.txt)"
    expected=$(srecsum "$file" "$words" $masks)
    [ "$(field out.txt checksum)" = "$expected" ] || fail "$chip: checksum $(field out.txt checksum), srec_cat gives $expected"
    [ "$(field out.txt sha256)" = "$(sha256sum <"$file" | cut -c1-64)" ] || fail "$chip: sha256"
    [ "$(field out.txt operation) $(field out.txt result)" = "burn ok" ] || fail "$chip: $(cat out.txt)"
    QUIBB9X_SIM_CHIP=$chip sim --device "$chip" --json read-hex dump.hex
    [ "$(field out.txt checksum)" = "$(srecsum dump.hex "$words" $masks)" ] ||
        fail "$chip: the read-out's checksum $(field out.txt checksum) is not its dump's"
    [ "$(field out.txt sha256)" = "$(sha256sum <dump.hex | cut -c1-64)" ] || fail "$chip: the dump's sha256"
done
# A file with gaps on the 16F84: the file sums as the IDE does, the chip
# (which holds 0 in the gaps) as its dump does.
rm -f j.txt
QUIBB9X_SIM_CHIP=16F84 sim burn "$blink"
cp out.txt burn.txt
QUIBB9X_SIM_CHIP=16F84 sim read-hex dump.hex
grep -qx "quibb9x: checksum $(srecsum "$blink" 1024 0x3FFF); the chip sums to $(srecsum dump.hex 1024 0x3FFF), since the words the file leaves out below its last one are burnt as 0" burn.txt ||
    fail "16F84: $(grep checksum burn.txt)"

# ---- Bad input ----
case="bad counter files: refused, nothing burnt, nothing changed"
export QUIBB9X_SIM_CHIP=16F84 QUIBB9X_SIM_FILE=$tmp/bad.txt
sim --device 16F84 burn "$blink"  # a chip to compare with
cp bad.txt bad.before
mkdir -p c
echo "$head1"$'\n'"next 7" >c/real
ln -s real c/link
mkfifo c/fifo
: >c/empty
head -c 200 /dev/urandom >c/garbage
printf 'quibb9x serial numbers, format 9\nnext 1\n' >c/foreign
printf '%s\nnext 3\nfailed 1\nfailed 1\n' "$head1" >c/damaged
printf '%s\nnext 70000\n' "$head1" >c/toolarge
cp c/toolarge c/toolarge.before
for counter in link fifo empty garbage foreign damaged toolarge; do
    timeout 20 "$prog" --simulate --port 0x278 --serial "c/$counter" --serial-at eeprom:0x30 \
        --json burn "$blink" >out.txt 2>err.txt </dev/null
    status=$?
    [ "$status" = 1 ] || fail "$counter: exit status $status"
    grep -q "^quibb9x: .*; nothing was burnt$" err.txt || fail "$counter: $(cat err.txt)"
    [ "$(field out.txt result) $(field out.txt serial)" = "failed null" ] || fail "$counter: $(cat out.txt)"
    cmp -s bad.txt bad.before || fail "$counter: the chip changed"
done
grep -qx "quibb9x: serial 70000 does not fit 2 bytes as bin (the largest is 65535); give a larger --serial-width; nothing was burnt" err.txt ||
    fail "toolarge: $(cat err.txt)"
[ -p c/fifo ] && [ -L c/link ] && [ "$(cat c/real)" = "$head1"$'\n'"next 7" ] || fail "a refused file was changed"
cmp -s c/toolarge c/toolarge.before || fail "the counter that was too large changed"

case="a full disk is found before the first chip; a line is whole or absent"
mkdir -p disk
[ -n "${FULLDISK_LIB:-}" ] && [ -f "$FULLDISK_LIB" ] || fail "FULLDISK_LIB is not set to the preloadable disk"
LD_PRELOAD=$FULLDISK_LIB QUIBB9X_TEST_DISK=$tmp/disk/:full \
    sim --serial disk-c.txt --serial-at eeprom:0x30 --log disk/log.jsonl burn "$blink"
[ "$status" = 1 ] || fail "full: exit status $status"
grep -qx "quibb9x: cannot write the log disk/log.jsonl: No space left on device; make room or choose another place, nothing was burnt" err.txt ||
    fail "full: $(cat err.txt)"
cmp -s bad.txt bad.before || fail "full: the chip changed"
[ ! -e disk-c.txt ] || fail "full: a serial was taken: $(cat disk-c.txt)"
[ ! -s disk/log.jsonl ] || fail "full: the log: $(cat disk/log.jsonl)"
sim --serial disk-c.txt --serial-at eeprom:0x30 --log disk/log.jsonl -q burn "$blink"
cp disk/log.jsonl disk/log.before
LD_PRELOAD=$FULLDISK_LIB QUIBB9X_TEST_DISK=$tmp/disk/:short \
    sim --serial disk-c.txt --serial-at eeprom:0x30 --log disk/log.jsonl -q burn "$blink"
[ "$status" = 1 ] || fail "short: exit status $status"
grep -qx "quibb9x: cannot add the chip's line to the log disk/log.jsonl: No space left on device; the chip has no record there" err.txt ||
    fail "short: $(cat err.txt)"
cmp -s disk/log.jsonl disk/log.before || fail "short: half a line was left: $(tail -c 100 disk/log.jsonl)"
[ "$(cat disk-c.txt)" = "$head1"$'\n'"next 3" ] || fail "short: counter file: $(cat disk-c.txt)"

case="--repeat with no board: refused, no number taken"
QUIBB9X_SIM_BOARD=none sim --serial nb.txt --serial-at eeprom:0x30 --repeat burn "$blink"
[ "$status" = 1 ] || fail "exit status $status"
grep -q "^quibb9x: no board answers at port 0x278" err.txt || fail "$(cat err.txt)"
grep -qx "quibb9x: 0 chips: 0 passed, 0 failed; serials burnt: none; kept as failed: none" out.txt ||
    fail "summary: $(cat out.txt)"
[ ! -e nb.txt ] || fail "a number was taken: $(cat nb.txt)"
exit $((failures > 0))

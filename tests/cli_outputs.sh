#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Where the command line's files go: dumps and captures through links, to
# streams and to "-"; a --vcd path that is another file of the run refused
# with that file unchanged; a capture on a full disk, of a killed run; file
# names that are not UTF-8 used byte for byte and control characters in
# arguments escaped; the HEX check at the edges of the format and of the
# chip; the simulated chip file locked for a run and a chip that could not
# be saved failing the command.
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
failures=0
fail() {
    echo "FAIL [$case]: $*" >&2
    failures=$((failures + 1))
}
blink=$fixtures/f84_blink_inhx32.hex
sim() { "$prog" --simulate --port lpt2 "$@" </dev/null; }
run() {
    sim "$@" >out.txt 2>err.txt
    status=$?
}
expect_status() { [ "$status" = "$1" ] || fail "exit status $status, expected $1 (stderr: $(cat err.txt))"; }
expect_err() { printf '%s\n' "$@" | diff -u - err.txt >&2 || fail "standard error differs"; }
# A VCD file a reader takes: vcd2fst where installed; else every line after
# the definitions is a rising time mark or a change of a declared wire
# (sigrok-cli reads anything without complaint).
readable_vcd() {
    if command -v vcd2fst >/dev/null; then
        vcd2fst "$1" "$1.fst" >/dev/null 2>&1
        return
    fi
    awk 'BEGIN { last = -1 }
         !defs { if ($0 ~ /^\$var wire 1 [vkdoi] /) wires++; if ($0 ~ /^\$enddefinitions/) defs = 1; next }
         /^#[0-9]+$/ { t = substr($0, 2) + 0; if (t <= last) exit 1; last = t; next }
         /^[01x][vkdoi]$/ || /^\$dumpvars$/ || /^\$end$/ { next }
         { exit 1 }
         END { if (!defs || wires != 5 || last < 0) exit 1 }' "$1"
}

sim burn "$blink" >/dev/null 2>&1 || fail "the burn before the dumps failed"
sim read-hex plain.hex >/dev/null 2>&1 || fail "a plain dump failed"
sim read-bin plain.bin >/dev/null 2>&1 || fail "a plain BIN dump failed"

case="a dump through a link to a file"
mkdir builds
for kind in hex bin; do
    echo old >"builds/v3.$kind"
    chmod 640 "builds/v3.$kind"
    ln -s "builds/v3.$kind" "out.$kind"
    run "read-$kind" "out.$kind"
    expect_status 0
    [ -L "out.$kind" ] || fail "the link out.$kind was replaced"
    cmp -s "builds/v3.$kind" "plain.$kind" || fail "the link's target does not hold the dump"
    [ "$(stat -c %a "builds/v3.$kind")" = 640 ] || fail "the target's bits are $(stat -c %a "builds/v3.$kind")"
done
[ -z "$(find . -name '*.part*')" ] || fail "temporary files left: $(find . -name '*.part*')"
ln -s nowhere/at/all dangling.hex
run read-hex dangling.hex
expect_status 1
[ ! -e nowhere ] || fail "a dangling link's target was made"

case="a dump to /dev/stdout and to -"
for target in /dev/stdout -; do
    for kind in hex bin; do
        sim "read-$kind" "$target" 2>status.txt | cat >piped.$kind
        [ "${PIPESTATUS[0]}" = 0 ] || fail "read-$kind $target: $(cat status.txt)"
        cmp -s "piped.$kind" "plain.$kind" || fail "read-$kind $target did not give the dump alone"
        grep -q "Ok. Save successfull!" status.txt || fail "the status lines went into the dump"
    done
done
[ ! -e ./- ] || fail "a file named - was written"
[ -c /dev/null ] || fail "/dev/null is no longer a device"

case="--vcd naming another file of the run"
cp "$blink" mine.hex
printf '[OPTIONS]\nLPT= 632\n' >quibb9x.ini
ln -s mine.hex alias.hex
cp chip.txt chip.before
for args in "mine.hex burn mine.hex" "alias.hex verify mine.hex" "plain.hex read-hex plain.hex" \
            "quibb9x.ini detect" "chip.txt blank-check"; do
    set -- $args
    vcd=$1
    shift
    for f in mine.hex plain.hex quibb9x.ini chip.txt; do cp "$f" "$f.kept"; done
    run --vcd "$vcd" "$@"
    expect_status 1
    grep -q "^quibb9x: --vcd '$vcd' is the .*, which the capture would replace; give --vcd another path, nothing was touched\$" err.txt ||
        fail "--vcd $vcd $*: $(cat err.txt)"
    [ ! -s out.txt ] || fail "--vcd $vcd $*: the command ran"
    for f in mine.hex plain.hex quibb9x.ini chip.txt; do
        cmp -s "$f" "$f.kept" || fail "--vcd $vcd $*: $f changed"
    done
done
rm quibb9x.ini

case="--vcd through a link"
echo old >builds/lines.vcd
ln -s builds/lines.vcd lines.vcd
run --vcd lines.vcd detect
expect_status 0
[ -L lines.vcd ] || fail "the link was replaced"
head -1 builds/lines.vcd | grep -q '^\$date ' || fail "the target holds no capture"

case="--vcd on a full disk and to a pipe nobody reads"
run --vcd /dev/full burn "$blink"
expect_status 1
expect_err "quibb9x: cannot create the capture file '/dev/full': No space left on device; give --vcd a path in a directory you can write to"
[ ! -s out.txt ] || fail "the burn started"
mkfifo pipe
run --vcd pipe detect
expect_status 1
grep -q "nothing reads from it" err.txt || fail "a pipe nobody reads: $(cat err.txt)"
sim --vcd /dev/stdout detect 2>err.txt | cat >streamed.vcd
head -1 streamed.vcd | grep -q '^\$date ' || fail "no capture down the pipe"

case="a capture of a killed run"
export QUIBB9X_SIM_CHIP=16C84
for signal in TERM KILL; do
    rm -f killed.vcd .killed.vcd.part*
    "$prog" --simulate --port lpt2 --device 16C84 --vcd killed.vcd burn "$fixtures/c84_full_inhx32.hex" \
        >out.txt 2>err.txt </dev/null &
    pid=$!
    sleep 1
    kill -s "$signal" "$pid"
    wait "$pid"
    if [ "$signal" = TERM ]; then
        capture=killed.vcd
    else
        capture=$(ls .killed.vcd.part* 2>/dev/null | head -1)
    fi
    [ -n "$capture" ] && [ -s "$capture" ] || fail "$signal: no capture left"
    [ -n "$capture" ] && { grep -q '^1v$' "$capture" || fail "$signal: the capture stops before the burn"; }
    [ -n "$capture" ] && { readable_vcd "$capture" || fail "$signal: $capture is not a readable VCD"; }
done
export QUIBB9X_SIM_CHIP=16F84
rm -f .killed.vcd.part*

case="names that are not UTF-8, escapes in arguments"
name=$(printf 'cap\xad')
run --vcd "$name.vcd" read-hex "$name.hex"
expect_status 0
[ -f "$(printf 'cap\xad.vcd')" ] || fail "the capture is not under its own bytes: $(ls)"
[ -f "$(printf 'cap\xad.hex')" ] || fail "the dump is not under its own bytes: $(ls)"
[ ! -e "$(printf 'cap\xef\xbf\xbd.vcd')" ] || fail "the name was re-encoded"
grep -q 'cap\\xad.hex' out.txt || fail "the name is not shown escaped: $(cat out.txt)"
run --vcd "$(printf 'a\xae')" read-bin "$(printf 'a\xad')"
expect_status 0
[ -f "$(printf 'a\xae')" ] && [ -f "$(printf 'a\xad')" ] || fail "two names became one"
run --device "$(printf '\e]0;x\a')" detect
expect_status 2
expect_err "quibb9x: bad --device '\\x1b]0;x\\x07': use a chip 'quibb9x devices' lists (e.g. 16F628A) or auto (see 'quibb9x --help')"
run "$(printf 'go\xc2\x9b2J')"
expect_status 2
expect_err "quibb9x: unknown command 'go\\xc2\\x9b2J' (see 'quibb9x --help')"
run "$(printf 'x\x9b\x7f')"
expect_err "quibb9x: unknown command 'x\\x9b\\x7f' (see 'quibb9x --help')"

case="the HEX check at the edges"
check() {
    printf "$1" >edge.hex
    shift
    run --config 0x3FF1 "${@:-burn}" edge.hex
}
end=':00000001FF\n'
refused() { expect_err "quibb9x: edge.hex $1; mend the file, nothing was sent to the chip"; }
check ":02000000F 3FB0\n$end"
expect_status 1
refused "line 1: a blank at column 11 where the record needs a hexadecimal digit"
check ":0200000028G2D4\n$end"
refused "line 1: 'G' at column 12 where the record needs a hexadecimal digit"
check ":020000000528D1\n:0200000005280\n$end"
refused "line 2: record cut short: its byte count 0x02 needs 15 characters, the line has 14"
check ":0400000005280528A2\n$end" verify
[ "$status" = 3 ] && ! grep -q "mend the file" err.txt || fail "a good record was refused: $(cat err.txt)"
# A one-byte record carries no whole word: it is no data record.
check ":01000000AA55\n$end"
expect_err "quibb9x: edge.hex holds no data record; give a HEX file with the chip's words (lines such as :02000000...)"
# Words beyond the chip: the first is inside the record.
check ":0403FE0005280528A1\n$end" --device 16F83 burn
expect_status 1
expect_err "quibb9x: edge.hex line 1: word 0x0200 is beyond the chosen chip, which has 512 program words (0x0000 to 0x01FF); give the chip's own --device or mend the file, nothing was sent to the chip"
check ":0403FE0005280528A1\n$end" --device 16F84 verify
grep -q "beyond" err.txt && fail "a 16F84's word refused: $(cat err.txt)"
check ":02400800FF3F78\n$end"
expect_status 1
expect_err "quibb9x: edge.hex line 1: word 0x2004 is beyond the chosen chip, which has 4 ID locations (0x2000 to 0x2003); give the chip's own --device or mend the file, nothing was sent to the chip"
# A file cut short at a line boundary lacks its end record: never burnt.
check ":020000000528D1\n"
expect_status 1
expect_err "quibb9x: edge.hex ends without its end record (:00000001FF) after line 1: cut short? Make the file again; nothing was sent to the chip"
# A data byte at an odd address, or without its high byte, would be lost.
check ":020000000528D1\n:02423100AABB26\n$end"
expect_status 1
refused "line 2: a data record at the odd byte address 0x4231 (data byte k lies at 0x4200 + 2k, followed by its high byte 00)"
check ":03423000AA00BB26\n:020000000528D1\n$end"
refused "line 1: a data record of 3 bytes leaves its last byte without the high byte 00 that follows each data byte"
# A record without a whole word, past the chip, is refused as the reader
# refuses it, naming its own address.
check ":020000000528D1\n:00080200F6\n$end"
expect_status 1
expect_err "quibb9x: edge.hex line 2: word 0x0401 is beyond the chosen chip, which has 1024 program words (0x0000 to 0x03FF); give the chip's own --device or mend the file, nothing was sent to the chip"
check ":020000000528D1\n:020000040001F9\n:0100000611E8\n$end"
expect_err "quibb9x: edge.hex line 3: word 0x8000 is beyond the chosen chip, which has 64 data bytes (0x2100 to 0x213F); give the chip's own --device or mend the file, nothing was sent to the chip"
# Data after the end record is never burnt.
sim erase --yes >/dev/null 2>&1
check ":020000000528D1\n$end:020002000528CF\n"
expect_status 0
grep -A1 '^program' chip.txt | tail -1 | grep -q '^2805 3FFF ' || fail "data after the end record was burnt: $(grep -A1 '^program' chip.txt | tail -1)"

case="the chip file is locked for a run"
flock chip.txt.lock sleep 1 &
holder=$!
sleep 0.2
run detect
expect_status 0
grep -q "^zavbit2sim: another run is using the simulated chip in $tmp/chip.txt; waiting until it ends\$" err.txt ||
    fail "the second run did not say it waits: $(cat err.txt)"
wait "$holder"

case="a chip that could not be saved fails the command"
# A file where the chip file's directory should be: no user can write there.
QUIBB9X_SIM_FILE=$tmp/plain.hex/chip.txt sim burn "$blink" >out.txt 2>err.txt
status=$?
expect_status 1
grep -q "^quibb9x: the simulated chip could not be saved" err.txt || fail "no word of it: $(cat err.txt)"
grep -q "^SUCCESS!" out.txt || fail "the burn itself failed: $(cat out.txt)"

exit $((failures > 0))

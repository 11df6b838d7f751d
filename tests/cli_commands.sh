#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The command line end to end on the simulated board: each command's output,
# exit status and effect on the chip, usage errors, the erase question, a
# HEX file that does not load, and options against the settings file.
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
failures=0

fail() {
    echo "FAIL [$case]: $*" >&2
    failures=$((failures + 1))
}
run() {
    "$prog" "$@" >out.txt 2>err.txt </dev/null
    status=$?
}
sim() { run --simulate --port 0x278 "$@"; }
expect_status() { [ "$status" = "$1" ] || fail "exit status $status, expected $1 (stderr: $(cat err.txt))"; }
# The whole of standard output / error, one argument per line.
expect_out() { printf '%s\n' "$@" | diff -u - out.txt >&2 || fail "standard output differs"; }
expect_err() { printf '%s\n' "$@" | diff -u - err.txt >&2 || fail "standard error differs"; }
expect_no_err() { [ ! -s err.txt ] || fail "unexpected standard error: $(cat err.txt)"; }
# One word of the simulated chip as its file keeps it: region index.
chipword() {
    awk -v sec="$1" -v idx="$2" '
        NF == 2 && $1 == sec { on = 1; n = 0; next }
        on && /^[a-z]/ { exit }
        on { for (i = 1; i <= NF; i++) { if (n == idx) { print $i; exit } n++ } }' chip.txt
}
expect_word() {
    local got
    got=$(chipword "$1" "$2")
    [ "$got" = "$3" ] || fail "chip $1[$2] is '$got', expected $3"
}

blink=$fixtures/f84_blink_inhx32.hex
summary=("Program memory loaded: 20 word(s)" "Configuration loaded:  1 word(s)"
         "ID memory loaded:      4 word(s)" "Data memory loaded:    5 word(s)"
         "quibb9x: program memory: 17 word(s) given, the highest at 0x0013")

case="help"
run --help
expect_status 0
for word in "burn FILE" "verify FILE" "erase" "read-hex FILE" "read-bin FILE" "detect" "ports" \
            "blank-check" 16F84A --only-changed --device --port --config --simulate --yes --version; do
    grep -q -- "$word" out.txt || fail "--help does not name '$word'"
done
expect_no_err

case="version"
run --version
expect_status 0
expect_out "quibb9x 1.32"

case="usage errors"
for args in "frobnicate" "burn" "burn a.hex b.hex" "detect extra" "--bogus detect" \
            "--device 16F1827 detect" "--port zz detect" "--port 12345 detect" \
            "--config 0x4000 burn x.hex" "--device" "--only-changed verify x.hex"; do
    # shellcheck disable=SC2086
    run --simulate $args
    expect_status 2
    [ "$(wc -l <err.txt)" = 1 ] || fail "'$args': not one line on standard error: $(cat err.txt)"
    grep -q "^quibb9x: .*--help" err.txt || fail "'$args': no hint: $(cat err.txt)"
    [ ! -s out.txt ] || fail "'$args': standard output not empty"
done
[ ! -e chip.txt ] || fail "a usage error reached the board"
run --simulate frobnicate
expect_err "quibb9x: unknown command 'frobnicate' (see 'quibb9x --help')"

case="detect, with no display and no platform plugin to load"
QT_QPA_PLATFORM=no-such-plugin "$prog" --simulate --port 0x278 detect >out.txt 2>err.txt </dev/null
status=$?
expect_status 0
expect_no_err
expect_out "quibb9x: looking for the board 'original' at port 0x278: vpp = !16 !2, clock = 1, dataout = 14, datadir = !17, datain = 11" "SUCCESS!: QUIBB H/W Successfully detected on port!" \
    "quibb9x: word 0x2006 reads 0x3FFF: no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket)"
run --simulate --port lpt1 detect
expect_status 1
expect_out "quibb9x: looking for the board 'original' at port 0x378: vpp = !16 !2, clock = 1, dataout = 14, datadir = !17, datain = 11"
expect_err "quibb9x: no board answers at port 0x378; check the port address ('quibb9x ports'), the cable and the board's power"
QUIBB9X_SIM_BOARD=0 "$prog" --simulate --port 0x278 detect >out.txt 2>err.txt </dev/null
status=$?
expect_status 1

case="burn"
sim --device 16F84 burn "$blink"
expect_status 0
expect_out "${summary[@]}" "Program memory: " "Programming..." "ID memory: " "Programming..." \
    "Data memory: " "Programming..." "Configuration memory: " "Programming..." "SUCCESS!" \
    "Note:For production-grade work," "     you should now verify the PIC" \
    "     at the maximum and minimum" "     values of Vcc." \
    "quibb9x: checksum 0x668D; the chip sums to 0xA690, since the words the file leaves out below its last one are burnt as 0"
expect_no_err
expect_word program 0 2805
expect_word program 19 0008
expect_word program 20 3FFF
expect_word id 3 0004
expect_word config 0 3FF1
expect_word data 1 48
expect_word data 5 FF

case="verify"
sim --device 16F84 verify "$fixtures/f84_blink_inhx8m.hex"
expect_status 0
expect_out "${summary[@]}" "Program memory: " "Verifying..." "ID memory: " "Verifying..." \
    "Data memory: " "Verifying..." "Configuration memory: " "Verifying..." "SUCCESS!" \
    "quibb9x: checksum 0x668D; the chip sums to 0xA690, since the words the file leaves out below its last one are burnt as 0"
expect_no_err

case="verify mismatch"
sed -i '0,/^2805 /s//2806 /' chip.txt
sim --device 16F84 verify "$blink"
expect_status 3
expect_out "${summary[@]}" "Program memory: " "Verifying..."
expect_err "ERROR!: Failed at 0x0: Expecting 0x2805, found 0x2806."
expect_word program 0 2806

case="burn mends the word"
sim --device 16F84 burn "$blink"
expect_status 0
expect_word program 0 2805

case="read-hex"
sim read-hex dump.hex
expect_status 0
# The temporary file's name is the run's own: quibb- and six characters.
sed -i 's/quibb-[A-Za-z0-9]\{6\}\.tmp$/quibb-XXXXXX.tmp/' out.txt
expect_out "Dumping contents of PIC to:" "Using temp-file: $tmp/quibb-XXXXXX.tmp" "dump.hex" \
    "Blanking file..." "Program memory: " "Saving..." "ID memory: " "Saving..." \
    "Data memory: " "Saving..." "Configuration memory: " "Saving..." "SUCCESS!" \
    "Ok. Save successfull!" "quibb9x: checksum 0xA690"
expect_no_err
[ "$(wc -l <dump.hex)" = 139 ] || fail "dump.hex has $(wc -l <dump.hex) lines"
srec_cmp dump.hex -intel -crop -within "$blink" -intel "$blink" -intel >&2 ||
    fail "the dump differs from the burnt file"
ls quibb*.tmp >/dev/null 2>&1 && fail "the temporary file was left behind"

case="read-bin"
sim read-bin dump.bin
expect_status 0
[ "$(stat -c %s dump.bin)" = 8576 ] || fail "dump.bin is $(stat -c %s dump.bin) bytes"
[ "$(od -An -tx1 -N4 dump.bin | tr -d ' ')" = 05280000 ] || fail "dump.bin starts wrong"
[ "$(od -An -tx1 -j $((0x2007)) -N2 dump.bin | tr -d ' ')" = f13f ] ||
    fail "dump.bin holds the wrong configuration word"
tail -n 2 out.txt | diff -u - <(printf '%s\n' "Ok. Save successfull!" "quibb9x: checksum 0xA690") >&2 ||
    fail "no save line and checksum"

case="dump to an unwritable place: refused before the chip is read"
sim read-bin "$tmp/no/such/dir/dump.bin"
expect_status 1
expect_err "quibb9x: cannot write $tmp/no/such/dir/dump.bin: No such file or directory; choose another place, nothing was read from the chip"
[ ! -s out.txt ] || fail "the refused dump printed status lines: $(cat out.txt)"
sim read-hex /proc/x.hex
expect_status 1
expect_err "quibb9x: cannot write /proc/x.hex: No such file or directory; choose another place, nothing was read from the chip"
sim read-hex "$tmp"
expect_status 1
expect_err "quibb9x: cannot write $tmp: it is a directory; give a file name"

case="erase refused without --yes and a terminal"
cp chip.txt chip.before
sim erase
expect_status 2
expect_err "quibb9x: erase needs --yes when standard input is not a terminal (see 'quibb9x --help')"
cmp -s chip.txt chip.before || fail "the refused erase changed the chip"

case="erase --yes"
sim erase --yes
expect_status 0
expect_out "*ERASE*: Are you sure you want to erase the PIC? yes (--yes)" \
    "Commanding PIC to erase ID," "configuration, " "program," "data..." "DONE."
expect_no_err
expect_word program 0 3FFF
expect_word id 3 3FFF
expect_word config 0 3FFF
expect_word data 1 FF

case="erase answered at a terminal"
if command -v script >/dev/null; then
    sim --device 16F84 burn "$blink"
    printf 'n\n' | script -qec "'$prog' --simulate --port 0x278 erase" /dev/null >term.txt 2>&1
    status=$?
    expect_status 1
    grep -q "Are you sure you want to erase the PIC? \[y/N\]" term.txt || fail "no question: $(cat term.txt)"
    expect_word program 0 2805
    printf 'y\n' | script -qec "'$prog' --simulate --port 0x278 erase" /dev/null >term.txt 2>&1
    status=$?
    expect_status 0
    grep -q "DONE." term.txt || fail "no DONE: $(cat term.txt)"
    expect_word program 0 3FFF
fi

case="a HEX file that does not load"
sim --device 16F84 burn "$blink"
cp chip.txt chip.before
printf ':020000000000FE\n:04000000FF3FFF3F80\n:00000001FE\n' >bad.hex
sim --device 16F84 burn bad.hex
expect_status 1
[ ! -s out.txt ] || fail "the refused file was loaded: $(cat out.txt)"
expect_err "quibb9x: bad.hex line 3: checksum 0xFE is wrong, the record needs 0xFF; mend the file, nothing was sent to the chip"
cmp -s chip.txt chip.before || fail "a file that did not load changed the chip"
sim --device 16F84 verify missing.hex
expect_status 1
expect_err "quibb9x: cannot read missing.hex: No such file or directory; check the name and that you may read it"
printf 'hello\n:02000000FF3FC0\n:00000001FF\n' >skipped.hex
sim --device 16F84 verify skipped.hex
expect_status 1  # a line the reader would skip refuses the whole file
expect_err "quibb9x: skipped.hex line 1: not a HEX record ('hello'); the reader would skip it; mend the file, nothing was sent to the chip"

case="--device 16F83 and a file past word 0x1FF"
sim --device 16F83 burn "$fixtures/f83_overflow_inhx32.hex"
expect_status 1
expect_err "quibb9x: $fixtures/f83_overflow_inhx32.hex line 3: word 0x0200 is beyond the chosen chip, which has 512 program words (0x0000 to 0x01FF); give the chip's own --device or mend the file, nothing was sent to the chip"
[ ! -s out.txt ] || fail "the file was loaded: $(cat out.txt)"
cmp -s chip.txt chip.before || fail "the rejected file changed the chip"

case="--config wins over the file's word"
sim --device 16F84 --config 0x3FF2 burn "$blink"
expect_status 0
expect_word config 0 3FF2
sim --device 16F84 verify "$blink"
expect_status 3
expect_err "ERROR!: Failed at 0x2007: Expecting 0x3FF1, found 0x3FF2."

case="detect names the chip by its device ID"
QUIBB9X_SIM_CHIP=16F84A QUIBB9X_SIM_FILE= sim detect
expect_status 0
expect_out "quibb9x: looking for the board 'original' at port 0x278: vpp = !16 !2, clock = 1, dataout = 14, datadir = !17, datain = 11" "SUCCESS!: QUIBB H/W Successfully detected on port!" "quibb9x: word 0x2006 reads 0x0561: PIC16F84A, revision 1"
QUIBB9X_SIM_CHIP=none QUIBB9X_SIM_FILE= sim detect
expect_status 0
expect_out "quibb9x: looking for the board 'original' at port 0x278: vpp = !16 !2, clock = 1, dataout = 14, datadir = !17, datain = 11" "SUCCESS!: QUIBB H/W Successfully detected on port!" \
    "quibb9x: word 0x2006 reads 0x3FFF: no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket)"

case="--device 16F84A refuses a chip without its ID, and burns one with it"
cp chip.txt chip.before
sim --device 16F84A burn "$blink"
expect_status 4
expect_out "${summary[@]}"
expect_err "quibb9x: --device 16F84A, but word 0x2006 reads 0x3FFF: no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket); nothing was written. Put a PIC16F84A in the socket, or give the chip's own --device."
cmp -s chip.txt chip.before || fail "the refused burn changed the chip"
sim --device 16F84A verify "$blink"
expect_status 4
for op in burn verify; do
    QUIBB9X_SIM_CHIP=16F84A QUIBB9X_SIM_FILE=$tmp/f84a.txt sim --device 16F84A $op "$blink"
    expect_status 0
done

case="burn --only-changed"
changed=$fixtures/f84_blink_changed_inhx32.hex
sim --device 16F84 burn "$blink"
sim --device 16F84 --only-changed burn "$changed"
expect_status 0
expect_out "${summary[@]}" "Program memory: " "Programming..." "ID memory: " "Programming..." \
    "Data memory: " "Programming..." "Configuration memory: " "Programming..." "SUCCESS!" \
    "Note:For production-grade work," "     you should now verify the PIC" \
    "     at the maximum and minimum" "     values of Vcc." \
    "quibb9x: checksum 0x660D; the chip sums to 0xA610, since the words the file leaves out below its last one are burnt as 0" \
    "quibb9x: programmed 4 of the 30 words compared; the others already held the file's values"
expect_no_err
expect_word program 4 0008
expect_word program 8 3002
expect_word program 12 307F
expect_word data 2 6F
sim --device 16F84 --only-changed burn "$changed"
expect_status 0
tail -n 1 out.txt | grep -qx "quibb9x: programmed 0 of the 30 words compared; .*" || fail "$(tail -n 1 out.txt)"
sim --device 16F84 verify "$changed"
expect_status 0

case="blank-check"
sim blank-check
expect_status 1
[ ! -s out.txt ] || fail "a chip that is not blank was reported on standard output"
expect_err "quibb9x: not blank: the first word not erased is 0x0000: 0x2805. Erase it with 'quibb9x erase --yes'."
QUIBB9X_SIM_PROTECTED=1 sim blank-check
expect_status 1
expect_err "quibb9x: not blank: the chip is code-protected (0x2007: 0x0001), so its program and data memory read as zeros. Erase it with 'quibb9x erase --yes'."

case="a protected chip fails burn --only-changed as it fails a burn"
sim --device 16F84 burn "$blink"  # the protection stays in the chip file
expect_status 3
cp out.txt burn.out
cp err.txt burn.err
sim --device 16F84 --only-changed burn "$blink"
expect_status 3
head -n -1 out.txt | diff -u burn.out - >&2 || fail "the status lines differ from a burn's"
tail -n 1 out.txt | grep -qx "quibb9x: programmed 1 of the 1 words compared, then stopped at the mismatch" ||
    fail "$(tail -n 1 out.txt)"
diff -u burn.err err.txt >&2 || fail "the messages differ from a burn's"
grep -q "^Protected?: " err.txt || fail "no Protected? box"

case="blank-check after erase, on each device"
sim erase --yes
sim blank-check
expect_status 0
expect_out "quibb9x: blank: all 1093 words read as erased"
expect_no_err
sed -i '/^data 64$/{n;s/^FF FF/FF 48/}' chip.txt
sim blank-check
expect_status 1
expect_err "quibb9x: not blank: the first word not erased is 0x2101: 0x48. Erase it with 'quibb9x erase --yes'."
sed -i '/^config 1$/{n;s/^3FFF$/3FF1/}' chip.txt  # the configuration word comes before the data
sim blank-check
expect_status 1
expect_err "quibb9x: not blank: the first word not erased is 0x2007: 0x3FF1. Erase it with 'quibb9x erase --yes'."
QUIBB9X_SIM_CHIP=16C84 QUIBB9X_SIM_FILE= sim --device 16C84 blank-check  # configuration 0x3FFF, mask 0x1F
expect_status 0
QUIBB9X_SIM_CHIP=16F83 QUIBB9X_SIM_FILE= sim --device 16F83 blank-check
expect_status 0
expect_out "quibb9x: blank: all 581 words read as erased"
QUIBB9X_SIM_BOARD=0 QUIBB9X_SIM_FILE= sim blank-check  # every word would read 0x3FFF
expect_status 1
expect_err "quibb9x: no board answers at port 0x278; check the port address ('quibb9x ports'), the cable and the board's power"

case="the settings file chooses, options override it, nothing is saved"
[ ! -e quibb9x.ini ] || fail "the command line wrote a settings file"
run detect  # as in the window, no settings file gives port 0: refused
expect_status 2
expect_err "quibb9x: no port chosen (no --port, and the settings file gives none); choose one with --port (lpt1, lpt2 or a hexadecimal address; 'quibb9x ports' lists this machine's)"
run --simulate detect  # the simulated board's own port
expect_status 0
QUIBB9X_SIM_PORT=0x3BC run --simulate detect
expect_status 0
run --simulate --port 0 detect
expect_status 2
printf '[OPTIONS]\nPIC= 3\nLPT= 888\nCWORD= 16371\n\n[DIRECTORIES]\nLOAD=/x.hex\n' >quibb9x.ini
cp quibb9x.ini ini.before
run --simulate detect  # the settings' LPT1: no board there
expect_status 1
run --simulate --port lpt2 detect
expect_status 0
run --simulate --port lpt2 burn "$fixtures/f83_overflow_inhx32.hex"  # the settings' 16F83
expect_status 1
expect_err "quibb9x: $fixtures/f83_overflow_inhx32.hex line 3: word 0x0200 is beyond the chosen chip, which has 512 program words (0x0000 to 0x01FF); give the chip's own --device or mend the file, nothing was sent to the chip"
run --simulate --port lpt2 --device 16F84 burn "$fixtures/f83_overflow_inhx32.hex"
expect_status 0
expect_word program 512 2800
cmp -s quibb9x.ini ini.before || fail "the settings file changed"
printf '[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 16371\n' >quibb9x.ini
cp quibb9x.ini ini.before
run --simulate detect
expect_status 0
cmp -s quibb9x.ini ini.before || fail "the settings file changed"

exit $((failures > 0))

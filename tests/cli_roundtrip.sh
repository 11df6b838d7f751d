#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Real HEX files made by gpasm, in both of its formats, for each chip: the
# command line burns each into the simulated chip, verifies it, reads it back
# with read-hex, and srec_cmp finds the dump equal to the original over every
# address the original holds. The dump then verifies against the chip too
# (not on the 16F83: a dump always holds 1024 program words, and the 16F83's
# image takes 512, so its dump does not load with the 16F83 selected).
#
# The 16C84 keeps only the five low bits of its configuration word, and a
# dump holds the word as the chip reads it (masked to those bits), so gpasm's
# __CONFIG value (its unimplemented bits set) cannot come back whole. For
# that chip the original's word is compared as value & 0x1F: what the chip
# can hold. Every other byte is compared as it stands.
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
failures=0
fail() {
    echo "FAIL [$name]: $*" >&2
    failures=$((failures + 1))
}
quibb() {
    "$prog" --simulate --port 0x278 --device "$chip" "$@" >out.txt 2>err.txt </dev/null
    status=$?
    [ "$status" = 0 ] || fail "$* gave exit status $status: $(cat err.txt)"
}

for entry in 16C84:c84_blink 16C84:c84_full 16F83:f83_blink 16F83:f83_top 16F84:f84_blink; do
    chip=${entry%%:*}
    program=${entry#*:}
    export QUIBB9X_SIM_CHIP=$chip
    for format in inhx32 inhx8m; do
        name="$program $format on the $chip"
        original=$fixtures/${program}_${format}.hex
        rm -f chip.txt dump.hex
        quibb burn "$original"
        quibb verify "$original"
        quibb read-hex dump.hex
        expected=$original
        if [ "$chip" = 16C84 ]; then
            srec_cat "$original" -intel -exclude 0x400E 0x4010 \
                "$original" -intel -crop 0x400E 0x400F -and 0x1F \
                -generate 0x400F 0x4010 -constant 0 -o expected.hex -intel ||
                fail "srec_cat could not mask the configuration word"
            expected=expected.hex
        fi
        srec_cmp dump.hex -intel -crop -within "$expected" -intel "$expected" -intel >&2 ||
            fail "the dump differs from the original"
        [ "$chip" = 16F83 ] || quibb verify dump.hex
    done
done
exit $((failures > 0))

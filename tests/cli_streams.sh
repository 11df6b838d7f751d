#!/usr/bin/env bash
# What goes where on the command line: results and status lines on standard
# output, each error once on standard error, --quiet keeping only those errors
# and the result line, the progress line only on a terminal (and there up to
# its total), and the bash completion's words from the program itself.
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
failures=0
fail() {
    echo "FAIL [$case]: $*" >&2
    failures=$((failures + 1))
}
sim() {
    "$prog" --simulate "$@" >out.txt 2>err.txt </dev/null
    status=$?
}
expect() {  # status, standard output, standard error (each whole, "" for none)
    [ "$status" = "$1" ] || fail "exit status $status, expected $1"
    [ "$(cat out.txt)" = "$2" ] || fail "standard output: $(cat out.txt)"
    [ "$(cat err.txt)" = "$3" ] || fail "standard error: $(cat err.txt)"
}
blink=$fixtures/f84_blink_inhx32.hex

case="--quiet: the result line, or the error alone"
sim -q burn "$blink"
expect 0 "SUCCESS!" ""
sim --quiet verify "$blink"
expect 0 "SUCCESS!" ""
sim --quiet --only-changed burn "$blink"
expect 0 "quibb9x: programmed 0 of the 30 words compared; the others already held the file's values" ""
sim -q read-bin chip.bin
expect 0 "Ok. Save successfull!" ""
sim -q detect
expect 0 "quibb9x: word 0x2006 reads 0x3FFF: no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket)" ""
sim -q erase --yes
expect 0 "DONE." ""
sim -q verify "$blink"
expect 1 "" "ERROR!: Failed at 0x0: Expecting 0x2805, found 0x3FFF."
sim -q --port lpt1 burn "$blink"
expect 1 "" "quibb9x: no board answers at port 0x378; check the port address ('quibb9x ports'), the cable and the board's power"

case="the real port library names the port chosen, and the refusal does not repeat it"
"$prog" --port 0x378 -q detect >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 1 ] || fail "exit status $status"
[ ! -s out.txt ] || fail "standard output: $(cat out.txt)"
[ "$(wc -l <err.txt)" = 2 ] || fail "not two lines: $(cat err.txt)"
head -n 1 err.txt | grep -q "^zavbit2: no parallel port has its registers at I/O address 0x378\. " ||
    fail "the library's line: $(cat err.txt)"
tail -n 1 err.txt | grep -qxF "quibb9x: no board answers at port 0x378, which the port library cannot reach (its line above says why and what to do)" ||
    fail "the refusal: $(cat err.txt)"

case="progress: on a terminal up to its total, never into a file"
sim burn "$blink"
[ "$status" = 0 ] || fail "exit status $status"
grep -q $'[\r#]' err.txt out.txt && fail "progress characters in a file"
script -qec "'$prog' --simulate burn '$blink'" /dev/null </dev/null >tty.txt 2>&1 || fail "burn on a terminal failed"
for region in "Program memory" "ID memory" "Data memory" "Configuration memory"; do
    grep -qF "$region: Programming... [##############################] 100%" tty.txt ||
        fail "$region's bar does not reach its total"
done
grep -qE "Program memory: Programming\.\.\. \[#*\.+\] [0-9]+%, [0-9]+ s left" tty.txt || fail "no time left shown"
script -qec "'$prog' --simulate -q burn '$blink'" /dev/null </dev/null >tty.txt 2>&1
[ "$(tr -d '\r' <tty.txt)" = "SUCCESS!" ] || fail "--quiet on a terminal: $(cat -v tty.txt)"

case="completion: commands, options, device names and files from the program"
completions() {  # the words typed; prints the completions
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quibb9x
             printf "%s\n" "${COMPREPLY[@]}"' _ "$fixtures/../../data/bash-completion/quibb9x" "$@"
}
[ "$(completions "$prog" b | tr '\n' ' ')" = "burn blank-check " ] || fail "commands: $(completions "$prog" b)"
[ "$(completions "$prog" --qu)" = "--quiet" ] || fail "options: $(completions "$prog" --qu)"
[ "$(completions "$prog" --device 16F8 | sort | tr '\n' ' ')" = "16F83 16F84 16F84A " ] ||
    fail "devices: $(completions "$prog" --device 16F8)"
[ "$(completions "$prog" --port lpt | tr '\n' ' ')" = "lpt1 lpt2 " ] || fail "ports: $(completions "$prog" --port lpt)"
touch mine.hex
[ "$(completions "$prog" --config 0x3FF1 verify mi)" = "mine.hex" ] || fail "FILE: $(completions "$prog" --config 0x3FF1 verify mi)"
[ -z "$(completions "$prog" detect mi)" ] || fail "detect takes no file"

exit $((failures > 0))

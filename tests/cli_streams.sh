#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# --quiet keeps only the errors and the result line; the progress line shows
# on a terminal (up to its total), never in a file; the real port library and
# the refusal say the port chosen, each once; the bash completion's words.
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
failures=0
fail() {
    echo "FAIL [$case]: $*" >&2
    failures=$((failures + 1))
}
expect() {  # status, then the whole of standard output and of standard error
    [ "$status" = "$1" ] && [ "$(cat out.txt)" = "$2" ] && [ "$(cat err.txt)" = "$3" ] ||
        fail "status $status, output '$(cat out.txt)', errors '$(cat err.txt)'"
}
sim() { "$prog" --simulate "$@" >out.txt 2>err.txt </dev/null; status=$?; }
blink=$fixtures/f84_blink_inhx32.hex

case="--quiet"
sim -q burn "$blink"
expect 0 "SUCCESS!" ""
sim --quiet read-bin chip.bin
expect 0 "Ok. Save successfull!" ""
sim -q erase --yes
expect 0 "*ERASE*: Are you sure you want to erase the PIC? yes (--yes)
DONE." ""
sim -q verify "$blink"
expect 3 "" "ERROR!: Failed at 0x0: Expecting 0x2805, found 0x3FFF."
"$prog" --port 0x378 -q detect >out.txt 2>err.txt </dev/null
status=$?
expect 1 "" "$(head -n 1 err.txt)
quibb9x: no board answers at port 0x378, which the port library cannot reach (its line above says why and what to do)"
grep -q "^zavbit2: no parallel port has its registers at I/O address 0x378\. " err.txt || fail "library: $(cat err.txt)"

case="progress"
sim burn "$blink"
grep -q $'[\r#]' err.txt out.txt && fail "progress characters in a file"
script -qec "'$prog' --simulate burn '$blink'" /dev/null </dev/null >tty.txt 2>&1 || fail "burn on a terminal failed"
for region in "Program memory" "ID memory" "Data memory" "Configuration memory"; do
    grep -qF "$region: Programming... [##############################] 100%" tty.txt || fail "$region: no total"
done
grep -qE "Program memory: Programming\.\.\. \[#*\.+\] [0-9]+%, [0-9]+ s left" tty.txt || fail "no time left"
# Erase and blank check show theirs too, from 0 % to the whole.
script -qec "'$prog' --simulate erase --yes && '$prog' --simulate blank-check" /dev/null </dev/null >tty.txt 2>&1 ||
    fail "erase and blank check on a terminal failed"
for bar in "Erasing [......" "Erasing [##############################] 100%" \
           "Blank check [##############################] 100%"; do
    grep -qF "$bar" tty.txt || fail "no '$bar'"
done

case="completion"
completions() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quibb9x
             echo "${COMPREPLY[*]}"' _ "$fixtures/../../data/bash-completion/quibb9x" "$prog" "$@"
}
touch mine.hex
[ "$(completions b)|$(completions --qu)|$(completions --device 16F8)|$(completions --board ep)|$(completions --config 1 verify mi)|$(completions --device V)" = \
  "burn blank-check boards|--quiet|16F84 16F83 16F84A 16F818 16F819 16F87 16F88 16F870 16F871 16F872 16F873 16F874 16F876 16F877 16F873A 16F874A 16F876A 16F877A 16F882 16F883 16F884 16F886 16F887|epic+ epic|mine.hex|" ] ||
    fail "$(completions --device 16F8)|$(completions --board ep)|$(completions --device V)"
# A value of --config2 is no command; --board takes a file of one's own too.
touch my.board
[ "$(completions --config2 0x3 bu)|$(completions --board ./my)|$(completions --config)|$(completions --no)" = \
  "burn|./my.board|--config --config2|--no-check" ] ||
    fail "$(completions --config2 0x3 bu)|$(completions --board ./my)|$(completions --config)|$(completions --no)"
# Only the table's chips: nothing of the lines after it (calibrations, adapters).
[ "$(completions --device 12)|$(completions --device F)|$(completions --device A)|$(completions --device a)|$(completions --osc)" = \
  "12F629 12F675 12F683 12F609 12F615 12F617|||auto|--osccal" ] ||
    fail "$(completions --device 12)|$(completions --device F)|$(completions --device A)|$(completions --osc)"
exit $((failures > 0))

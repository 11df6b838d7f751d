#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The window without a display: one line on standard error that points to the
# command line, status 1, no abort. A platform named explicitly (the tests'
# and benchmarks' offscreen one) still opens the window.
# Arguments: the program, the fixtures directory.
source "$(dirname "${BASH_SOURCE[0]}")/support/cli-setup.sh"
unset QT_QPA_PLATFORM
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

"$prog" --simulate --port lpt2 >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 1 ] || fail "no display: exit status $status, expected 1"
[ "$(wc -l <err.txt)" = 1 ] || fail "no display: not one line: $(cat err.txt)"
grep -q "^quibb9x: there is no display to show the window on .*'quibb9x --help'$" err.txt ||
    fail "no display: $(cat err.txt)"
[ ! -s out.txt ] || fail "no display: standard output: $(cat out.txt)"

# A display named but not there (a stale DISPLAY, an X server that ended).
DISPLAY=:987 "$prog" --simulate --port lpt2 >out.txt 2>err.txt </dev/null
status=$?
[ "$status" = 1 ] || fail "silent display: exit status $status, expected 1"
[ "$(cat err.txt)" = "quibb9x: the display ':987' (DISPLAY) does not answer, so the window cannot be shown; check that its X server runs and lets you in; the command line needs none: see 'quibb9x --help'" ] ||
    fail "silent display: $(cat err.txt)"

for how in "-platform offscreen" "--platform offscreen" "env"; do
    if [ "$how" = env ]; then
        QT_QPA_PLATFORM=offscreen "$prog" --simulate --quit-after-start >out.txt 2>err.txt </dev/null
    else
        # shellcheck disable=SC2086
        "$prog" --simulate --quit-after-start $how >out.txt 2>err.txt </dev/null
    fi
    status=$?
    [ "$status" = 0 ] || fail "$how: exit status $status: $(cat err.txt)"
done
exit $((failures > 0))

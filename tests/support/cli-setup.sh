# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced by the command-line test scripts (arguments: the program, the
# fixtures directory): a scratch directory that is also the current one and
# holds the simulated chip and the temporary files, and nothing of the caller's
# environment that would choose another board or library.
set -u
prog=$(realpath "$1")
fixtures=$(realpath "${2:-.}")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
unset QUIBB9X_SIM_BOARD QUIBB9X_SIM_PROTECTED QUIBB9X_SIM_PORT QUIBB9X_SIM_DIR QUIBB9X_SIM_SHARED
unset QUIBB9X_PORTLIB DISPLAY WAYLAND_DISPLAY
export QUIBB9X_SIM_FILE=$tmp/chip.txt QUIBB9X_SIM_CHIP=16F84 TMPDIR=$tmp

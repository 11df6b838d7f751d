#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Every source file says its licence in its first comment: the SPDX line
# within its first three lines (after a #! line). The HEX fixtures, the
# golden traces, LICENSE and the texts in Markdown carry none.
# Usage: tests/spdx.sh [SOURCE-DIR]
set -u
cd "${1:-$(dirname "${BASH_SOURCE[0]}")/..}" || exit 1
line='SPDX-License-Identifier'': GPL-2.0-or-later'  # in two pieces: not itself a licence line
missing=()
while read -r f; do
    case "$f" in
        tests/golden/*|tests/fixtures/*.hex|*.md|LICENSE) continue ;;
        *.cpp|*.h|*.sh|run|test|.ci/run|CMakeLists.txt|*/CMakeLists.txt|*.cmake|*.bash|data/bash-completion/*|*.asm|*.1|*.desktop) ;;
        *) continue ;;
    esac
    head -n 3 "$f" | grep -qF "$line" || missing+=("$f")
done < <(git ls-files)
((${#missing[@]} == 0)) || { printf 'no licence line: %s\n' "${missing[@]}" >&2; exit 1; }
echo "every source file names its licence"

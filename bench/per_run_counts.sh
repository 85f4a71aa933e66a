#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# What one run costs, in figures that do not depend on how busy the machine is: the instructions
# it executes from process start to exit (callgrind), and its peak resident memory (through the
# small launcher, so that no larger parent's pages are counted).
# usage: per_run_counts.sh KUN2WYT FLOOR LAUNCH
set -euo pipefail
program=$(realpath "$1")
floor=$(realpath "$2")
launch=$(realpath "$3")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
printf '511.2 2 +\n' >run1.kun

instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        sed -n 's/.*Collected : *\([0-9]*\).*/\1/p'
}
peak_kib() {
    "$launch" "$@" 2>&1 >/dev/null
}

k=$(instructions "$program" run1.kun)
f=$(instructions "$floor" run1.kun run1.wyt)
printf 'kun2wyt instructions per run: %s\n' "$k"
printf 'floor instructions per run:   %s\n' "$f"
printf 'instruction ratio:            %s\n' "$(awk -v k="$k" -v f="$f" 'BEGIN { printf "%.3f", k / f }')"
printf 'kun2wyt peak resident:        %s KiB\n' "$(peak_kib "$program" run1.kun)"
printf 'floor peak resident:          %s KiB\n' "$(peak_kib "$floor" run1.kun run1.wyt)"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# The batch pipelines that README shows, run as written over thousands of inputs with hostile
# names: blanks, newlines, leading dashes, bytes that are not UTF-8, and .kun, .KUN or neither.
# Every input must stay as it was, every output must exist and be empty, nothing else may
# appear, and there must be one report per input.
# usage: batch_test.sh KUN2WYT README
set -euo pipefail
export LC_ALL=C
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin"
ln -s "$(realpath "$1")" "$scratch/bin/kun2wyt"
PATH="$scratch/bin:$PATH"

# The pipelines themselves are taken from README, so that what it shows is what is tested.
readme=$(realpath "$2")
xargs_line=$(grep -m1 '^find data .* xargs ' "$readme")
makefile=$(sed -n '/^```make$/,/^```$/p' "$readme" | sed '1d;$d')
[[ -n $xargs_line && -n $makefile ]] || { echo "README shows no xargs line or Makefile"; exit 1; }

passed=0 failures=0
fail() {
    printf 'FAIL %s\n' "$*"
    failures=$((failures + 1))
}

# make_inputs FOLDER COUNT KIND...: COUNT files, taking the KINDs in turn; each holds its own
# number. Fills the arrays `inputs` (the names) and `outputs` (the name each should derive).
make_inputs() {
    local folder=$1 count=$2 i name stem kind
    shift 2
    local -a kinds=("$@")
    inputs=() outputs=()
    mkdir "$folder"
    for ((i = 0; i < count; i++)); do
        kind=${kinds[i % ${#kinds[@]}]}
        case $kind in
        blank) stem="run $i" ;;
        newline) stem=$'line\nbreak'"$i" ;;
        dash) stem="-n$i" ;;
        bytes) stem=$'\xff\xfe'"$i" ;;
        esac
        case $((i / ${#kinds[@]} % 3)) in
        0) name="$stem.kun" ;;
        1) name="$stem.KUN" ;;
        2) name="$stem" ;;
        esac
        printf 'level %d\n' "$i" >"$folder/$name"
        inputs+=("$folder/$name")
        case $name in
        *.kun | *.KUN) outputs+=("$folder/${name%.*}.wyt") ;;
        *) outputs+=("") ;; # not picked by the pipelines: left alone
        esac
    done
}

# check TITLE REPORTS: every input unchanged, every output there and empty, nothing more.
check() {
    local title=$1 reports=$2 i expected=0 files failed_before=$failures
    for i in "${!inputs[@]}"; do
        [[ $(<"${inputs[i]}") == "level $i" ]] || fail "$title: ${inputs[i]@Q} changed"
        if [[ -n ${outputs[i]} ]]; then
            expected=$((expected + 1))
            [[ -f ${outputs[i]} && ! -s ${outputs[i]} ]] || fail "$title: ${outputs[i]@Q} is not there, empty"
        fi
    done
    files=$(find "$folder" -type f -printf x | wc -c)
    ((files == ${#inputs[@]} + expected)) || fail "$title: $files files, not $((${#inputs[@]} + expected))"
    ((reports == expected)) || fail "$title: $reports reports, not $expected"
    printf '%s: %d inputs, %d converted, %d reports\n' "$title" "${#inputs[@]}" "$expected" "$reports"
    ((failures > failed_before)) || passed=$((passed + 1))
}

count_reports() { grep -a -c '^ Output file: ' || true; }

mkdir "$scratch/xargs" "$scratch/make"
folder="$scratch/xargs/data"
make_inputs "$folder" 2100 blank newline dash bytes
reports=$(cd "$scratch/xargs" && bash -c "$xargs_line" | count_reports)
check "find | xargs -P" "$reports"

# make -j. make splits names at blanks, so these have none.
folder="$scratch/make/data"
make_inputs "$folder" 2000 dash bytes
printf '%s\n' "$makefile" >"$folder/Makefile"
reports=$(make -s -C "$folder" -j"$(nproc)" | count_reports)
rm "$folder/Makefile"
check "make -j" "$reports"

printf '%d passed, %d failed\n' "$passed" "$failures"
((failures == 0))

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# The batch commands that the guide to converting many files shows, taken from it and run as
# written, with the Makefile of examples/ as installed, over
# inputs with hostile names: blanks, newlines, leading dashes, bytes that are not UTF-8, shell
# and make syntax, and .kun, .KUN or neither. Every input must stay as it was, every output
# must exist and be empty, nothing else may appear, and there must be one report per output.
# usage: batch_test.sh KUN2WYT GUIDE
set -euo pipefail
export LC_ALL=C
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin"
ln -s "$(realpath "$1")" "$scratch/bin/kun2wyt"
PATH="$scratch/bin:$PATH"
# The examples as the archive installs them into ~/.local, in bin/, which check leaves out.
export HOME=$scratch/bin
mkdir -p "$HOME/.local/share/doc/kun2wyt"
ln -s "$(cd "$(dirname "$0")/../examples" && pwd)" "$HOME/.local/share/doc/kun2wyt/examples"

readme=$(realpath "$2")
readme_line() { grep -m1 -e "$1" "$readme" || { echo "$readme shows no line matching $1" >&2; exit 1; }; }
pairs_line=$(readme_line '^find -L data .* uniq ')
xargs_line=$(readme_line '^find -L data .* xargs ')
parallel_line=$(readme_line '^find -L data .* parallel ')
make_line=$(readme_line '^cp ~/.local/share/doc/kun2wyt/examples/Makefile data/ && cd data && make -k -j')

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
    mkdir -p "$folder"
    for ((i = 0; i < count; i++)); do
        kind=${kinds[i % ${#kinds[@]}]}
        case $kind in
        blank) stem="run $i" ;;
        newline) stem=$'line\nbreak'"$i" ;;
        dash) stem="-n$i" ;;
        bytes) stem=$'\xff\xfe'"$i" ;;
        shell) stem="x;touch PWNED;\$(touch PWNED)'\"\\$i" ;;
        safe) stem="r+u,n@_$i" ;;
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
        *) outputs+=("") ;; # not picked by the commands: left alone
        esac
    done
}

# check TITLE REPORTS: every input unchanged, every output there and empty, nothing more in the
# whole scratch tree than the inputs, the outputs and the files listed in `extra`.
check() {
    local title=$1 reports=$2 i expected=0 files failed_before=$failures
    for i in "${!inputs[@]}"; do
        [[ $(<"${inputs[i]}") == "level $i" ]] || fail "$title: ${inputs[i]@Q} changed"
        if [[ -n ${outputs[i]} ]]; then
            expected=$((expected + 1))
            [[ -f ${outputs[i]} && ! -s ${outputs[i]} ]] || fail "$title: ${outputs[i]@Q} is not there, empty"
        fi
    done
    files=$(find "$scratch" -path "$scratch/bin" -prune -o -type f -printf x | wc -c)
    ((files == ${#inputs[@]} + expected + ${#extra[@]})) ||
        fail "$title: $files files, not $((${#inputs[@]} + expected + ${#extra[@]}))"
    ((reports == expected)) || fail "$title: $reports reports, not $expected"
    printf '%s: %d inputs, %d converted, %d reports\n' "$title" "${#inputs[@]}" "$expected" "$reports"
    ((failures > failed_before)) || passed=$((passed + 1))
}

count_reports() { grep -a -c '^ Output file: ' || true; }

# link_inputs FOLDER [FOLDERS]: an input in FOLDER that is a symbolic link to a file kept
# elsewhere, and with FOLDERS, a link to a folder kept elsewhere that holds an input.
link_inputs() {
    local n=${#inputs[@]}
    mkdir -p "$scratch/store/dir"
    printf 'level %d\n' "$n" >"$scratch/store/kept.kun"
    ln -s "$scratch/store/kept.kun" "$1/linked.kun"
    inputs+=("$1/linked.kun") outputs+=("$1/linked.wyt")
    if (($# > 1)); then
        printf 'level %d\n' $((n + 1)) >"$scratch/store/dir/inner.KUN"
        ln -s ../../store/dir "$1/folder"
        inputs+=("$1/folder/inner.KUN") outputs+=("$scratch/store/dir/inner.wyt")
    fi
}

# Each pipeline runs where the guide runs it: from the folder above data/, over hostile names
# and links, or over an empty folder, and must succeed.
run_pipeline() { # TITLE LINE COUNT KIND...
    local title=$1 line=$2 count=$3 status=0
    shift 3
    rm -rf "${scratch:?}/work" "$scratch/store"
    make_inputs "$scratch/work/data" "$count" "$@"
    ((count == 0)) || link_inputs "$scratch/work/data" folders
    reports=$(cd "$scratch/work" && bash -o pipefail -c "$line" 2>"$HOME/progress" | count_reports) || status=$?
    ((status == 0)) || fail "$title: status $status"
    # parallel's reports go to a file, and its bar, at 100% of the runs, to standard error.
    if [[ $line == *"| parallel "* ]]; then
        reports=$(count_reports <"$scratch/work/kun2wyt.out")
        ((count == 0)) || grep -aq "100% $reports:0=" "$HOME/progress" || fail "$title: no bar reached 100%"
    fi
    check "$title" "$reports"
}
extra=()
run_pipeline "find | xargs -P" "$xargs_line" 2100 blank newline dash bytes shell
run_pipeline "find | xargs -P, no input" "$xargs_line" 0 blank
extra=("$scratch/work/kun2wyt.log" "$scratch/work/kun2wyt.out")
run_pipeline "find | parallel" "$parallel_line" 300 blank newline dash bytes shell
run_pipeline "find | parallel, no input" "$parallel_line" 0 blank
extra=()

# make, with the Makefile copied beside the inputs: every name it can carry is converted, links
# included, and a second make converts only what is newer than its output; a folder without
# inputs is nothing to do.
rm -rf "${scratch:?}/work"
folder="$scratch/work/data"
make_inputs "$folder" 1500 dash safe
link_inputs "$folder"
mkdir "$folder/d.kun" # a folder is no input
extra=("$folder/Makefile")
reports=$(cd "$scratch/work" && { bash -c "$make_line" 2>&1 || true; } | count_reports)
check "make -j" "$reports"
touch -d '+1 minute' "${inputs[3]}"
reports=$(cd "$scratch/work" && { bash -c "$make_line" 2>&1 || true; } | count_reports)
((reports == 1)) || fail "a second make converted $reports inputs, not the one newer than its output"

# A run that fails stops no other (-k): among 91 inputs, one whose output cannot be written, as
# a folder of its name is in the way (older than the input, so make tries it; a failure that holds
# for root too, who can read an input of any mode). make converts every other input, names the
# output it could not make, says that `all` was not remade, and exits with status 2.
rm -rf "${scratch:?}/work" "$scratch/store"
make_inputs "$folder" 91 safe dash
for ((failing = ${#inputs[@]} / 2; failing < ${#inputs[@]}; failing++)); do [[ -z ${outputs[failing]} ]] || break; done
mkdir "${outputs[failing]}" && touch -d '2000-01-01' "${outputs[failing]}"
named=${outputs[failing]##*/} outputs[failing]=""
status=0
message=$(cd "$scratch/work" && bash -c "$make_line" 2>&1) || status=$?
((status == 2)) || fail "make with a failing run exited with status $status, not 2"
[[ $message == *"make: *** [Makefile:"*": $named] Error 1"* ]] || fail "make did not name $named as not made: $message"
[[ $message == *"make: Target 'all' not remade because of errors."* ]] || fail "make did not say that all was not remade: $message"
check "make -k -j, one run failing" "$(count_reports <<<"$message")"

rm -rf "${scratch:?}/work" "$scratch/store"
make_inputs "$folder" 0 safe
(cd "$scratch/work" && bash -c "$make_line" >/dev/null) || fail "make over no input failed"
check "make -j, no input" 0

# A name make cannot carry stops it before it converts anything, with an error that names it
# ($(shell) gives a newline back as a blank).
for bad in 'x;touch PWNED;.kun' 'a$(touch PWNED).kun' 'h#.kun' 'c:d.kun' 'p%.kun' 'e=f.kun' \
    "s'.kun" 'd".kun' 'b\s.kun' 'a b.kun' $'n\nl.kun' $'\xff.kun' 'x*.kun' 'x[a].kun' .kun twin.KUN; do
    rm -rf "${scratch:?}/work"
    make_inputs "$folder" 6 safe dash
    outputs=("${outputs[@]/*/}") # none may be converted
    names=("$bad") named=${bad//$'\n'/ }
    [[ $bad == twin.KUN ]] && names+=(twin.kun) named=twin.wyt
    for name in "${names[@]}"; do
        printf 'level %d\n' ${#inputs[@]} >"$folder/$name"
        inputs+=("$folder/$name") outputs+=("")
    done
    if message=$(cd "$scratch/work" && bash -c "$make_line" 2>&1); then
        fail "make ran over ${bad@Q}: $message"
    fi
    [[ $message == *"$named"* && $message != *"Input file"* ]] || fail "make over ${bad@Q} said: $message"
    check "make refuses ${bad@Q}" 0
done

# The pair check lists each name whose .kun and .KUN would make the same output.
rm -rf "${scratch:?}/work"
make_inputs "$scratch/work/data" 40 blank newline dash bytes shell
touch "$scratch/work/data/"{x.kun,x.KUN,y.kun}
pairs=$(cd "$scratch/work" && bash -c "$pairs_line")
[[ $pairs == data/x ]] && passed=$((passed + 1)) || fail "the pair check printed ${pairs@Q}"

printf '%d passed, %d failed\n' "$passed" "$failures"
((failures == 0))

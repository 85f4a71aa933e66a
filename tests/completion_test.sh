#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# Drives the bash completion as bash would, through COMP_WORDS and COMP_CWORD, in a scratch
# folder, and compares what it offers.
set -u
source "$1"
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch a.kun B.KUN c.Kun notes.txt
mkdir data

failed=0
check() { # expected words, then the command line; the last word is the one being completed
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _kun2wyt
    local offered
    offered=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
    if [[ $offered != "$expected" ]]; then
        printf 'FAIL: kun2wyt %s\n  offered:  %s\n  expected: %s\n' "${*:2}" "$offered" "$expected"
        failed=1
    fi
}

check "B.KUN a.kun data" kun2wyt ""
check "a.kun" kun2wyt a
check "-b -e -h -m -n -o -p" kun2wyt a.kun ""
check "-n" kun2wyt a.kun -n -e -n
check "B.KUN a.kun c.Kun data notes.txt" kun2wyt a.kun -o ""
check "B.KUN a.kun c.Kun data notes.txt" kun2wyt a.kun --output ""
check "notes.txt" kun2wyt a.kun -e -o no
check "-b -e -h -m -n -o -p" kun2wyt a.kun -o x.wyt ""
check "-b -e -h -m -n -o -p" kun2wyt a.kun -o -o ""
check "-b -e -h -m -n -o -p" kun2wyt a.kun -o-e ""

((failed == 0)) && echo "completion: all cases passed"
exit "$failed"

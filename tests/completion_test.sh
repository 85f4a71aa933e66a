#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# Drives a shell's completion for kun2wyt in a scratch folder and compares what it offers, the
# same cases for every shell: bash through COMP_WORDS and COMP_CWORD, as bash calls it; zsh at
# a real prompt on a pseudo-terminal, pressing Tab, with compadd reporting what it adds; fish
# through its own `complete -C`. Exits 77 (skipped) when the shell is not installed.
# usage: completion_test.sh bash|zsh|fish COMPLETION_FILE
set -u
shell=$1 file=$(realpath "$2")
command -v "$shell" >/dev/null || { echo "SKIPPED: $shell is not installed"; exit 77; }
# The cases run in work/ of a scratch folder. The shells keep what they write of their own
# (fish: its configuration and variables) in home/ beside it, not in the user's home.
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/work" "$scratch/home" "$scratch/fpath" && cd "$scratch/work" || exit 1
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config XDG_DATA_HOME=$scratch/home/.local/share \
    XDG_CACHE_HOME=$scratch/home/.cache XDG_STATE_HOME=$scratch/home/.local/state
touch a.kun B.KUN c.Kun notes.txt
mkdir data

# zsh: an interactive zsh on a pseudo-terminal loads the completion from $fpath, types the line
# and Tab. compadd is wrapped to print each match it adds behind a \1, and the completion
# system prints a \2 and exits once done. (Arguments: the folder holding _kun2wyt, the line.)
zsh_driver='
zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "PS1=; fpath=(${(q)1} \$fpath); autoload -U compinit; compinit -u -D"
zpty -w z '\''compadd() { if [[ ${@[1,(i)--]} != *-[OAD]* ]]; then local -a m; builtin compadd -O m "$@"; print -rl -- $'\''"'\''\x01'\''"'\''${^m}; fi; builtin compadd "$@"; }'\''
zpty -w z '\''__done() { print $'\''"'\''\x02'\''"'\''; exit }; comppostfuncs=(__done)'\''
zpty -w z "bindkey '\''^I'\'' complete-word"
zpty -w z "$2"$'\''\t'\''
zpty -r z out $'\''*\x02*'\''
print -rl -- ${${(M)${(f)out}:#*$'\''\x01'\''*}##*$'\''\x01'\''}
'
[[ $shell == zsh ]] && cp "$file" "$scratch/fpath/_kun2wyt"
[[ $shell == bash ]] && source "$file"

failed=0
check() { # expected words, then the command line; the last word is the one being completed
    local expected=$1 offered
    shift
    case $shell in
    bash)
        COMP_WORDS=("$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _kun2wyt
        offered=$(printf '%s\n' "${COMPREPLY[@]}") ;;
    zsh) offered=$(timeout 20 zsh -f -c "$zsh_driver" zsh "$scratch/fpath" "$*" | tr -d '\r') ;;
    fish) offered=$(fish -N -c 'source $argv[1]; complete -C $argv[2]' "$file" "$*" | cut -f1) ;;
    esac
    offered=$(sed 's|/$||' <<<"$offered" | LC_ALL=C sort | paste -sd ' ')
    if [[ $offered != "$expected" ]]; then
        printf 'FAIL: %s: %s\n  offered:  %s\n  expected: %s\n' "$shell" "$*" "$offered" "$expected"
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

((failed == 0)) && echo "$shell completion: all cases passed"
exit "$failed"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's shared-prefix install with the modulefile, run as written under whichever module
# system is installed (environment modules or Lmod): the archive unpacked where README puts it,
# `module use` and `module load` as README shows them, then man, bash completion and the program
# must find kun2wyt's files, with MANPATH and XDG_DATA_DIRS unset and set, and `module unload`
# must give every variable back as it was (the module system's own bookkeeping aside).
# usage: modulefile_test.sh ARCHIVE README   (as root; exits 77, skipped, without a module system)
set -euo pipefail
archive=$(realpath "$1") readme=$(realpath "$2")
init=""
for candidate in /usr/share/modules/init/bash /usr/share/lmod/lmod/init/bash; do
    [[ -f $candidate ]] && init=$candidate && break
done
[[ -n $init ]] || { echo "SKIPPED: no module system (Debian: environment-modules or lmod)"; exit 77; }

section=$(sed -n '/^## On a cluster/,/^## /p' "$readme")
unpack_line=$(grep -m1 '^mkdir -p /opt/kun2wyt/' <<<"$section") || { echo "README shows no shared-prefix install"; exit 1; }
use_line=$(grep -m1 '^module use /opt/kun2wyt/' <<<"$section") || { echo "README shows no module use"; exit 1; }
load_line=$(grep -m1 '^module load kun2wyt' <<<"$section" | sed 's/ *#.*//') || { echo "README shows no module load"; exit 1; }
# README names the x86-64 archive of the newest release; the lines are the same for another
# machine's, and for a development version's.
shown=$(grep -o -m1 'kun2wyt-[0-9.]*-linux-[a-z0-9_]*\.tar\.gz' <<<"$unpack_line")
unpack_line=${unpack_line//$shown/$(basename "$archive")}

# /opt/kun2wyt as README has it, in a scratch root of its own: the lines run in a mount
# namespace where the scratch folder is mounted on /opt, so the machine's /opt stays untouched.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$archive" "$scratch/"
printf 'level 1\n' >"$scratch/run1.kun"

run() { # MANPATH XDG_DATA_DIRS (a dash for unset): loads, checks, unloads; prints what failed
    env -i HOME="$scratch" PATH=/usr/local/bin:/usr/bin:/bin unshare --mount bash -c '
        set -u
        mount --bind "$1" /opt
        cd /tmp
        source "$2" >/dev/null
        [[ $5 == - ]] && unset MANPATH || export MANPATH=$5
        [[ $6 == - ]] && unset XDG_DATA_DIRS || export XDG_DATA_DIRS=$6
        own() { env | grep -v -E "^(LOADEDMODULES|_LMFILES_|MODULEPATH|MODULEPATH_ROOT|MODULESHOME|MODULES_[A-Z_]*|__MODULES_[A-Z_]*|_ModuleTable[A-Za-z0-9_]*|__LMOD_[A-Z_]*|LMOD_[A-Z_]*|BASH_FUNC_[a-z_]*%%|OLDPWD|_)=" | sort; }
        before=$(own)
        cd "$1" && eval "$3" >/dev/null && cd /tmp
        eval "$4"
        eval "$7"
        command -v kun2wyt | grep -q "^/opt/kun2wyt/" || echo "not on PATH: $(command -v kun2wyt)"
        kun2wyt "$1/run1.kun" -o /dev/null >/dev/null || echo "kun2wyt did not run"
        man -w kun2wyt | grep -q "^/opt/kun2wyt/" || echo "man does not find its page"
        man -w ls >/dev/null 2>&1 || echo "man no longer finds the system pages"
        [[ ":${XDG_DATA_DIRS-}:" == *:/usr/share:* ]] || echo "XDG_DATA_DIRS lost /usr/share"
        if [[ -f /usr/share/bash-completion/bash_completion ]]; then
            bash -c "source /usr/share/bash-completion/bash_completion && __load_completion kun2wyt" ||
                echo "bash completion is not found"
        fi
        module unload kun2wyt
        module unuse /opt/kun2wyt/*/share/modulefiles
        diff <(echo "$before") <(own) >&2 || echo "module unload did not give the environment back"
    ' run "$scratch" "$init" "$unpack_line" "$use_line" "$1" "$2" "$load_line"
}

failed=0
for case in "- -" "/usr/share/man /usr/share:/opt/data" ":/usr/local/man -"; do
    read -r manpath xdg <<<"$case"
    problems=$(run "$manpath" "$xdg" 2>&1)
    if [[ -n $problems ]]; then
        printf 'FAIL with MANPATH %s and XDG_DATA_DIRS %s:\n%s\n' "$manpath" "$xdg" "$problems"
        failed=1
    fi
done
((failed == 0)) && echo "modulefile under $(basename "$(dirname "$(dirname "$init")")"): loaded and unloaded cleanly"
exit "$failed"

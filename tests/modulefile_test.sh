#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's shared-prefix install with the modulefile, run as written under whichever module
# system is installed (environment modules or Lmod), each user's part by an ordinary user in a
# fresh login shell:
# - one user's shell: the archive unpacked where README puts it, `module use` and `module load`
#   as README shows them; then man, bash completion and the program must find kun2wyt's files,
#   with MANPATH and XDG_DATA_DIRS unset and set, and `module unload` must give every variable
#   back as it was (the module system's own bookkeeping aside);
# - every user: two versions unpacked side by side (the archive as README has it, and the same
#   archive again under a newer version's folder, its modulefile named as that version's would
#   be), and README's line for this module system added to its list of module folders; at
#   login, `module avail` lists both and `module load kun2wyt` loads the newer, and bash, zsh and
#   fish find the completion with README's lines, with the module and without it.
# The lines run in a mount namespace of their own, where a scratch folder is mounted on /opt and
# a copy of the module system's list on the list itself: the machine's /opt and /etc stay as
# they were, however the test ends.
# usage: modulefile_test.sh ARCHIVE README   (as root; exits 77, skipped, without a module system)
set -euo pipefail
# shellcheck source=tests/completion_found.sh
source "$(dirname "$0")/completion_found.sh"
archive=$(realpath "$1") readme=$(realpath "$2")
init="" system=""
for candidate in /usr/share/modules/init/bash /usr/share/lmod/lmod/init/bash; do
    [[ -f $candidate ]] && init=$candidate && break
done
[[ -n $init ]] || { echo "SKIPPED: no module system (Debian: environment-modules or lmod)"; exit 77; }
case $init in
*/lmod/*) system=Lmod list=/etc/lmod/modulespath ;;
*) system="environment modules" list=/etc/environment-modules/initrc ;;
esac

section=$(sed -n '/^## On a cluster/,/^## /p' "$readme")
line() { # PATTERN WHAT: the first line of the section that matches, without its comment
    grep -m1 -e "$1" <<<"$section" | sed 's/ *#.*//' || { echo "README shows no $2" >&2; exit 1; }
}
unpack_line=$(line '^mkdir -p /opt/kun2wyt/' "shared-prefix install")
use_line=$(line '^module use /opt/kun2wyt/' "module use")
load_line=$(line '^module load kun2wyt' "module load")
every_user_line=$(line "^echo .* >>$list" "line for $list")
zsh_line=$(line '^fpath=(/opt/kun2wyt/' "zsh line for the shared prefix")
profile_line=$(line '^export PATH="/opt/kun2wyt/.* XDG_DATA_DIRS="/opt/kun2wyt/' "~/.profile line for the shared prefix")
# README names the x86-64 archive of the newest release, in a folder named for it; the lines are
# the same for another machine's archive, and for a development version's.
shown=$(grep -o -m1 'kun2wyt-[0-9.]*-linux-[a-z0-9_]*\.tar\.gz' <<<"$unpack_line")
unpack_line=${unpack_line//$shown/$(basename "$archive")}
folder=$(grep -o '/opt/kun2wyt/[^ /]*' <<<"$unpack_line" | head -n1)
# The archive's own version, as its modulefile is named, and a newer one, whose minor number
# has one digit more where the archive's has one: only a sort by version puts it last.
version=$(tar -tzf "$archive" | sed -n 's|^[^/]*/share/modulefiles/kun2wyt/\([^/]*\)$|\1|p')
IFS=. read -r major minor _ <<<"$version"
newer=$major.$((minor + 10)).0

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
mkdir "$scratch/opt" "$scratch/work" "$scratch/home"
cp "$archive" "$scratch/work/"
cp "$list" "$scratch/list"
printf 'level 1\n' >"$scratch/work/run1.kun"
chown nobody:nogroup "$scratch/home"
list_before=$(sha256sum "$list")

# in_namespace SCRIPT ARGS...: SCRIPT as root, with the scratch folder on /opt and its copy of
# the list on the list; `as_user SCRIPT ARGS...` there runs SCRIPT as nobody in a fresh login
# shell, which has nothing of the caller's environment.
in_namespace() {
    local script=$1
    shift
    unshare --mount bash -euo pipefail -c '
        mount --bind "$SCRATCH/opt" /opt
        mount --bind "$SCRATCH/list" "$LIST"
        as_user() {
            setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$SCRATCH/home" USER=nobody LOGNAME=nobody \
                SHELL=/bin/bash PATH=/usr/bin:/bin bash -l -c "$1" as_user "${@:2}"
        }
        cd "$SCRATCH/work"
        '"$script" in_namespace "$@"
}
export SCRATCH=$scratch LIST=$list

# One user's shell, with `module use`.
user_shell() { # MANPATH XDG_DATA_DIRS (a dash for unset): loads, checks, unloads; prints what failed
    as_user '
        set -u
        [[ $1 == - ]] && unset MANPATH || export MANPATH=$1
        [[ $2 == - ]] && unset XDG_DATA_DIRS || export XDG_DATA_DIRS=$2
        own() { env | grep -v -E "^(LOADEDMODULES|_LMFILES_|MODULEPATH|MODULEPATH_ROOT|MODULESHOME|MODULES_[A-Z_]*|__MODULES_[A-Z_]*|_ModuleTable[A-Za-z0-9_]*|__LMOD_[A-Z_]*|LMOD_[A-Z_]*|BASH_FUNC_[a-z_]*%%|OLDPWD|_)=" | sort; }
        before=$(own)
        eval "$3"
        eval "$4"
        command -v kun2wyt | grep -q "^/opt/kun2wyt/" || echo "not on PATH: $(command -v kun2wyt)"
        kun2wyt "$5" -o /dev/null >/dev/null || echo "kun2wyt did not run"
        man -w kun2wyt | grep -q "^/opt/kun2wyt/" || echo "man does not find its page"
        man -w ls >/dev/null 2>&1 || echo "man no longer finds the system pages"
        [[ ":${XDG_DATA_DIRS-}:" == *:/usr/share:* ]] || echo "XDG_DATA_DIRS lost /usr/share"
        if [[ -f /usr/share/bash-completion/bash_completion ]]; then
            bash -c "source /usr/share/bash-completion/bash_completion && __load_completion kun2wyt" ||
                echo "bash completion is not found"
        fi
        module unload kun2wyt
        module unuse /opt/kun2wyt/*/share/modulefiles
        [[ $(own) == "$before" ]] || { echo "module unload did not give the environment back:"; diff <(echo "$before") <(own); }
    ' "$1" "$2" "$USE_LINE" "$LOAD_LINE" "$SCRATCH/work/run1.kun" 2>"$SCRATCH/stderr" || echo "the login shell failed"
}
export USE_LINE=$use_line LOAD_LINE=$load_line SCRATCH=$scratch

failed=0
for case in "- -" "/usr/share/man /usr/share:/opt/data" ":/usr/local/man -"; do
    read -r manpath xdg <<<"$case"
    problems=$(in_namespace "$unpack_line >/dev/null"$'\n'"$(declare -f user_shell)"$'\n''user_shell "$@"' "$manpath" "$xdg")
    if [[ -n $problems ]]; then
        printf 'FAIL with MANPATH %s and XDG_DATA_DIRS %s:\n%s\n' "$manpath" "$xdg" "$problems"
        cat "$scratch/stderr"
        failed=1
    fi
done
rm -rf "${scratch:?}"/opt/* "$scratch"/home/.[!.]* "$scratch"/home/*

# Every user: two versions side by side, and README's line for this module system, added as
# README shows it. Each check prints what failed.
every_user() {
    eval "$UNPACK_LINE" >/dev/null
    local newer_folder=/opt/kun2wyt/$NEWER
    eval "${UNPACK_LINE//"$FOLDER"/"$newer_folder"}" >/dev/null
    mv "/opt/kun2wyt/$NEWER/share/modulefiles/kun2wyt/$VERSION" "/opt/kun2wyt/$NEWER/share/modulefiles/kun2wyt/$NEWER"
    eval "$EVERY_USER_LINE"
    as_user '
        avail=$(module -t avail kun2wyt 2>&1)
        for v in "$1" "$2"; do
            grep -q "^kun2wyt/$v\($\|(\)" <<<"$avail" || echo "module avail does not list kun2wyt/$v: $avail"
        done
        eval "$3"
        [[ $(command -v kun2wyt) == "/opt/kun2wyt/$2/bin/kun2wyt" ]] ||
            echo "module load kun2wyt did not load the newest, kun2wyt/$2: $(command -v kun2wyt); $(module -t list 2>&1)"
        kun2wyt "$4" -o /dev/null >/dev/null || echo "kun2wyt did not run"
        man -w kun2wyt | grep -q "^/opt/kun2wyt/$2/" || echo "man does not find its page"
    ' "$VERSION" "$NEWER" "$LOAD_LINE" "$SCRATCH/work/run1.kun" 2>"$SCRATCH/stderr" || echo "the login shell failed"
    # Each shell, started by a user whose login loaded the module, with README's line for zsh;
    # then without the module, with README's line for it in ~/.profile.
    local found
    with_module() { as_user "$LOAD_LINE >/dev/null 2>&1"$'\n'"$1"; }
    found=$(completion_found with_module "$ZSH_LINE" "") || echo "with the module: $found"
    rm -rf "$SCRATCH"/home/.[!.]* "$SCRATCH"/home/*
    as_user 'printf "%s\n" "$1" >~/.profile' "$PROFILE_LINE"
    without_module() { as_user "$1"; }
    found=$(completion_found without_module "$ZSH_LINE" "") || echo "without the module: $found"
}
export UNPACK_LINE=$unpack_line FOLDER=$folder VERSION=$version NEWER=$newer EVERY_USER_LINE=$every_user_line
export ZSH_LINE=$zsh_line PROFILE_LINE=$profile_line
problems=$(in_namespace "$(declare -f completion_found every_user)"$'\n''every_user')
if [[ -n $problems ]]; then
    printf 'FAIL with README'"'"'s line for every user, %s, and kun2wyt %s and %s side by side:\n%s\n' \
        "$every_user_line" "$version" "$newer" "$problems"
    cat "$scratch/stderr"
    failed=1
fi
[[ $(sha256sum "$list") == "$list_before" ]] || { echo "FAIL $list was changed"; failed=1; }

((failed == 0)) && echo "modulefile under $system: loaded and unloaded cleanly; README's line shows every version to every user, and loads the newest"
exit "$failed"

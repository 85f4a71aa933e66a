#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# The wheels in a dist folder, as pip and pipx take them, offline, with README's lines, by an
# ordinary user: each wheel's RECORD holds (python3 -m wheel unpack); in a fresh virtual
# environment the x86-64 wheel gives the archive's program, byte for byte and as its bill says,
# which converts the example, `man` finds the page from PATH, each shell finds the completion with
# README's lines, and pip's uninstall leaves the environment as it was made; Debian's python3
# refuses README's --user line, which with --break-system-packages puts each file where the
# archive puts it in ~/.local, and its removal takes them all; README's pipx line gives a program
# that runs, and its removal takes it; pip refuses the aarch64 wheel here, but installs it for its
# platform into a folder, where its program, the aarch64 archive's, converts the example (qemu).
# pip never asks an index (PIP_NO_INDEX): pipx builds its shared environment from Debian's own
# wheels of pip, setuptools and wheel (PIP_FIND_LINKS), and anything else meets a closed port.
# usage: wheel_test.sh DIST README   (on x86-64, as root: the user's part runs as nobody)
set -euo pipefail
# shellcheck source=tests/completion_found.sh
source "$(dirname "$0")/completion_found.sh"
# shellcheck source=tests/no_network.sh
source "$(dirname "$0")/no_network.sh"
dist=$(realpath "$1") readme=$(realpath "$2")
x86=$(echo "$dist"/kun2wyt-*-py3-none-*_x86_64.whl) arm=$(echo "$dist"/kun2wyt-*-py3-none-*_aarch64.whl)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
fail() { echo "FAIL: $*"; exit 1; }
step() { printf '\n==== %s\n' "$*"; }

step "every RECORD hash of each wheel"
for arch in x86_64 aarch64; do
    wheel=$(echo "$dist"/kun2wyt-*-py3-none-*_$arch.whl)
    /usr/bin/python3 -m wheel unpack -d "$scratch/unpacked-$arch" "$wheel" >/dev/null || fail "${wheel##*/} does not unpack as its RECORD says"
    mkdir "$scratch/$arch" && tar -xzf "$dist"/kun2wyt-*-linux-$arch.tar.gz -C "$scratch/$arch" --strip-components=1
done

readme_line() { grep -m1 -e "$1" "$readme" || { echo "README shows no line matching $1" >&2; exit 1; }; }
# README names 1.3.0's x86-64 wheel; the lines are the same for this tree's.
shown=$(readme_line '^python3 -m venv ~/kun2wyt-env && ' | grep -o 'kun2wyt-[^ /]*\.whl')
named() { local line; line=$(readme_line "$1"); echo "${line//$shown/${x86##*/}}"; }
venv_install=$(named '^python3 -m venv ~/kun2wyt-env && ')
venv_activate=$(named '^\. ~/kun2wyt-env/bin/activate')
venv_run=$(named '^kun2wyt ~/kun2wyt-env/share/doc/kun2wyt/examples/')
venv_remove=$(named '^~/kun2wyt-env/bin/pip uninstall ')
bash_fish_line=$(named '^export XDG_DATA_DIRS="$HOME/kun2wyt-env/share')
zsh_line=$(named '^fpath=(~/kun2wyt-env/share/zsh/' | sed 's/ *#.*//')
user_line=$(named '^python3 -m pip install --user ./')
pipx_line=$(named '^pipx install ./')

home="$scratch/home"
mkdir "$home" && cp "$x86" "$arm" "$home/" && chown -R nobody:nogroup "$home"
# A shell line by the user (README's lines end in comments: one line each, as typed at a prompt).
as_user() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin PIP_NO_INDEX=1 \
        PIP_FIND_LINKS=/usr/share/python-wheels http_proxy="$http_proxy" https_proxy="$https_proxy" \
        HTTP_PROXY="$HTTP_PROXY" HTTPS_PROXY="$HTTPS_PROXY" bash -euc "cd ~"$'\n'"$1"
}
files() { (cd "$1" && find . ! -type d | LC_ALL=C sort); }

step "README's virtual environment: the archive's program, man, each shell's completion, and the uninstall"
as_user "python3 -m venv ~/made"
found=$(as_user "$venv_install"$'\n'"$venv_activate"$'\n'"$venv_run"$'\n'"test -f run1.wyt && test ! -s run1.wyt && man -w kun2wyt") ||
    fail "README's lines did not install, run and find the page in a virtual environment"
program=$home/kun2wyt-env/bin/kun2wyt
cmp "$program" "$scratch/x86_64/bin/kun2wyt" || fail "the environment's kun2wyt is not the archive's program"
grep -qF "checksum=sha256:$(sha256sum <"$program" | cut -d' ' -f1)" "$x86.spdx.json" || fail "the wheel's bill gives another checksum of the program"
[[ $found == */kun2wyt-env/share/man/man1/kun2wyt.1.gz ]] || fail "man found $found, not the environment's page"
with_lines() { as_user "$venv_activate"$'\n'"$bash_fish_line"$'\n'"$1"; }
completion_found with_lines "$zsh_line" ""
# README's Reporting bugs: pip show and pipx list name the version installed.
version=$(cut -d- -f2 <<<"${x86##*/}")
reported() { readme_line "\`$1\`" >/dev/null && as_user "$2$1" | grep -F "$3" >/dev/null || fail "$1 does not name $version"; }
reported "pip show kun2wyt" "$venv_activate"$'\n' "Version: $version"
as_user "$venv_remove"
diff <(files "$home/made") <(files "$home/kun2wyt-env") || fail "the uninstall left the environment otherwise than it was made"

step "README's --user line: refused by Debian's python3; forced, each file where the archive puts it in ~/.local"
if as_user "$user_line" 2>"$scratch/refused"; then fail "Debian's python3 installed for the user"; fi
grep -q externally-managed-environment "$scratch/refused" || { cat "$scratch/refused"; fail "refused otherwise than as externally managed"; }
user_base="$scratch/home/user-base"
as_user "export PYTHONUSERBASE=~/user-base"$'\n'"${user_line%% #*} --break-system-packages"
data=$(echo "$scratch"/unpacked-x86_64/*/*.data)
while read -r path; do
    [[ $path == ./scripts/* ]] && where=bin/${path#./scripts/} || where=${path#./data/}
    cmp "$user_base/$where" "$scratch/x86_64/$where" || fail "the wheel's ${path#./} is not the archive's $where"
done < <(files "$data")
as_user "export PYTHONUSERBASE=~/user-base"$'\n'"${user_line##*# remove: } --break-system-packages"
[[ -z $(files "$user_base") ]] || fail "the removal left $(files "$user_base")"

step "README's pipx line, and its removal"
as_user "$pipx_line"$'\n'"PATH=~/.local/bin:\$PATH kun2wyt ~/.local/pipx/venvs/kun2wyt/share/doc/kun2wyt/examples/run1.kun -o pipx.wyt"
test -f "$home/pipx.wyt" || fail "pipx's kun2wyt converted nothing"
reported "pipx list" "" "kun2wyt $version,"
as_user "${pipx_line##*# remove: }"
[[ ! -e $home/.local/bin/kun2wyt && ! -e $home/.local/pipx/venvs/kun2wyt ]] || fail "pipx's removal left kun2wyt"

step "the aarch64 wheel: refused here; for its platform, into a folder, its program under qemu"
if as_user "~/made/bin/pip install ./${arm##*/}" 2>"$scratch/refused"; then fail "pip installed the aarch64 wheel on $(uname -m)"; fi
grep -q 'is not a supported wheel on this platform' "$scratch/refused" || { cat "$scratch/refused"; fail "refused for another reason"; }
as_user "~/made/bin/pip install --platform manylinux2014_aarch64 --only-binary=:all: --target ~/aarch64 ./${arm##*/}
~/aarch64/bin/kun2wyt ~/aarch64/share/doc/kun2wyt/examples/run1.kun -o aarch64.wyt && test -f aarch64.wyt"
cmp "$home/aarch64/bin/kun2wyt" "$scratch/aarch64/bin/kun2wyt" || fail "the aarch64 wheel's program is not the aarch64 archive's"
echo "wheels: installed, run and removed by pip and pipx as README says"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's quick start in the unpacked source release, with HOME an empty scratch folder: both
# commands pass (a test that needs what only a clone has says it is skipped), HOME stays empty,
# and the tree gains nothing but build/. Then README's build and install from the source
# release, without git and without GoogleTest, as root into /usr/local: the program runs, each
# shell finds its completion (fish with README's line), and README's uninstall leaves /usr/local
# as it was. Then the same build, installed into ~/.local by its ordinary user after that root
# install, and removed by README's line.
# usage: source_install_test.sh SOURCE_RELEASE README   (as root: it runs the user's part as nobody)
set -euo pipefail
# shellcheck source=tests/completion_found.sh
source "$(dirname "$0")/completion_found.sh"
tree_release=$(realpath "$1") readme=$(realpath "$2")
top=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

quick_start=$(sed -n '/^## Quick start/,/^## /p' "$readme" | grep '^cmake ')
[[ $(wc -l <<<"$quick_start") == 2 ]] || { echo "README's quick start shows other than two commands"; exit 1; }
mkdir "$scratch/quick" "$scratch/quick-home" && tar -xzf "$tree_release" -C "$scratch/quick" --strip-components=1
# Every file with its kind, mode, size and time, every folder with its kind and mode; build/ aside.
tree_of() { (cd "$1" && find . -path ./build -prune -o \( -type d -printf '%p %y %m\n' \) -o -printf '%p %y %m %s %T@\n' | LC_ALL=C sort); }
quick_before=$(tree_of "$scratch/quick")
(cd "$scratch/quick" && env -i HOME="$scratch/quick-home" PATH=/usr/local/bin:/usr/bin:/bin bash -euc "$quick_start") \
    >"$scratch/quick.log" 2>&1 || { cat "$scratch/quick.log"; echo "README's quick start failed in the source release"; exit 1; }
grep -A9 -E '^[0-9]+% tests passed' "$scratch/quick.log"
# Why each skipped test was skipped, as it said.
grep -h '^SKIPPED: ' "$scratch"/quick/build/*/Testing/Temporary/LastTest.log || true
[[ -z $(find "$scratch/quick-home" -mindepth 1) ]] ||
    { find "$scratch/quick-home" -mindepth 1; echo "README's quick start wrote the above into HOME"; exit 1; }
diff <(echo "$quick_before") <(tree_of "$scratch/quick") || { echo "README's quick start changed the source beyond build/"; exit 1; }
rm -rf "$scratch/quick"
echo "quick start: passed in the source release, HOME left empty and the tree as it was but for build/"

mkdir "$scratch/source" && tar -xzf "$tree_release" -C "$scratch/source" --strip-components=1
source_line=$(grep -m1 '^cmake -S . -B build ' "$readme")
uninstall_line=$(grep -m1 '^sudo sh /usr/local/share/doc/kun2wyt/uninstall.sh$' "$readme")
home_uninstall_line=$(grep -m1 '^sh ~/.local/share/doc/kun2wyt/uninstall.sh$' "$readme")
fish_line=$(grep -m1 '^set -a fish_complete_path /usr/local/' "$readme" | sed 's/ *#.*//')
sudo() { "$@"; } # README's lines as written; the test is root already
usr_local() { find /usr/local -printf '%p %y %m %l\n' | LC_ALL=C sort; }
usr_local_before=$(usr_local)
(cd "$scratch/source" && eval "${source_line/-DCMAKE_BUILD_TYPE=Release/-DCMAKE_BUILD_TYPE=Release -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON}")
(cd "$scratch" && kun2wyt "$top/examples/run1.kun" -o from-source.wyt && test -f from-source.wyt)
manifest="$scratch/source/build/install_manifest.txt"
grep -q '/zsh/' "$manifest" && grep -q '/fish/' "$manifest" || { echo "no zsh or fish completion installed"; exit 1; }
# Each shell as it starts by default (zsh with its completion system on), and fish with
# README's line, finds the completion in /usr/local.
mkdir "$scratch/home"
as_root() { env -i HOME="$scratch/home" PATH=/usr/local/bin:/usr/bin:/bin bash -euc "$1"; }
completion_found as_root 'autoload -Uz compinit && compinit' "$fish_line" || exit 1
(cd "$scratch/source" && eval "$uninstall_line")
if command -v kun2wyt; then echo "kun2wyt is still there after the uninstall"; exit 1; fi
diff <(echo "$usr_local_before") <(usr_local) || { echo "the uninstall did not leave /usr/local as it was"; exit 1; }

# The build folder is the user's; root's install left install_manifest.txt in it, root's own.
chmod 755 "$scratch" && chown -R nobody "$scratch/source/build" && chown root "$manifest"
mkdir "$scratch/user" && chown nobody "$scratch/user"
setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$scratch/user" PATH=/usr/bin:/bin bash -euc \
    "cd '$scratch/source'
     cmake --install build --prefix ~/.local >/dev/null
     test -x ~/.local/bin/kun2wyt
     $home_uninstall_line"
[[ -z $(find "$scratch/user/.local" -mindepth 1) ]] || { find "$scratch/user/.local"; echo "the uninstall left the above"; exit 1; }
echo "source install: built, installed, completed in each shell and removed, as root and as a user"

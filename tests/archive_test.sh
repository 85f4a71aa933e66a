#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's install and uninstall of the portable archive, run as written by an ordinary user
# whose ~/.local already holds things: bin and share are symbolic links, share is private, and
# other programs live there. Unpacking must leave every folder that was there as it was (link,
# mode and time; a folder that gains a file may only show that it changed now), the program
# must run from PATH, and the uninstall must take away exactly the files that the archive put.
# usage: archive_test.sh ARCHIVE README EXAMPLE   (as root: it runs the user's part as nobody)
set -euo pipefail
archive=$(realpath "$1") readme=$(realpath "$2") example=$(realpath "$3")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"

readme_line() { grep -m1 -e "$1" "$readme" || { echo "README shows no line matching $1" >&2; exit 1; }; }
install_line=$(readme_line '^mkdir -p ~/.local && tar ')
path_line=$(readme_line '^export PATH="$HOME/.local/bin')
uninstall_line=$(readme_line '^tar -tzf ')
# README names the x86-64 archive; the lines are the same for another machine's.
name=$(basename "$archive")
shown=$(grep -o -m1 'kun2wyt-[0-9.]*-linux-[a-z0-9_]*\.tar\.gz' <<<"$install_line")
[[ ${shown%-linux-*} == "${name%-linux-*}" && $uninstall_line == *" $shown "* ]] ||
    { echo "README names another archive than $name"; exit 1; }
install_line=${install_line//$shown/$name} uninstall_line=${uninstall_line//$shown/$name}

home="$scratch/home"
mkdir -p "$home/.local/lib" "$home/dotfiles/bin" "$home/dotfiles/share/man/man1"
ln -s "$home/dotfiles/bin" "$home/.local/bin"
ln -s ../dotfiles/share "$home/.local/share"
echo 'other program' >"$home/dotfiles/bin/other"
chmod 700 "$home/dotfiles/share" "$home/.local/lib"
cp "$archive" "$example" "$home/"
find "$home" -exec touch -h -d '2020-01-01 00:00' {} +
chown -R nobody:nogroup "$home"

# Every file, folder and link with its kind, mode, time and target.
tree() { (cd "$home" && find . -path ./run1.\* -prune -o -printf '%p %y %m %T@ %l\n' | LC_ALL=C sort); }
before=$(tree)
started=$(date +%s)
sleep 1

as_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin bash -euc "$1"; }
as_user "cd ~ && $install_line && $path_line && kun2wyt run1.kun && test -f run1.wyt && test ! -s run1.wyt"

failed=0
after=$(tree)
while read -r path kind mode time target; do
    now=$(grep -F -m1 "$path $kind " <<<"$after") || { echo "FAIL $path is gone, or no longer of kind $kind"; failed=1; continue; }
    read -r _ _ now_mode now_time now_target <<<"$now"
    [[ $now_mode == "$mode" && $now_target == "$target" ]] || { echo "FAIL $path: $now"; failed=1; }
    [[ $now_time == "$time" || ${now_time%.*} -ge $started ]] || { echo "FAIL $path: time set to $now_time"; failed=1; }
done <<<"$before"
[[ -x $home/dotfiles/bin/kun2wyt && -f $home/dotfiles/share/man/man1/kun2wyt.1.gz ]] ||
    { echo "FAIL the program and its man page are not where the links lead"; failed=1; }

as_user "cd ~ && $uninstall_line"
files() { grep -v -E ' d [0-9]+ ' <<<"$1" | cut -d' ' -f1,2,3,5; }
[[ $(files "$(tree)") == "$(files "$before")" ]] || { echo "FAIL the uninstall left or took other files:"; diff <(files "$before") <(files "$(tree)"); failed=1; }

((failed == 0)) && echo "archive: unpacked, run and removed without touching what was there"
exit "$failed"

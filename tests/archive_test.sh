#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's install and uninstall of the portable archive, run as written by an ordinary user
# whose ~/.local already holds things: bin and share are symbolic links, share is private, and
# other programs live there. Unpacking must leave every folder that was there as it was (link,
# mode and time; a folder that gains a file may only show that it changed now), the program
# must run from PATH on the shipped example, each shell must find its completion (zsh with
# README's line), and the uninstall, without the archive, must take away exactly the files and
# folders that the archive put there and keep a file of the user's own among them.
# usage: archive_test.sh ARCHIVE README   (as root: it runs the user's part as nobody)
set -euo pipefail
# shellcheck source=tests/completion_found.sh
source "$(dirname "$0")/completion_found.sh"
archive=$(realpath "$1") readme=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"

readme_line() { grep -m1 -e "$1" "$readme" || { echo "README shows no line matching $1" >&2; exit 1; }; }
install_line=$(readme_line '^mkdir -p ~/.local && tar ')
path_line=$(readme_line '^export PATH="$HOME/.local/bin')
run_line=$(readme_line '^kun2wyt ~/.local/share/doc/kun2wyt/examples/')
uninstall_line=$(readme_line '^sh ~/.local/share/doc/kun2wyt/uninstall.sh$')
zsh_line=$(readme_line '^fpath=(~/.local/share/zsh/site-functions' | sed 's/ *#.*//')
opt_lines=$(readme_line '^export PATH="/opt/kun2wyt/.* XDG_DATA_DIRS="/opt/kun2wyt/' | sed 's/ *#.*//')
opt_zsh_line=$(readme_line '^fpath=(/opt/kun2wyt/' | sed 's/ *#.*//')
opt=$(grep -o '/opt/kun2wyt/[^ /]*' <<<"$opt_lines" | head -n1) # README's shared prefix, /opt/kun2wyt/VERSION
# README names the x86-64 archive of the newest release; the lines are the same for another
# machine's, and for a development version's.
name=$(basename "$archive")
shown=$(grep -o -m1 'kun2wyt-[0-9.]*-linux-[a-z0-9_]*\.tar\.gz' <<<"$install_line")
install_line=${install_line//$shown/$name}

home="$scratch/home"
mkdir -p "$home/.local/lib" "$home/dotfiles/bin" "$home/dotfiles/share/man/man1"
ln -s "$home/dotfiles/bin" "$home/.local/bin"
ln -s ../dotfiles/share "$home/.local/share"
echo 'other program' >"$home/dotfiles/bin/other"
echo 'other page' >"$home/dotfiles/share/man/man1/other.1"
chmod 700 "$home/dotfiles/share" "$home/.local/lib"
cp "$archive" "$home/"
find "$home" -exec touch -h -d '2020-01-01 00:00' {} +
chown -R nobody:nogroup "$home"

# Every file, folder and link with its kind, mode, time and target.
tree() { (cd "$home" && find . -path ./run1.\* -prune -o -printf '%p %y %m %T@ %l\n' | LC_ALL=C sort); }
before=$(tree)
started=$(date +%s)
sleep 1

as_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin bash -euc "$1"; }
# One line each, as typed at a prompt (README's lines end in comments); bash -e stops at a failure.
as_user "cd ~"$'\n'"$install_line"$'\n'"$path_line"$'\n'"$run_line"$'\n'"test -f run1.wyt && test ! -s run1.wyt"

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

# Each shell, as it starts with no configuration of the user's but README's line for zsh, finds
# kun2wyt's completion.
as_user_on_path() { as_user "$path_line"$'\n'"$1"; }
completion_found as_user_on_path "$zsh_line" "" || failed=1
# What the shells keep of their own (histories, caches, variables) is no part of the install.
rm -rf "$home"/.bashrc "$home"/.bash_history "$home"/.zshrc "$home"/.zcompdump* "$home"/.config "$home"/.cache

# The uninstall keeps a file of the user's own, and the folder that holds it.
as_user "echo mine >~/.local/share/doc/kun2wyt/notes && cd /tmp && $uninstall_line" || { echo "FAIL the uninstall failed"; failed=1; }
[[ -f $home/dotfiles/share/doc/kun2wyt/notes ]] || { echo "FAIL the uninstall took the user's own file"; failed=1; }
rm "$home/dotfiles/share/doc/kun2wyt/notes" && rmdir "$home/dotfiles/share/doc/kun2wyt" "$home/dotfiles/share/doc"
kept() { cut -d' ' -f1,2,3,5 <<<"$1"; } # all but the times
[[ $(kept "$(tree)") == "$(kept "$before")" ]] || { echo "FAIL the uninstall left or took other files or folders:"; diff <(kept "$before") <(kept "$(tree)"); failed=1; }

# Unpacked into a prefix that no shell searches, README's shared prefix /opt/kun2wyt/VERSION
# (here one in the scratch folder), used without its module, with README's lines for that, and
# nothing left in ~/.local: the program is on PATH and each shell finds the completion.
prefix=$scratch$opt
mkdir -p "$prefix" && tar -xzf "$archive" -C "$prefix" --strip-components=1
opt_lines=${opt_lines//"$opt"/"$prefix"}
in_opt() { as_user "$opt_lines"$'\n'"$1"; }
in_opt 'test "$(command -v kun2wyt)" = '"'$prefix/bin/kun2wyt'" || { echo "FAIL README's line does not put $opt/bin on PATH"; failed=1; }
completion_found in_opt "${opt_zsh_line//"$opt"/"$prefix"}" "" || failed=1

((failed == 0)) && echo "archive: unpacked, run and removed without touching what was there"
exit "$failed"

#!/bin/sh
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Removes kun2wyt from the folder it was installed into, by the portable archive or by
# `cmake --install`: every file named in the list beside this script (files), then every folder
# that the list names (with a trailing /) once it is empty, deepest first. Files of your own
# stay, and so do the folders that hold them; a folder that is a symbolic link (~/.local/bin ->
# elsewhere) stays as it is.
# usage: sh PREFIX/share/doc/kun2wyt/uninstall.sh
set -eu
# The prefix, as typed: cd follows the path's own links, so a linked share/ leads back here.
cd -- "$(dirname -- "$0")/../../.."
list=share/doc/kun2wyt/files
[ -f "$list" ] || { echo "uninstall: $PWD/$list is not there: nothing to remove" >&2; exit 1; }
entries=$(cat -- "$list")
printf '%s\n' "$entries" | grep -v '/$' | while IFS= read -r file; do
    rm -f -- "$file"
done
printf '%s\n' "$entries" | grep '/$' | LC_ALL=C sort -r | while IFS= read -r folder; do
    [ -L "${folder%/}" ] || rmdir -- "$folder" 2>/dev/null || :
done

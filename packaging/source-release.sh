#!/bin/sh
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The source release, kun2wyt-VERSION.tar.gz, of the tree checked out here, which
# cmake/version.cmake must call VERSION: `git archive` of its commit (or of the uncommitted
# changes that dist was allowed to package), less what .gitattributes marks export-ignore (the
# recipes and the record, which hold its checksum), packed in name order with fixed owners,
# modes and times. A development version names itself in the file VERSION, having no git.
#   packaging/source-release.sh VERSION FILE
set -eu
[ $# = 2 ] || { echo "usage: $0 VERSION FILE" >&2; exit 2; }
version=$1 out=$(realpath "$2")
cd "$(dirname "$0")/.."
# The rule, asked once: the tree's version and time.
answer=$(cmake "-DFIELD=version;epoch" -P cmake/version.cmake)
tree_version=${answer%
*} epoch=${answer#*
}
[ "$tree_version" = "$version" ] || { echo "$0: this tree is $tree_version, not $version" >&2; exit 1; }
# A commit of the work tree's tracked files, made without touching the tree or the index; none
# when nothing is changed.
changes=$(git -c user.name=kun2wyt -c user.email=kun2wyt@localhost stash create)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
git archive --format=tar --prefix="kun2wyt-$version/" "${changes:-HEAD}" | tar -x -C "$scratch"
# A release is MAJOR.MINOR.PATCH alone.
expr "$version" : '[0-9]*\.[0-9]*\.[0-9]*$' >/dev/null || echo "$version" >"$scratch/kun2wyt-$version/VERSION"
# Modes from the owner's alone, so that the unpacking umask leaves no trace.
tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner --mode=u+w,go=u-w \
    --mtime="@$epoch" --directory "$scratch" "kun2wyt-$version" | gzip -9 -n >"$out"

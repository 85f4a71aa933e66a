#!/bin/sh
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The source release, kun2wyt-VERSION.tar.gz, of the tree checked out here, on its own:
#   packaging/source-release.sh VERSION FILE
# VERSION must be what cmake/version.cmake calls this tree. It holds the committed source as
# `git archive` gives it (with the uncommitted changes of a tree that dist was allowed to
# package, so that it holds what the packages hold), without what .gitattributes marks
# export-ignore (the recipes and the release record, which hold its checksum). GNU tar packs it
# in name order with fixed owners and modes, every time the rule's: a release's date, so that a
# commit that changes only what it leaves out leaves it as it was, or a development version's
# commit time. A development version carries its version in the file VERSION, since it has no
# git to tell it.
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

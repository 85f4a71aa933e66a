#!/bin/sh
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The source release, kun2wyt-VERSION.tar.gz, from the commit checked out here, on its own:
#   packaging/source-release.sh VERSION FILE
# It holds the committed source as `git archive HEAD` gives it, without what .gitattributes
# marks export-ignore (the recipes and the release record, which hold its checksum). GNU tar
# packs it in name order with fixed owners and modes. Every time in a release's is its date in
# CHANGELOG.md, not the commit's: a commit that changes only what it leaves out leaves it as it
# was, and any other change to the source changes it. A development version's (one that
# CHANGELOG.md gives no date) takes its commit's time, and carries the version in the file
# VERSION, since it has no git to tell it.
set -eu
[ $# = 2 ] || { echo "usage: $0 VERSION FILE" >&2; exit 2; }
version=$1 out=$(realpath "$2")
cd "$(dirname "$0")/.."
date=$(sed -n "s/^## \[$(echo "$version" | sed 's/\./\\./g')\] - \([0-9-]*\)$/\1/p" CHANGELOG.md)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
git archive --format=tar --prefix="kun2wyt-$version/" HEAD | tar -x -C "$scratch"
if [ -n "$date" ]; then
    time=$(date -u -d "$date" +%s)
else
    time=$(git log -1 --format=%ct)
    echo "$version" >"$scratch/kun2wyt-$version/VERSION"
fi
# Modes from the owner's alone, so that the unpacking umask leaves no trace.
tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner --mode=u+w,go=u-w \
    --mtime="@$time" --directory "$scratch" "kun2wyt-$version" | gzip -9 -n >"$out"

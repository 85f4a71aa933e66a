#!/bin/sh
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Writes the source release's checksum into the Spack and EasyBuild recipes, which the release
# leaves out. Run it after `cmake --workflow --preset dist`, whenever the source has changed,
# and commit the recipes: the tests fail while they hold another checksum than the release's.
# usage: packaging/update-checksums.sh [DIST_FOLDER]   (default: build/dist)
set -eu
cd "$(dirname "$0")/.."
release=$(find "${1:-build/dist}" -maxdepth 1 -name 'kun2wyt-*.tar.gz' ! -name '*-linux-*' | head -n 1)
[ -n "$release" ] || { echo "no source release in ${1:-build/dist}: make it with cmake --workflow --preset dist" >&2; exit 1; }
version=$(basename "$release" .tar.gz | sed 's/^kun2wyt-//')
sum=$(sha256sum "$release" | cut -d' ' -f1)
sed -i "s/version(\"$version\", sha256=\"[0-9a-f]*\")/version(\"$version\", sha256=\"$sum\")/" packaging/spack/packages/kun2wyt/package.py
sed -i "s/^checksums = \['[0-9a-f]*'\]$/checksums = ['$sum']/" "packaging/easybuild/kun2wyt-$version.eb"
grep -q "$sum" packaging/spack/packages/kun2wyt/package.py && grep -q "$sum" "packaging/easybuild/kun2wyt-$version.eb" ||
    { echo "the recipes hold no version $version to update" >&2; exit 1; }
echo "kun2wyt $version: sha256 $sum"

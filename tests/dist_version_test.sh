#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# What dist left in DIST carries the version that cmake/version.cmake calls this tree, in every
# file name (a wheel's in its PEP 440 spelling), every bill of materials and the man page.
# usage: dist_version_test.sh DIST
set -euo pipefail
dist=$(realpath "$1")
cd "$(dirname "$0")/.."
rule() { cmake -DFIELD="$1" -P cmake/version.cmake; }
version=$(rule version) python_version=$(rule python_version)
echo "this tree: $version"
failed=0
fail() { echo "FAIL $*"; failed=1; }
for name in "kun2wyt_${version}_amd64.deb" "kun2wyt-$version-1.aarch64.rpm" "kun2wyt-$version-linux-x86_64.tar.gz" "kun2wyt-$version.tar.gz"; do
    [[ -f $dist/$name && -f $dist/$name.spdx.json ]] || { fail "no $name with its bill"; continue; }
    grep -q "\"versionInfo\": \"$version\"" "$dist/$name.spdx.json" || fail "$name's bill names another version"
done
for wheel in "$dist/kun2wyt-$python_version-py3-none-"*_{x86_64,aarch64}.whl; do
    [[ -f $wheel && -f $wheel.spdx.json ]] || { fail "no ${wheel##*/} with its bill"; continue; }
    grep -q "\"versionInfo\": \"$python_version\"" "$wheel.spdx.json" || fail "${wheel##*/}'s bill names another version"
done
dpkg-deb --fsys-tarfile "$dist/kun2wyt_${version}_amd64.deb" | tar -xO ./usr/share/man/man1/kun2wyt.1.gz | zcat |
    grep -q "^\.TH KUN2WYT 1 .* \"kun2wyt $version\"" || fail "the man page does not name $version"
((failed == 0)) && echo "dist: every file is $version"
exit "$failed"

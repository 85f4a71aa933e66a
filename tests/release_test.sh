#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's release steps up to the release commit, in a scratch clone: `release.py cut` refuses
# a tree with uncommitted changes, a version that is not after the current one and a date still
# to come; on a clean tree it writes the version where it stands, and the texts then agree on it
# (tests/packaging_test.py). record builds both architectures, minutes of work that CI's dist
# steps already do for this tree, so it is left out here.
# usage: release_test.sh README
set -euo pipefail
readme=$(realpath "$1")
top=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=1; }

section=$(sed -n '/^## Developing/,/^## /p' "$readme")
cut_line=$(grep -m1 '^python3 packaging/release.py cut ' <<<"$section" | sed 's/ *#.*//')
commit_line=$(grep -m1 "^git commit -am 'Release " <<<"$section" | sed 's/ *#.*//')
shown=${cut_line##* }
git clone -q "$top" "$scratch/tree"
cd "$scratch/tree"
git config user.name test && git config user.email test@localhost
grep -q '^## \[Unreleased\]$' CHANGELOG.md || { echo "SKIPPED: this tree is a release"; exit 77; }
old=$(sed -n 's/^    VERSION \(.*\)$/\1/p' CMakeLists.txt)
new=$(awk -F. '{ print $1 "." $2 + 1 ".0" }' <<<"$old")

echo >>README.md
python3 packaging/release.py cut "$new" >/dev/null 2>&1 && fail "cut on a tree with uncommitted changes"
git checkout -q README.md
python3 packaging/release.py cut "$old" >/dev/null 2>&1 && fail "cut of the current version $old"
python3 packaging/release.py cut "$new" --date 2999-01-01 >/dev/null 2>&1 && fail "cut with a date still to come"
[[ -z $(git status --porcelain) ]] || fail "a refused cut changed the tree"

eval "${cut_line//$shown/$new}" || fail "$cut_line"
eval "${commit_line//$shown/$new}" >/dev/null || fail "$commit_line"
today=$(date -u +%F)
grep -q "^## \[$new\] - $today$" CHANGELOG.md || fail "CHANGELOG.md does not date $new"
grep -q "^\.TH KUN2WYT 1 \"$today\" \"kun2wyt $new\"" docs/kun2wyt.1 || fail "the man page does not name $new"
python3 tests/packaging_test.py "$new" >"$scratch/agreement.log" 2>&1 || { cat "$scratch/agreement.log"; fail "the texts disagree on $new"; }
grep -q "Performance" README.md && [[ $(git diff HEAD~1 -- README.md | grep -c '^+[^+]') -gt 0 ]] || fail "README's commands not written"
git diff HEAD~1 -- README.md | grep '^+[^+]' | grep -v -e "kun2wyt[-_/]$new" && fail "cut wrote more than version numbers into README"
((failed == 0)) && echo "release: cut $new refused where it must be, written where it stands"
exit "$failed"

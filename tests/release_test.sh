#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's release steps, in a scratch clone. First, a shallow clone, an exported tree and one
# with changes, each named for what it is. Then CHANGELOG.md's top heading, each row
# committed: the one rule (cmake/version.cmake), dist, the source release and record must all
# call the tree the same, or refuse it with the same words, record before it builds anything.
# Then cut's refusals, each leaving the tree as it was, and a cut that fails half way writing
# nothing. Then README's lines as written: cut, commit, record, commit, open, commit, after which
# the tree is a development version two commits after the release. record builds every
# architecture, minutes of work that CI's dist steps already do: here a `cmake` first on PATH
# answers `cmake --workflow` alone, with files named for the tree's version, and hands every
# other call to the real one.
# usage: release_test.sh RELEASING   (docs/releasing.md)
set -euo pipefail
readme=$(realpath "$1")
top=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=1; }

real=$(command -v cmake)
mkdir "$scratch/bin"
cat >"$scratch/bin/cmake" <<EOF
#!/bin/bash
[[ \$1 == --workflow ]] || exec "$real" "\$@"
echo "\$*" >>"$scratch/built"
version=\${FAKE_VERSION:-\$("$real" -DFIELD=version -P cmake/version.cmake)}
mkdir -p build/dist && cd build/dist && for f in kun2wyt-\$version.tar.gz kun2wyt_\${version}_amd64.deb; do echo "\$f" >"\$f"; done
sha256sum kun2wyt* >SHA256SUMS
EOF
chmod +x "$scratch/bin/cmake"
export PATH="$scratch/bin:$PATH" TZ=UTC

section=$(sed -n '/^## Making a release/,/^## /p' "$readme")
line() { sed 's/ *#.*//' <<<"$section" | grep -m1 "$1"; }
cut_line=$(line '^python3 packaging/release.py cut ') commit_line=$(line "^git commit -am 'Release ")
record_line=$(line '^python3 packaging/release.py record$') recorded_line=$(line "^git add packaging && git commit ")
open_line=$(line '^python3 packaging/release.py open$') opened_line=$(line "^git commit -am 'Open ")
shown=${cut_line##* }
git clone -q "$top" "$scratch/tree"
cd "$scratch/tree"
git config user.name test && git config user.email test@localhost
rule() { cmake -DFIELD="$1" -P cmake/version.cmake; }
# CHANGELOG.md with NEW in place of its top heading (the rule's)
retop() {
    python3 -c 'import json, sys; heading = json.loads(sys.argv[1])["entries"][0]["heading"]
text = open("CHANGELOG.md").read(); open("CHANGELOG.md", "w").write(text.replace(heading, sys.argv[2], 1))' \
        "$(cmake -P cmake/version.cmake)" "$1"
}
# On a release's own commit, the next release is cut from a development tree after it.
if [[ $(rule is_release) == TRUE ]]; then
    top_heading=$(cmake -P cmake/version.cmake | python3 -c 'import json, sys; print(json.load(sys.stdin)["entries"][0]["heading"])')
    retop "## [Unreleased]"$'\n\n'"$top_heading" && git commit -qam "Open a development version"
fi
old=$(rule release) old_date=$(rule date) today=$(date -u +%F) base=$(git rev-parse HEAD)
count='[1-9][0-9]*' # commits since the release, if it is recorded
grep -q "\"version\": \"$old\"" packaging/releases/releases.json || count=unknown
new=$(awk -F. '{ print $1 "." $2 + 1 ".0" }' <<<"$old")
said() { tr -s ' \n' '  ' <"$1"; } # CMake wraps its messages

# Trees that cannot count, or hold changes: each says so, and still configures.
commit=$(git rev-parse --short=7 HEAD)
git clone -q --depth 1 "file://$PWD" "$scratch/shallow"
git archive --prefix=exported/ HEAD | tar -x # inside this work tree, whose history is not its own
echo >>src/main.cpp
while read -r tree answer; do
    [[ $(cmake -DFIELD=version -P "$tree/cmake/version.cmake") == "$answer" ]] ||
        fail "$tree is $(cmake -DFIELD=version -P "$tree/cmake/version.cmake"), not $answer"
done <<EOF
$scratch/shallow $old.unknown.g$commit
exported $old.unknown
. $(rule version | sed 's/\.dirty$//').dirty
EOF
cmake -S exported -B "$scratch/exported" >"$scratch/said" 2>&1 || true
grep -qxF -- "-- kun2wyt $old.unknown" "$scratch/said" || { cat "$scratch/said"; fail "an exported tree does not configure"; }
cmake --preset dist >"$scratch/said" 2>&1 && fail "dist configures a tree with uncommitted changes"
grep -qF "uncommitted changes" "$scratch/said" || { cat "$scratch/said"; fail "dist refuses changes otherwise"; }
git checkout -q src/main.cpp && rm -rf exported build

# heading | what the rule calls the tree, or the start of its refusal
while IFS='|' read -r heading answer; do
    git reset -q --hard "$base" && git clean -qfdx -e build
    retop "$(printf "$heading")" && git commit -q --allow-empty -am "$heading"
    rm -f "$scratch/built"
    if [[ $answer == *' '* ]]; then
        rule version >/dev/null 2>"$scratch/rule" && fail "the rule takes '$heading'"
        grep -qF -- "$answer" <(said "$scratch/rule") || { cat "$scratch/rule"; fail "the rule's refusal of '$heading'"; }
        for tool in "cmake -DSOURCE_DIR=$PWD -DVERSION=x -P cmake/dist.cmake" "sh packaging/source-release.sh $new $scratch/s.tgz" \
            "python3 packaging/release.py record"; do
            $tool >/dev/null 2>"$scratch/said" && fail "$tool takes '$heading'"
            grep -qF -- "$answer" <(said "$scratch/said") || { cat "$scratch/said"; fail "$tool refuses '$heading' otherwise"; }
        done
        [[ ! -e $scratch/built ]] || fail "record built '$heading'"
        continue
    fi
    [[ $(rule version) =~ ^$answer$ ]] || fail "the rule calls '$heading' $(rule version), not $answer"
    version=$(rule version)
    cmake -DSOURCE_DIR="$PWD" -DVERSION=x -P cmake/dist.cmake &>"$scratch/said" || true
    grep -qF -- "the tree is $version now" <(said "$scratch/said") || { cat "$scratch/said"; false; } ||
        fail "dist does not call '$heading' $version"
    sh packaging/source-release.sh "$version" "$scratch/s.tgz" || fail "no source release of $version"
    [[ $(tar --full-time -tvzf "$scratch/s.tgz" | awk 'NR == 1 { print $4 " " $5 }') == "$(date -u -d "@$(rule epoch)" '+%F %T')" ]] ||
        fail "the source release of '$heading' is not of its time"
    if [[ $version == "$new" ]]; then
        FAKE_VERSION=$new.0.gabc1234 python3 packaging/release.py record >/dev/null 2>&1 && fail "record of files named otherwise"
        [[ -z $(git status --porcelain --untracked-files=all) ]] || fail "a record that failed wrote files"
        python3 packaging/release.py record >/dev/null || fail "record of '$heading'"
    else
        python3 packaging/release.py record >/dev/null 2>&1 && fail "record of development version $version"
        [[ ! -e $scratch/built ]] || fail "record built the development version $version"
    fi
done <<EOF
## [Unreleased]|$old\.$count\.g[0-9a-f]{7}
## [$new] - $old_date|$new
## [$new] - 12-09-2026|heads no entry
## [0$new] - $today|heads no entry
## [$new]|heads no entry
## [$new] - 2026-02-30|2026-02-30 is no day of the calendar
## [$new] - 2000-01-01|is dated after 2000-01-01
## [$old] - $today|stands below $old
## [$new] - $today\n\n## [Unreleased]|'## [Unreleased]' stands below another entry
EOF
git reset -q --hard "$base" && git clean -qfdx -e build

# cut's arguments | the start of its refusal; each leaves the tree as it was
while IFS='|' read -r arguments answer; do
    # shellcheck disable=SC2086
    python3 packaging/release.py cut $arguments >/dev/null 2>"$scratch/said" && fail "cut $arguments"
    grep -qF -- "$answer" "$scratch/said" || { cat "$scratch/said"; fail "cut $arguments refused otherwise"; }
    [[ -z $(git status --porcelain) ]] || fail "the refused cut $arguments changed the tree"
done <<EOF
$old|$old is released already
0$new|0$new does not follow $old
$new.0|$new.0 does not follow $old
$(awk -F. '{ print $1 "." $2 + 2 ".0" }' <<<"$old")|does not follow $old: give the next patch, minor or major release
$new --date 2999-01-01|--date 2999-01-01 is still to come
$new --date 2026-1-5|--date 2026-1-5 is no day
$new --date 2026-02-30|--date 2026-02-30 is no day
$new --date 12/08/2026|--date 12/08/2026 is no day
$new --date 2000-01-01|--date 2000-01-01 is before $old_date
EOF
echo >>README.md
python3 packaging/release.py cut "$new" >/dev/null 2>&1 && fail "cut on a tree with uncommitted changes"
git checkout -q README.md
mkdir README.md.new # the last file cut writes cannot be written
python3 packaging/release.py cut "$new" >/dev/null 2>&1 && fail "cut with README.md.new a folder"
rmdir README.md.new
[[ -z $(git status --porcelain --untracked-files=all) ]] || fail "a cut that failed half way left the tree changed"

for step in "${cut_line//$shown/$new}" "${commit_line//$shown/$new}" "$record_line" "${recorded_line//$shown/$new}" \
    "$open_line" "$opened_line"; do
    eval "$step" >/dev/null || fail "$step"
    case $step in
    "git commit -am 'Release "*)
        [[ $(rule version) == "$new" ]] || fail "the release commit builds as $(rule version)"
        grep -q "^\.TH KUN2WYT 1 \"$today\" \"kun2wyt $new\"" docs/kun2wyt.1 || fail "the man page does not name $new"
        python3 packaging/release.py cut "$new" >/dev/null 2>&1 && fail "a second cut of $new"
        git commit -q --allow-empty -m later
        python3 packaging/release.py record >/dev/null 2>&1 && fail "record of a commit after the release's"
        git reset -q --hard HEAD~1 ;;
    "git add packaging "*)
        branch=$(git symbolic-ref --short HEAD)
        for commit in HEAD HEAD~1; do # the record's, and the release's own, which cannot hold its record
            git checkout -q "$commit"
            python3 packaging/release.py record >/dev/null 2>"$scratch/said" && fail "a second record of $new at $commit"
            grep -q "is recorded already" "$scratch/said" || { cat "$scratch/said"; fail "record at $commit refused otherwise"; }
        done
        git checkout -q "$branch"
        grep -qF "version(\"$new\", sha256=\"$(sha256sum build/dist/kun2wyt-"$new".tar.gz | cut -d' ' -f1)\")" \
            packaging/spack/packages/kun2wyt/package.py || fail "the Spack recipe lacks $new" ;;
    "git commit -am 'Open "*)
        python3 packaging/release.py open >/dev/null 2>"$scratch/said" && fail "a second open"
        grep -q "is open already" "$scratch/said" || { cat "$scratch/said"; fail "a second open refused otherwise"; }
        next=$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$new")
        [[ $(grep -cE "^(python3 packaging/release.py cut |git commit -am 'Release |.*'Record release )$next\b" docs/releasing.md) == 3 ]] ||
            fail "the release steps do not cut $next" ;;
    esac
    [[ $step != git* ]] || python3 tests/packaging_test.py "$(rule release)" >"$scratch/agreement.log" 2>&1 ||
        { cat "$scratch/agreement.log"; fail "the texts disagree after: $step"; }
done
[[ $(rule version) == "$new.2.g$(git rev-parse --short=7 HEAD)" ]] || fail "the opened tree is $(rule version)"
[[ -z $(git status --porcelain) ]] || fail "README's steps leave changes uncommitted"
((failed == 0)) && echo "release: each heading called the same everywhere; cut $new, recorded and opened as README says"
exit "$failed"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# In a scratch clone (its origin a scratch bare repository): trees that cannot count or hold
# changes; CHANGELOG.md's top heading, which the rule, dist, the source release and cut call the
# same or refuse alike; each refusal of cut, leaving the clone as it was; cut stopped at each of
# its git commands; verify's refusals; last RELEASING's "Making a release" steps, VERSION filled
# in, a push refused and the steps for that. The builds are CI's dist steps: here a `cmake` first
# on PATH answers `--workflow` alone: it runs $scratch/knobs' DURING (cut gives the builds none of
# its caller's environment), then makes the source release and a package named for the tree's
# version (or the knobs' VERSION); it hands all else to the real one.
# usage: release_test.sh RELEASING
set -euo pipefail
releasing=$(realpath "$1")
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
. "$scratch/knobs" && eval "\${DURING-}"
version=\${VERSION:-\$("$real" -DFIELD=version -P cmake/version.cmake)} source=build/dist/kun2wyt-\$version.tar.gz
mkdir -p build/dist && [[ -e \$source ]] || sh packaging/source-release.sh "\$version" "\$source" || echo >"\$source"
echo "deb \${SOURCE_DATE_EPOCH-}" >"build/dist/kun2wyt_\${version}_amd64.deb" && cd build/dist && sha256sum kun2wyt* >SHA256SUMS
EOF
chmod +x "$scratch/bin/cmake" && : >"$scratch/knobs"
export PATH="$scratch/bin:$PATH" TZ=UTC

# The code blocks under HEADING
block() { sed -n "/^$1/,/^##/p" "$releasing" | sed -n '/^```sh$/,/^```$/p' | grep -v '^```' | sed 's/ *#.*//'; }
steps=$(block "## Making a release") refused_steps=$(block "### If the push is refused")
git clone -q --bare "$top" "$scratch/origin.git"
# A clone whose path is not ASCII, as the steps run in an ASCII locale too
git clone -q "$scratch/origin.git" "$scratch/trée"
cd "$scratch/trée"
git config user.name test && git config user.email test@localhost
git symbolic-ref -q HEAD >/dev/null || git checkout -q -B main # a clone of a detached checkout has no branch
main=$(git symbolic-ref --short HEAD)
rule() { cmake -DFIELD="$1" -P cmake/version.cmake; }
said() { tr -s ' \n' '  ' <"$1"; } # CMake wraps its messages
# CHANGELOG.md with NEW in place of its top heading
retop() {
    python3 -c 'import sys; text = open("CHANGELOG.md").read(); open("CHANGELOG.md", "w").write(text.replace(sys.argv[1], sys.argv[2], 1))' \
        "$(rule entries | head -n 1 | cut -d'|' -f3)" "$1"
}
# The record, with an entry for VERSION at COMMIT (its source release's sha256 SUM, or zeros), as cut writes it
record() {
    python3 -c 'import json, sys; r = json.load(open(sys.argv[1])); r["releases"].append({"version": sys.argv[2], "date": sys.argv[4],
"commit": sys.argv[3], "source_release": ["sh", "packaging/source-release.sh", "{version}", "{out}"], "files": {f"kun2wyt-{sys.argv[2]}.tar.gz": sys.argv[5]}}); open(sys.argv[1], "w").write(json.dumps(r, indent=2) + "\n")' \
        packaging/releases/releases.json "$1" "$2" "$(rule date)" "${3:-$(printf '%064d' 0)}"
}
# What cut may change: the refs, the branch checked out, the status, the tracked files' bytes
state() { git for-each-ref; git rev-parse --symbolic-full-name HEAD; git status --porcelain --untracked-files=all; git ls-files -z | xargs -0 sha256sum; }
# A release's own commit holds no record of itself: the commit after it, as cut writes it, does.
if [[ $(rule is_release) == TRUE ]]; then
    prev=$(python3 -c 'import json; print(json.load(open("packaging/releases/releases.json"))["releases"][-1]["version"])')
    made=$(rule release)
    # its source release as verify rebuilds it, which the steps' last verify compares
    sh packaging/source-release.sh "$made" "$scratch/made.tar.gz" && sum=$(sha256sum <"$scratch/made.tar.gz" | cut -d' ' -f1)
    record "$made" "$(git rev-parse HEAD)" "$sum" && retop "## [Unreleased]"$'\n\n'"$(rule entries | head -n 1 | cut -d'|' -f3)"
    sed "s/^version = .*/version = '$made'/; s/[0-9a-f]\{64\}/$sum/" "packaging/easybuild/kun2wyt-$prev.eb" >"packaging/easybuild/kun2wyt-$made.eb"
    sed -i "s/^    version(\"develop\", .*/&\n    version(\"$made\", sha256=\"$sum\")/" packaging/spack/packages/kun2wyt/package.py
    python3 -c 'import sys; sys.path.insert(0, "packaging"); import release
for path in release.edited(release.ROOT): (release.ROOT / path).write_text(release.moved((release.ROOT / path).read_text(), *sys.argv[1:], True))' \
        "$prev" "$made"
    git add -A && git commit -qm "Record the release; open a development version" && git push -q origin HEAD
fi
sed -i 's/^## \[Unreleased\]$/&\n\n### Fixed\n- A change – in UTF-8./' CHANGELOG.md && git commit -qam "A change"
old=$(rule release) old_date=$(rule date) today=$(date -u +%F) base=$(git rev-parse HEAD)
first=$(python3 -c 'import json; print(json.load(open("packaging/releases/releases.json"))["releases"][0]["version"])')
new=$(awk -F. '{ print $1 "." $2 + 1 ".0" }' <<<"$old")

# tree | what the rule calls it | cut's refusal | verify's
commit=$(git rev-parse --short=7 HEAD)
git clone -q --depth 1 "file://$PWD" "$scratch/shallow"
git archive --prefix=exported/ HEAD | tar -x # inside this work tree, whose history is not its own
echo >>src/main.cpp
while IFS='|' read -r tree answer refusal verified; do
    [[ $(cmake -DFIELD=version -P "$tree/cmake/version.cmake") == "$answer" ]] ||
        fail "$tree is $(cmake -DFIELD=version -P "$tree/cmake/version.cmake"), not $answer"
    python3 "$tree/packaging/release.py" cut "$new" >/dev/null 2>"$scratch/said" && fail "cut in $tree"
    grep -qF -- "$refusal" "$scratch/said" || { cat "$scratch/said"; fail "cut in $tree refused otherwise"; }
    [[ -n $verified ]] || continue
    python3 "$tree/packaging/release.py" verify >/dev/null 2>"$scratch/said" && fail "verify in $tree"
    grep -qF -- "$verified" "$scratch/said" || { cat "$scratch/said"; fail "verify in $tree refused otherwise"; }
done <<EOF
$scratch/shallow|$old.unknown.g$commit|this is a shallow clone|this is a shallow clone
exported|$old.unknown|has no git history of its own|has no git history of its own
.|$(rule version | sed 's/\.dirty$//').dirty|uncommitted changes|
EOF
cmake -S exported -B "$scratch/exported" >"$scratch/said" 2>&1 || true
grep -qxF -- "-- kun2wyt $old.unknown" "$scratch/said" || { cat "$scratch/said"; fail "an exported tree does not configure"; }
cmake --preset dist >"$scratch/said" 2>&1 && fail "dist configures a tree with uncommitted changes"
grep -qF "uncommitted changes" "$scratch/said" || { cat "$scratch/said"; fail "dist refuses changes otherwise"; }
git checkout -q src/main.cpp && rm -rf exported build

# heading | what the rule calls the tree, or the start of its refusal
# shellcheck disable=SC1111 # an item's curly quotes, on purpose
while IFS='|' read -r heading answer; do
    git reset -q --hard "$base"
    retop "$(printf "$heading")" && git commit -q --allow-empty -am "heading: $heading"
    if [[ $answer == *' '* ]]; then
        rule version >/dev/null 2>"$scratch/rule" && fail "the rule takes '$heading'"
        grep -qF -- "$answer" <(said "$scratch/rule") || { cat "$scratch/rule"; fail "the rule's refusal of '$heading'"; }
        for tool in "cmake -DSOURCE_DIR=$PWD -DVERSION=x -P cmake/dist.cmake" "sh packaging/source-release.sh $new $scratch/s.tgz" \
            "python3 packaging/release.py cut $new"; do
            $tool >/dev/null 2>"$scratch/said" && fail "$tool takes '$heading'"
            grep -qF -- "$answer" <(said "$scratch/said") || { cat "$scratch/said"; fail "$tool refuses '$heading' otherwise"; }
        done
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
done <<EOF
## [Unreleased]|$old\.[1-9][0-9]*\.g[0-9a-f]{7}
## [$new] - $old_date|$new
|$old\.[1-9][0-9]*\.g[0-9a-f]{7}
## [$new] - 12-09-2026|heads no entry
## [0$new] - $today|heads no entry
## [$new]|heads no entry
## [$old] - $today|stands below $old
## [$new] - $today\n\n## [Unreleased]|'## [Unreleased]' heads no entry here
## [Unreleased]\n\n- A “## [$new] - $today” quoted.|$old\.[1-9][0-9]*\.g[0-9a-f]{7}
EOF

# The clone as the tests start from: no lock, file or setting of a test's left
restore() {
    rm -f .git/index.lock "$scratch/bin/rpm" && chattr -i README.md && git config user.email test@localhost && : >"$scratch/knobs"
    git checkout -q -f "$main" && git reset -q --hard "$base" && git clean -qfdx
}
# what is done first, and committed | cut's arguments | the start of its refusal; each leaves
# the clone as it was. $extra: variables in cut's environment.
while IFS='|' read -r setup arguments answer; do
    restore && extra=
    git for-each-ref --format='%(refname:short)' refs/heads | grep -vxF "$main" | xargs -r git branch -q -D || true
    eval "$setup" || fail "the setup $setup"
    git add -u 2>/dev/null && git commit -q -m "$setup" >/dev/null || true # what a setup changes of the tracked files
    before=$(state)
    # shellcheck disable=SC2086
    env $extra python3 packaging/release.py cut $arguments >/dev/null 2>"$scratch/said" && fail "cut $arguments after: $setup"
    grep -qF -- "$answer" "$scratch/said" || { cat "$scratch/said"; fail "cut $arguments after '$setup' refused otherwise"; }
    [[ $(state) == "$before" && ! -e build/dist ]] || fail "the refused cut $arguments after '$setup' changed the clone"
done <<EOF
true|$old|$old is recorded already ($main, origin/
true|0$new|0$new does not follow $old
true|$new.0|$new.0 does not follow $old
true|$(awk -F. '{ print $1 "." $2 + 2 ".0" }' <<<"$old")|does not follow $old: give the next patch, minor or major release
true|$new --date 2999-01-01|--date 2999-01-01 is still to come
true|$new --date 2026-1-5|--date 2026-1-5 is no day
true|$new --date 2026-02-30|--date 2026-02-30 is no day
true|$new --date 12/08/2026|--date 12/08/2026 is no day
true|$new --date $(date -u +%Y%m%d)|--date $(date -u +%Y%m%d) is no day
true|$new --date 2000-01-01|--date 2000-01-01 is before $old_date
git checkout -q --detach|$new|no branch is checked out
sed -i '/^## \[Unreleased\]\$/,/^## \[[0-9]/{/^## /!d}' CHANGELOG.md|$new|[Unreleased] entry lists nothing
retop ""|$new|CHANGELOG.md's top entry is '## [$old] - $old_date', a release: put '## [Unreleased]' atop it
retop "## [$new] - $today"|$new|newest release is $new, but this branch's record's newest is $old
retop "## [Unreleased]"\$'\n\n- A fix.\n\n'"## [$new] - $today"|$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$new")|newest release is $new, but this branch's record's newest is $old
python3 -c 'import json; r = json.load(open("packaging/releases/releases.json")); r["releases"].pop(); json.dump(r, open("packaging/releases/releases.json", "w"))'|$new|newest release is $old, but this branch's record's newest is
git checkout -q -b rel && record $new \$(git rev-parse HEAD) && git commit -qam rel && git checkout -q $main|$new|$new is recorded already (rel)
sed -i 's/^    version("develop", /&\n        /' packaging/spack/packages/kun2wyt/package.py|$new|package.py: no line in the form the release edits
sed -i "s/^checksums = \['\(.*\)'\]\$/checksums = [\n    '\1',\n]/" packaging/easybuild/kun2wyt-$old.eb|$new|checksums = ['SHA256'], on one line
git mv packaging/easybuild/kun2wyt-$old.eb packaging/easybuild/kun2wyt-$old-GCCcore-12.2.0.eb|$new|packaging/easybuild/kun2wyt-$old.eb, the newest release's, is missing
echo '{' >packaging/releases/releases.json|$new|releases.json is no record of releases (JSONDecodeError
cp packaging/easybuild/kun2wyt-{$old,$new}.eb|$new|packaging/easybuild/kun2wyt-$new.eb: changed, or untracked where the release adds it
touch .git/index.lock|$new|.git/index.lock: a git command runs in this clone
chattr +i README.md|$new|README.md: cannot be written
git config user.email ''|$new|git has no name or e-mail of yours
extra=GIT_DIR=$scratch/shallow/.git|$new|GIT_DIR in the environment would point git away
sed -i 's/\$/\r/' CHANGELOG.md|$new|CHANGELOG.md has CR line ends, which the release would keep
sed -i '1s/^/\xef\xbb\xbf/' CHANGELOG.md|$new|CHANGELOG.md has a byte-order mark, which
sed -i "s/kun2wyt_${old}_amd64/kun2wyt_1.2.9_amd64/" README.md|$new|README.md:
printf '#!/bin/sh\nexit 1\n' >"$scratch/bin/rpm" && chmod +x "$scratch/bin/rpm"|$new|\`rpm --version\` failed
echo VERSION=$new.0.gabc1234 >"$scratch/knobs"|$new|lists files of another version than $new
EOF
restore

# what is done to the record | verify's arguments | the start of its refusal | what is committed
# first, which the next cut refuses alike
mkdir "$scratch/immutable" && chattr +i "$scratch/immutable"
while IFS='|' read -r edit arguments answer committed; do
    git checkout -q -f "$main" && git reset -q --hard "$base"
    eval "$committed" || fail "the setup $committed"
    python3 -c "import json; r = json.load(open('packaging/releases/releases.json')); $edit; open('$scratch/record.json', 'w').write(json.dumps(r))"
    # shellcheck disable=SC2086
    python3 packaging/release.py verify --record "$scratch/record.json" $arguments >/dev/null 2>"$scratch/said" && fail "verify after $edit $committed"
    grep -qF -- "$answer" "$scratch/said" || { cat "$scratch/said"; fail "verify after '$edit' $committed refused otherwise"; }
    [[ -n $committed ]] || continue
    python3 packaging/release.py cut "$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$(rule release)")" >/dev/null 2>"$scratch/said" &&
        fail "cut after $committed"
    grep -qF -- "$answer" "$scratch/said" || { cat "$scratch/said"; fail "cut after '$committed' refused otherwise"; }
done <<EOF
r["releases"] = []||records no release
del r["releases"][-1]||does not record $old, dated in CHANGELOG.md
r["releases"].append(r["releases"][-1])||records $old more than once
del r["releases"][-1]["source_release"]||is no record of releases (KeyError
r["releases"][-1]["source_release"] = []||is no record of releases (ValueError: the entry of $old has no source_release
r["releases"][-1]["source_release"] = ["{nope}"]||is no record of releases (KeyError: 'nope'
r["releases"][-1]["source_release"] = [1]||is no record of releases (AttributeError
r["releases"][0]["version"] = "$first-rc1"; r["releases"][0]["files"]["kun2wyt-$first-rc1.tar.gz"] = ""||'$first-rc1' is no version
r = 0||is no record of releases (TypeError
pass||release $first: its commit|git reset -q --soft \$(git commit-tree "HEAD^{tree}" -m "the history rewritten")
pass||removes or changes the entry of $first that|python3 -c 'import json; r = json.load(open("packaging/releases/releases.json")); del r["releases"][0]; open("packaging/releases/releases.json", "w").write(json.dumps(r, indent=2) + "\n")' && git commit -qam "$first's entry removed"
pass||a merge, lacks or changes the entry of $new that|python3 packaging/release.py cut $new >/dev/null && cut=\$(git rev-parse HEAD) && git reset -q --hard $base && sed -i 's/^- A change/- Another change/' CHANGELOG.md && git commit -qam another && python3 packaging/release.py cut $new >/dev/null && git merge -q -X ours --no-edit \$cut >/dev/null
pass||'## [$new] - $today', $new's recorded heading, was added or removed in 2 commits|python3 packaging/release.py cut $new >/dev/null && git checkout -q $base && retop "## [$new] - $today" && git commit -qam "$new dated" && git checkout -q $main && git merge -q -s ours --no-edit HEAD@{1} >/dev/null
pass||packaging/spack/packages/kun2wyt/package.py holds $(printf '%064d' 1) (since|sed -i "/\"$old\"/s/[0-9a-f]\{64\}/$(printf '%064d' 1)/" packaging/spack/packages/kun2wyt/package.py && git commit -qam "Spack's $old"
pass||packaging/easybuild/kun2wyt-$old.eb holds $(printf '%064d' 1) (since|sed -i "s/[0-9a-f]\{64\}/$(printf '%064d' 1)/" packaging/easybuild/kun2wyt-$old.eb && git commit -qam "$old's easyconfig"
pass|--keep README.md/x|--keep README.md/x: Not a directory
pass|--keep $scratch/immutable|--keep $scratch/immutable: cannot be written to
r["releases"][0]["files"]["kun2wyt-$first.tar.gz"] = "0" * 64|$first|  $first: kun2wyt-$first.tar.gz
EOF
chattr -i "$scratch/immutable"

# Cut stopped by kill -9, SIGTERM, SIGHUP or SIGINT in turn at each of its git commands, its builds'
# too (a `git` first on PATH counts them, signals cut and fails): the clone is as it was, or its
# branch holds both commits; either way, the next cut leaves the release whole, its files in build/dist.
mkdir "$scratch/stopping" && echo "0 KILL" >"$scratch/stop"
cat >"$scratch/stopping/git" <<EOF
#!/bin/bash
read -r at signal <"$scratch/stop" && calls=\$((\$(<"$scratch/calls") + 1)) && echo \$calls >"$scratch/calls"
((calls != at)) || { kill -\$signal "\$(<"$scratch/pid")"; exit 1; }
exec "$(command -v git)" "\$@"
EOF
chmod +x "$scratch/stopping/git"
stopped_cut() {
    echo "$1" >"$scratch/stop" && echo 0 >"$scratch/calls"
    (PATH=$scratch/stopping:$PATH bash -c 'echo $$ >"$1" && exec python3 packaging/release.py cut "$2"' - "$scratch/pid" "$new" \
        >/dev/null 2>"$scratch/said" || true) 2>/dev/null # no word from bash of the kill
    ! grep -q Traceback "$scratch/said" || { cat "$scratch/said"; fail "cut stopped by $1: a traceback"; }
    flock .git/kun2wyt-cut.lock true # the stopped cut's children have ended
}
moved() { [[ $(git rev-parse HEAD~2) == "$base" && $(git log -2 --format=%s | tr '\n' '|') == "Record release $new; open the next development version|Release $new|" ]]; }
# The clone's own hooks, signing and line ends fail or differ: none of them touches cut's commits.
mkdir "$scratch/hooks" && printf '#!/bin/sh\nexit 1\n' | tee "$scratch/hooks/pre-commit" >"$scratch/hooks/commit-msg"
chmod +x "$scratch/hooks/"* && git config core.hooksPath "$scratch/hooks" && git config commit.gpgSign true &&
    git config gpg.program false && git config core.autocrlf true
restore && stopped_cut "0 KILL" && calls=$(<"$scratch/calls")
signals=(KILL TERM HUP INT)
for ((at = 1; at <= calls; at++)); do
    signal=${signals[at % 4]} && restore && before=$(state)
    stopped_cut "$at $signal"
    [[ $(state) == "$before" ]] || moved || fail "cut stopped by $signal at git command $at: neither as it was nor moved"
    python3 packaging/release.py cut "$new" >/dev/null 2>"$scratch/said" || grep -qF "$new is recorded already" "$scratch/said" ||
        { cat "$scratch/said"; fail "the cut after one stopped by $signal at git command $at"; }
    moved && [[ -z $(git status --porcelain --untracked-files=all) ]] && grep -q "  kun2wyt-$new.tar.gz$" build/dist/SHA256SUMS ||
        fail "after a cut stopped by $signal at git command $at, the next one did not leave $new whole"
done
git config --unset core.hooksPath && git config --unset commit.gpgSign && git config --unset core.autocrlf
# During a cut's builds: a second cut is refused; then a commit on the branch refuses the first. Nothing of either stays.
restore && echo "DURING='python3 $PWD/packaging/release.py cut $new 2>>\"$scratch/second\" && echo made >>\"$scratch/second\"'" >"$scratch/knobs"
python3 packaging/release.py cut "$new" >/dev/null 2>&1 && moved && [[ -z $(git status --porcelain --untracked-files=all) ]] ||
    fail "a cut with a second one during its builds"
[[ $(sort -u "$scratch/second") == "another cut runs in this clone"* ]] || { cat "$scratch/second"; fail "the second cut during the builds"; }
restore && echo "DURING='git -C $PWD commit -q --allow-empty -m Meanwhile && : >\"$scratch/knobs\"'" >"$scratch/knobs"
python3 packaging/release.py cut "$new" >/dev/null 2>"$scratch/said" && fail "a cut whose branch moved during the builds"
grep -qF "$main moved, or another branch was checked out, while cut ran" "$scratch/said" || { cat "$scratch/said"; fail "the moved branch refused otherwise"; }
[[ $(git log -2 --format=%s%P | tr '\n' '|') == "Meanwhile$base|A change"* && -z $(git status --porcelain --untracked-files=all) ]] ||
    fail "a cut whose branch moved left $(git log -2 --format=%s)"
restore

# The steps as docs/releasing.md gives them, with untracked files beside the tracked ones, in an ASCII
# locale, SOURCE_DATE_EPOCH set, while another clone pushes: the push is refused, and the steps for
# that make the release again on top, which verify takes.
git clone -q "$scratch/origin.git" "$scratch/other" && git -C "$scratch/other" commit -q --allow-empty -m Meanwhile &&
    git -C "$scratch/other" push -q
echo draft >docs/draft-notes.md && echo '#error untracked' >src/string_view
export LC_ALL=C LANG=C PYTHONUTF8=0 SOURCE_DATE_EPOCH=1000000000
before=$(state)
while read -r step; do
    step=${step//VERSION/$new}
    eval "$step" >"$scratch/said" 2>&1 || [[ $step == "git push" ]] || { cat "$scratch/said"; fail "$step"; }
    [[ $step != *--dry-run* || $(state) == "$before" ]] || fail "$step changed the clone"
done <<<"$steps"$'\n'"$refused_steps"
unset LC_ALL LANG PYTHONUTF8 SOURCE_DATE_EPOCH
python3 packaging/release.py verify >"$scratch/said" 2>&1 || { cat "$scratch/said"; fail "verify after the steps for a refused push"; }
rm docs/draft-notes.md src/string_view
[[ $(git log -3 --format=%s | tail -n 1) == "A change" && $(git log -4 --format=%s | tail -n 1) == Meanwhile ]] ||
    fail "the release is not on top of what was pushed meanwhile: $(git log -4 --format=%s)"
! tar -tzf "build/dist/kun2wyt-$new.tar.gz" | grep -e draft-notes -e string_view || fail "untracked files in the source release"
! grep -q 1000000000 "build/dist/kun2wyt_${new}_amd64.deb" || fail "the caller's SOURCE_DATE_EPOCH stamped the package"
[[ $(git log -2 --format=%s | tr '\n' '|') == "Record release $new; open the next development version|Release $new|" ]] ||
    fail "the release's commits are $(git log -2 --format=%s)"
[[ $(git -C "$scratch/origin.git" rev-parse "$main") == $(git rev-parse HEAD) ]] || fail "the steps did not push both commits"
git ls-files --error-unmatch "packaging/easybuild/kun2wyt-$new.eb" >/dev/null || fail "the new easyconfig is in no commit"
grep -qF "version(\"$new\", sha256=\"$(sha256sum build/dist/kun2wyt-"$new".tar.gz | cut -d' ' -f1)\")" \
    packaging/spack/packages/kun2wyt/package.py || fail "the Spack recipe lacks $new"
[[ $(python3 -c 'import json; print(json.load(open("packaging/releases/releases.json"))["releases"][-1]["commit"])') == $(git rev-parse HEAD~1) ]] ||
    fail "the record does not name the release commit"
for commit in HEAD HEAD~1; do
    git checkout -q "$commit" # the record's commit is a development version; the release's alone is $new
    [[ $commit == HEAD~1 ]] && expected=$new || expected=$new.1.g$(git rev-parse --short=7 HEAD)
    [[ $(rule version) == "$expected" ]] || fail "$commit builds as $(rule version), not $expected"
    grep -q "^\.TH KUN2WYT 1 \"$today\" \"kun2wyt $new\"" docs/kun2wyt.1 || fail "the man page at $commit does not name $new"
    python3 tests/packaging_test.py "$new" >"$scratch/agreement.log" 2>&1 || { cat "$scratch/agreement.log"; fail "the texts disagree at $commit"; }
done
git checkout -q "$main"
python3 packaging/release.py cut "$new" >/dev/null 2>"$scratch/said" && fail "a second cut of $new"
grep -qF "$new is recorded already" "$scratch/said" || { cat "$scratch/said"; fail "a second cut of $new refused otherwise"; }
[[ -z $(git status --porcelain) ]] || fail "the release steps leave changes uncommitted"
# a branch from the release's own commit, whose record cannot hold it, makes no release after it
git checkout -q -b hotfix HEAD~1 && retop "## [Unreleased]"$'\n\n- A fix.\n\n'"## [$new] - $today" && git commit -qam "A fix"
python3 packaging/release.py cut "$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$new")" >/dev/null 2>"$scratch/said" && fail "a cut on a branch from $new's commit"
grep -qF "newest release is $new, but this branch's record's newest is $old" "$scratch/said" || { cat "$scratch/said"; fail "the hotfix cut refused otherwise"; }
((failed == 0)) && echo "release: each heading called the same everywhere; every refusal changes nothing; $new made as docs/releasing.md says"
exit "$failed"

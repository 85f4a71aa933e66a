#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's EasyBuild commands, run as written from this checkout against the newest release's
# source release, with no network: EasyBuild from the snapshots in the HPC folder, Lmod as its
# modules tool, and the release in a source path of the test's own. The easyconfig must hold the
# release's version and checksum and pass --check-contrib; it must install, with its checksum
# checked and its sanity check, and the module it writes must put the program on PATH and its
# page on MANPATH. Then this tree, as its own source release (TREE_RELEASE, which carries its
# development version): the newest easyconfig, with that version and no checksum to check
# (--try-software-version, --ignore-checksums), must install and load the same way.
# EasyBuild's state, caches and home stay in a scratch folder that is removed at the end.
# usage: easybuild_test.sh SOURCE_RELEASE TREE_RELEASE README
#   HPC folder: $KUN2WYT_HPC, or ../shared/hpc from the project's root. Exits 77, skipped,
#   without it, Lmod or pycodestyle.
set -euo pipefail
release=$(realpath "$1") tree_release=$(realpath "$2") readme=$(realpath "$3")
root=$(cd "$(dirname "$0")/.." && pwd)
hpc=${KUN2WYT_HPC:-$root/../shared/hpc}
framework=$(echo "$hpc"/easybuild-framework-*.tar.gz) easyblocks=$(echo "$hpc"/easybuild-easyblocks-*.tar.gz)
[[ -f $framework && -f $easyblocks ]] || { echo "SKIPPED: no EasyBuild snapshots in $hpc"; exit 77; }
lmod_init=/usr/share/lmod/lmod/init/bash
[[ -f $lmod_init ]] || { echo "SKIPPED: EasyBuild needs Lmod (Debian: lmod)"; exit 77; }
/usr/bin/python3 -c 'import pycodestyle' 2>/dev/null || { echo "SKIPPED: --check-contrib needs python3-pycodestyle"; exit 77; }

section=$(sed -n '/^## On a cluster/,/^## /p' "$readme")
eb_line=$(grep -m1 '^eb packaging/easybuild/' <<<"$section") || { echo "README shows no eb line"; exit 1; }
load_line=$(grep -m1 '^module load kun2wyt/' <<<"$section") || { echo "README shows no module load of EasyBuild's module"; exit 1; }
version=$(basename "$release" .tar.gz)
version=${version#kun2wyt-}
easyconfig="packaging/easybuild/kun2wyt-$version.eb"
[[ $eb_line == "eb $easyconfig" && $load_line == "module load kun2wyt/$version" ]] ||
    { echo "README's lines are not for version $version"; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tar -xzf "$framework" -C "$scratch" && tar -xzf "$easyblocks" -C "$scratch"
export HOME="$scratch/home" PYTHONPATH="$scratch/easybuild-framework:$scratch/easybuild-easyblocks"
export EASYBUILD_PREFIX="$scratch/eb" EASYBUILD_SOURCEPATH="$scratch/sources" EASYBUILD_TMPDIR="$scratch/tmp"
export EASYBUILD_MODULES_TOOL=Lmod EASYBUILD_ALLOW_USE_AS_ROOT_AND_ACCEPT_CONSEQUENCES=1
# shellcheck source=tests/no_network.sh
source "$root/tests/no_network.sh"
mkdir -p "$HOME" "$EASYBUILD_SOURCEPATH/k/kun2wyt" "$EASYBUILD_TMPDIR"
cp "$release" "$tree_release" "$EASYBUILD_SOURCEPATH/k/kun2wyt/"
# shellcheck disable=SC1090
source "$lmod_init"
# EasyBuild's own eb command, with Debian's Python (which has pycodestyle).
export PATH="$scratch/easybuild-framework:$PATH" EB_PYTHON=/usr/bin/python3

failed=0
fail() { echo "FAIL $*"; failed=1; }
sum=$(sha256sum "$release" | cut -d' ' -f1)
grep -q "^checksums = \['$sum'\]$" "$root/$easyconfig" || fail "$easyconfig does not hold the release's checksum $sum"
cd "$root"
eb --check-contrib "$easyconfig" || fail "eb --check-contrib $easyconfig"
echo "+ $eb_line"
eval "$eb_line" || fail "$eb_line"
module use "$EASYBUILD_PREFIX/modules/all"
echo "+ $load_line"
eval "$load_line" || fail "$load_line"
command -v kun2wyt | grep -q "^$EASYBUILD_PREFIX/software/kun2wyt/$version/" || fail "the module does not give the program"
man -w kun2wyt | grep -q "^$EASYBUILD_PREFIX/software/kun2wyt/$version/" || fail "the module does not give the man page"
module unload kun2wyt

tree_version=$(basename "$tree_release" .tar.gz)
tree_version=${tree_version#kun2wyt-}
echo "+ eb $easyconfig --try-software-version=$tree_version --ignore-checksums"
eb "$easyconfig" --try-software-version="$tree_version" --ignore-checksums || fail "eb of this tree, $tree_version"
module load "kun2wyt/$tree_version" || fail "module load kun2wyt/$tree_version"
command -v kun2wyt | grep -q "^$EASYBUILD_PREFIX/software/kun2wyt/$tree_version/" || fail "no program of this tree"
zcat "$(man -w kun2wyt)" | grep -q "^\.TH KUN2WYT 1 .* \"kun2wyt $tree_version\"" || fail "no man page of $tree_version"
((failed == 0)) && echo "easybuild: release $version checked, installed and loaded offline, and this tree as $tree_version"
exit "$failed"

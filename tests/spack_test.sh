#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# README's Spack commands, run as written from this checkout against the newest release's source
# release, then `develop` from this repository's main branch, with no network: Spack from the
# snapshot in the HPC folder, its solver's Python module built from the clingo source there
# (once, into CLINGO_CACHE), its download sources disabled, and the release in a mirror of the
# test's own. The recipe must hold the release's checksum, pass `spack audit packages`, install
# with its install-time check (--test=root), and `spack load` must give the program and its man
# page. develop is cloned from this checkout by a file:// URL, as Spack clones a remote one,
# without editing the recipe: it must carry, as the name of its modulefile, the version that a
# full clone of main builds as. Spack's state, caches and home stay in a scratch folder that is
# removed at the end.
# usage: spack_test.sh SOURCE_RELEASE README
#   HPC folder: $KUN2WYT_HPC, or ../shared/hpc from the project's root; clingo's module is
#   kept in $KUN2WYT_CLINGO_CACHE, or build/clingo. Exits 77, skipped, without them.
set -euo pipefail
release=$(realpath "$1") readme=$(realpath "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
hpc=${KUN2WYT_HPC:-$root/../shared/hpc}
cache=${KUN2WYT_CLINGO_CACHE:-$root/build/clingo}
spack_tgz=$(echo "$hpc"/spack-*.tar.gz) clingo_tgz=$(echo "$hpc"/clingo-*.tar.gz)
[[ -f $spack_tgz && -f $clingo_tgz ]] || { echo "SKIPPED: no Spack and clingo snapshots in $hpc"; exit 77; }
python3=/usr/bin/python3
$python3 -c 'import sysconfig, os, sys; sys.exit(not os.path.exists(sysconfig.get_paths()["include"] + "/Python.h"))' &&
    $python3 -c 'import _cffi_backend' 2>/dev/null ||
    { echo "SKIPPED: building clingo's module needs python3-dev and python3-cffi-backend"; exit 77; }

section=$(sed -n '/^## On a cluster/,/^## /p' "$readme")
lines=$(grep '^spack ' <<<"$section")
[[ $(wc -l <<<"$lines") == 3 ]] || { echo "README shows other than three Spack lines"; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" SPACK_USER_CONFIG_PATH="$scratch/config" SPACK_USER_CACHE_PATH="$scratch/cache"
export SPACK_PYTHON=$python3 PYTHONPATH="$cache/python"
# shellcheck source=tests/no_network.sh
source "$root/tests/no_network.sh"
mkdir -p "$HOME"

# clingo's Python module, once for all the runs that share the cache.
if [[ ! -d $cache/python/clingo ]]; then
    mkdir -p "$cache"
    tar -xzf "$clingo_tgz" -C "$scratch"
    cmake -S "$scratch"/clingo-* -B "$scratch/clingo-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCLINGO_BUILD_WITH_PYTHON=ON -DCLINGO_BUILD_WITH_LUA=OFF -DCLINGO_BUILD_APPS=OFF \
        -DCLINGO_BUILD_SHARED=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
        -DPython_EXECUTABLE=$python3 "-DPYCLINGO_INSTALL_DIR=$cache/python" >/dev/null
    cmake --build "$scratch/clingo-build" >/dev/null
    cmake --install "$scratch/clingo-build" >/dev/null
fi

tar -xzf "$spack_tgz" -C "$scratch"
# shellcheck disable=SC1091
source "$scratch/spack/share/spack/setup-env.sh"
spack config --scope site add "config:build_stage:[$scratch/stage]"
for source in $(spack bootstrap list | sed -n 's/^Name: \([^ ]*\).*/\1/p'); do
    spack bootstrap disable --scope site "$source" >/dev/null
done
spack compiler find --scope site >/dev/null
spack external find --scope site cmake gmake ninja >/dev/null
version=$(basename "$release" .tar.gz)
version=${version#kun2wyt-}
mkdir -p "$scratch/mirror/kun2wyt"
cp "$release" "$scratch/mirror/kun2wyt/"
spack mirror add --scope site local "file://$scratch/mirror"

failed=0
fail() { echo "FAIL $*"; failed=1; }
recipe="$root/packaging/spack/packages/kun2wyt/package.py"
sum=$(sha256sum "$release" | cut -d' ' -f1)
grep -q "version(\"$version\", sha256=\"$sum\")" "$recipe" ||
    fail "the recipe does not hold version $version with the release's checksum $sum"

cd "$root"
while read -r line; do
    [[ $line == "spack install "* ]] && line=${line/spack install/spack install --test=root}
    echo "+ $line"
    eval "$line" || fail "$line"
done <<<"$lines"
command -v kun2wyt | grep -q "^$scratch/spack/opt/" || fail "spack load does not give the program"
man -w kun2wyt | grep -q "^$scratch/spack/opt/" || fail "spack load does not give the man page"
spack audit packages kun2wyt || fail "spack audit packages kun2wyt"
spack unload kun2wyt

spack config --scope site add "packages:kun2wyt:package_attributes:git:'file://$root'" # quoted: a URL holds a colon
echo "+ spack install --test=root kun2wyt@develop (from file://$root)"
spack install --test=root kun2wyt@develop || fail "spack install kun2wyt@develop"
developed=$(spack location -i kun2wyt@develop) || fail "no kun2wyt@develop installed"
# The version main builds as, asked of a full clone of it: a development version counts the
# commits since the newest release, which a shallow clone would not hold.
git clone -q --branch main "file://$root" "$scratch/main"
expected=$(cmake -DFIELD=version -P "$scratch/main/cmake/version.cmake") || true
carried=$(ls "$developed/share/modulefiles/kun2wyt/" 2>/dev/null) || true
[[ -n $expected && $carried == "$expected" ]] || fail "develop carries version '$carried', main builds as '$expected'"
((failed == 0)) && echo "spack: installed, checked, loaded and audited offline"
exit "$failed"

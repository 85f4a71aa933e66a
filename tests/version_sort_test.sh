#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# A development version names the packages, archives and modulefiles built between releases:
# every tool that installs them must take it for newer than the release it follows and older
# than the next patch release, or an upgrade goes backwards and `module load` picks the wrong
# build. Each named tool compares as it does when it installs: dpkg, rpm, Python's packaging
# (on the wheel's spelling), Spack from the snapshot, and the module system by the default
# version it loads. A named tool that is missing fails: the caller names only those it has.
# usage: version_sort_test.sh VERSION NEWEST TOOL...
#   TOOL: dpkg rpm pep440 lmod environment-modules spack; VERSION as the build spells it, NEWEST
#   the release it follows. HPC folder: $KUN2WYT_HPC, or ../shared/hpc from the project's root.
set -euo pipefail
usage() { sed -n 's/^# \(usage: \)/\1/p' "$0" >&2; exit 2; }
version=${1-} newest=${2-}
# Plain words only: they are quoted into Lua below.
[[ $# -ge 3 && $newest =~ ^[0-9]+(\.[0-9]+)*$ && $version =~ ^[0-9A-Za-z.]+$ ]] || usage
shift 2
for tool; do [[ $tool =~ ^(dpkg|rpm|pep440|lmod|environment-modules|spack)$ ]] || usage; done
next=${newest%.*}.$((${newest##*.} + 1))
hpc=${KUN2WYT_HPC:-$(cd "$(dirname "$0")/../.." && pwd)/shared/hpc}
python3=/usr/bin/python3 # Debian's, which has python3-packaging
declare -A init=([lmod]=/usr/share/lmod/lmod/init/bash [environment-modules]=/usr/share/modules/init/bash)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" # so that Python's packaging is never the project's packaging/ folder

# The wheel's spelling: the commit, or the word for a count not known, opens the local label.
python_version() { sed -E 's/\.(g[0-9a-f]+|unknown)(\.|$)/+\1\2/' <<<"$1"; }

# Whether Version from the Python module $1 takes $2 for older than $3.
python_older() { $python3 -c "import sys; from $1 import Version as V; sys.exit(not V(sys.argv[1]) < V(sys.argv[2]))" "$2" "$3" 2>&1 | tail -n 1 >&2; }
# Whether the tool is there; a missing one fails its line.
have() {
    case $1 in
    dpkg | rpm) command -v "$1" >/dev/null ;;
    pep440) PYTHONPATH='' $python3 -c 'import packaging.version' 2>/dev/null ;;
    lmod | environment-modules) [[ -f ${init[$1]} ]] ;;
    spack) tar -xzf "$(echo "$hpc"/spack-*.tar.gz)" spack/lib/spack 2>/dev/null ;;
    esac
}
# Whether the tool $1 takes $2 for older than $3.
older() {
    case $1 in
    dpkg) dpkg --compare-versions "$2" lt "$3" ;;
    rpm) [[ $(rpm --eval "%{lua: print(rpm.vercmp('$2', '$3'))}") == -1 ]] ;;
    pep440) PYTHONPATH='' python_older packaging.version "$(python_version "$2")" "$(python_version "$3")" ;;
    spack) PYTHONPATH=spack/lib/spack:spack/lib/spack/external:spack/lib/spack/external/_vendoring \
        python_older spack.version "$2" "$3" ;;
    lmod | environment-modules) # the default that `module load` picks between the two
        [[ $2 != "$3" ]] || return 1 # one file gives no choice
        local folder=$scratch/$1-$2-$3
        mkdir -p "$folder/kun2wyt"
        for v in "$2" "$3"; do printf '#%%Module\nsetenv KUN2WYT_LOADED %s\n' "$v" >"$folder/kun2wyt/$v"; done
        # shellcheck disable=SC2016 # the inner shell expands them
        [[ $(env -i HOME="$folder" PATH=/usr/bin:/bin bash -c 'source "$1" >/dev/null 2>&1
            module use "$2" && module load kun2wyt && echo "$KUN2WYT_LOADED"' - "${init[$1]}" "$folder") == "$3" ]] ;;
    esac
}

passed=0
for tool; do
    shown=$version
    [[ $tool == pep440 ]] && shown=$(python_version "$version")
    if ! have "$tool"; then
        echo "$tool: FAILED: not installed"
    elif ! older "$tool" "$newest" "$version"; then
        echo "$tool: FAILED: $shown is not newer than $newest"
    elif ! older "$tool" "$version" "$next"; then
        echo "$tool: FAILED: $shown is not older than $next"
    else
        echo "$tool: ok, $newest < $shown < $next"
        passed=$((passed + 1))
    fi
done
echo "$passed passed, $(($# - passed)) failed"
((passed == $#))

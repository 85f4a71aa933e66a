#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# The three packages of one architecture in a dist folder, checked as their distributions and
# users would: each holds exactly the files of the components packaging/metadata.json gives it,
# the .deb passes lintian and installs, runs and goes away with README's apt lines, the RPM
# passes rpmlint but for the two findings explained below and runs, both link the C library
# alone with the distributions' hardening, and the archive passes README's install, run and
# uninstall by an ordinary user (tests/archive_test.sh) with a static program and its notice;
# and each one's bill of materials gives the checksum of the program it holds.
# Needs root (apt installs the .deb).
# usage: package_test.sh ARCH DIST_FOLDER BUILD_FOLDER README     ARCH: x86_64 or aarch64
set -euo pipefail
arch=$1 dist=$(realpath "$2") build=$(realpath "$3") readme=$(realpath "$4")
top=$(cd "$(dirname "$0")/.." && pwd)
# metadata EXPRESSION: EXPRESSION of packaging/metadata.json's facts, m.
metadata() { python3 -c "import json, sys; print(eval(sys.argv[1], {'m': json.load(open('$top/packaging/metadata.json'))}))" "$1"; }
deb_arch=$(metadata "m['architectures']['$arch']")
deb=$(echo "$dist"/kun2wyt_*_"$deb_arch".deb) rpm=$(echo "$dist"/kun2wyt-*."$arch".rpm)
tgz=$(echo "$dist"/kun2wyt-*-linux-"$arch".tar.gz)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
step() { printf '\n==== %s\n' "$*"; }
fail() { echo "FAIL: $*"; exit 1; }

# component_files KIND: the files that the components of KIND install into /usr.
component_files() {
    rm -rf "$scratch/stage"
    for component in $(metadata "' '.join(m['components']['$1'])"); do
        DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr --component "$component" >/dev/null
    done
    (cd "$scratch/stage" && find . ! -type d | sed 's/^\.//' | LC_ALL=C sort)
}
# linked_as_packaged PROGRAM: the C library alone, position-independent and hardened.
linked_as_packaged() {
    local loader="" needed
    [[ $arch == aarch64 ]] && loader=" ld-linux-aarch64.so.1" # where aarch64 keeps the stack guard
    needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | paste -sd ' ')
    [[ $needed == "libc.so.6$loader" ]] || fail "needs $needed, not libc.so.6$loader alone"
    # (grep reads what it is given whole: an early exit would break the pipe under pipefail.)
    grep -q 'Type:.*DYN' <<<"$(readelf -W -h "$1")" || fail "not PIE"
    grep -q GNU_RELRO <<<"$(readelf -W -l "$1")" || fail "no RELRO"
    grep -q BIND_NOW <<<"$(readelf -W -d "$1")" || fail "not bound now"
    grep -q __stack_chk_ <<<"$(readelf -W --dyn-syms "$1")" || fail "no stack protector"
}
# billed PACKAGE PROGRAM: PACKAGE's bill gives PROGRAM's checksum, PROGRAM unpacked from it.
billed() {
    local sum
    sum=$(python3 -c 'import json, sys
packages = json.load(open(sys.argv[1]))["packages"]
print(*[p["checksums"][0]["checksumValue"] for p in packages if p["SPDXID"] == "SPDXRef-Package-kun2wyt"])' "$1.spdx.json")
    [[ $sum == "$(sha256sum <"$2" | cut -d' ' -f1)" ]] || fail "${1##*/}'s bill gives another checksum of the program: $sum"
}
converts() { (cd "$scratch" && rm -f out.wyt && "$1" "$top/examples/run1.kun" -o out.wyt && test -f out.wyt && test ! -s out.wyt); }

step "$deb_arch Debian package: lintian, contents, linking, hardening, README's install, run and removal"
lintian --pedantic --fail-on error,warning,pedantic "$deb"
diff <(component_files DEB) <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }' | LC_ALL=C sort) ||
    fail "the .deb does not hold exactly its components' files"
mkdir "$scratch/deb" && dpkg-deb -x "$deb" "$scratch/deb"
linked_as_packaged "$scratch/deb/usr/bin/kun2wyt"
billed "$deb" "$scratch/deb/usr/bin/kun2wyt"
grep -q '^libc6 (>= ' <<<"$(dpkg-deb -f "$deb" Depends)" || fail "Depends not computed"
# README's install and remove lines, as written; as root already, answering apt's question.
apt_install=$(grep -m1 '^sudo apt install ./' "$readme" | sed 's/ *#.*//')
apt_remove=$(grep -m1 '^sudo apt install ./' "$readme" | sed 's/.*# remove: //')
sudo() { if [[ $1 == apt ]]; then apt -y -q "${@:2}"; else "$@"; fi; }
apt_install=$(sed -E "s/_[^_ ]+_amd64\.deb/_${deb##*/kun2wyt_}/" <<<"$apt_install")
(cd "$dist" && eval "$apt_install")
converts kun2wyt
man -w kun2wyt
eval "$apt_remove"
hash -r
if command -v kun2wyt; then fail "kun2wyt is still there after the removal"; fi

step "$arch RPM: rpmlint, contents, linking, and the program run from it"
grep -q "^sudo dnf install ./kun2wyt-.*-1\.x86_64\.rpm " "$readme" || fail "README installs no RPM"
# no-signature: signing needs the maintainers' key, which no build machine holds.
# no-manual-page-for-binary: rpmlint 2.4 records man pages by section instead of by name, so
# it says this of every program; the page is there, as the listing shows.
lint=$(rpmlint -c "$top/packaging/rpmlint.toml" "$rpm" 2>&1) || true
echo "$lint"
grep -E '^kun2wyt\.[^ ]+: [EW]: ' <<<"$lint" | grep -v -E ': (E: no-signature|W: no-manual-page-for-binary kun2wyt)$' &&
    fail "rpmlint found more than the two findings explained above"
# (rpmbuild adds the program's build-id link under /usr/lib/.build-id of its own.)
diff <(component_files RPM) <(rpm -qp --queryformat '[%{FILEMODES:perms} %{FILENAMES}\n]' "$rpm" |
    awk '$1 !~ /^d/ && $2 !~ /^\/usr\/lib\/\.build-id\// { print $2 }' | LC_ALL=C sort) ||
    fail "the RPM does not hold exactly its components' files"
rpm -qp --queryformat '%{ARCH} %{LICENSE} %{URL}\n' "$rpm"
[[ $(rpm -qp --queryformat '%{ARCH}' "$rpm") == "$arch" ]] || fail "the RPM is not for $arch"
[[ $(rpm -qp --queryformat '%{LICENSE} %{URL}' "$rpm") == "$(metadata "m['licence'] + ' ' + m['homepage']")" ]] ||
    fail "the RPM names another licence or homepage than packaging/metadata.json"
grep -q '^libc.so.6(GLIBC_' <<<"$(rpm -qRp "$rpm")" || fail "requires not computed"
mkdir "$scratch/rpm" && (cd "$scratch/rpm" && rpm2cpio "$rpm" | cpio -idm --quiet)
linked_as_packaged "$scratch/rpm/usr/bin/kun2wyt"
billed "$rpm" "$scratch/rpm/usr/bin/kun2wyt"
converts "$scratch/rpm/usr/bin/kun2wyt"

step "$arch portable archive: README's install, run and uninstall, by an ordinary user with a ~/.local of links"
bash "$top/tests/archive_test.sh" "$tgz" "$readme"
listing=$(tar -tzf "$tgz")
grep -q '/share/doc/kun2wyt/third-party/NOTICE$' <<<"$listing" || fail "the archive has no notice"
if grep -q LGPL <<<"$listing"; then fail "the archive carries an LGPL text, which nothing in it is under"; fi
mkdir "$scratch/tgz" && tar -xzf "$tgz" -C "$scratch/tgz"
if grep -q -e INTERP -e NEEDED <<<"$(readelf -W -l -d "$scratch"/tgz/*/bin/kun2wyt)"; then
    fail "the archive's program is not static"
fi
billed "$tgz" "$scratch"/tgz/*/bin/kun2wyt
echo "$arch: all three packages checked"

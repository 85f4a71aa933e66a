#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""Writes every text the packages carry or come with that is made rather than written by hand,
from the project's own data: packaging/metadata.json, CHANGELOG.md, the licence, and what the
build and Debian's package database say. CMake calls it.

  generate.py docs OUT VERSION ENTRY...
      OUT/changelog.gz (Debian's format), OUT/rpm-changelog, OUT/copyright (DEP-5), for
      VERSION: a development version gets an entry of its own, dated SOURCE_DATE_EPOCH. Each
      ENTRY is cmake/version.cmake's VERSION|DATE|HEADING of one of CHANGELOG.md's headings.
  generate.py archive TREE TOP COMPILER
      in the unpacked archive TREE/TOP: share/doc/kun2wyt/third-party (the notice of what its
      static program holds, with the licences) and share/doc/kun2wyt/files (what the
      uninstall removes); TREE/archive.list, the members for tar
  generate.py wheel TREE TOP PYTHON_VERSION WORK
      WORK/kun2wyt-PYTHON_VERSION-py3-none-PLATFORMS.whl, the wheel of the unpacked archive
      TREE/TOP: its program, man page, completions, example and notices; times from
      SOURCE_DATE_EPOCH
  generate.py dist WORK OUT VERSION PYTHON_VERSION ARCH COMPILER
      the bill of materials of each package in WORK (PACKAGE.spdx.json, SPDX 2.3), the packages
      and their bills copied into OUT, and OUT/SHA256SUMS over all there; times from
      SOURCE_DATE_EPOCH
"""
import base64
import datetime
import hashlib
import io
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tarfile
import time
import urllib.parse
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
META = json.loads((ROOT / "packaging/metadata.json").read_text())


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip()


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def wrap(text, width, first, rest):
    """TEXT's words in lines of at most WIDTH columns, the first after FIRST, the others after
    REST."""
    words = text.split()
    lines = [first + words[0]]
    for word in words[1:]:
        if len(lines[-1] + " " + word) > width:
            lines.append(rest + word)
        else:
            lines[-1] += " " + word
    return "".join(line + "\n" for line in lines)


def changelogs(text, headings, maintainer, version, date):
    """The changelog in Debian's format and in RPM's, from CHANGELOG.md's TEXT and HEADINGS (the
    rule's VERSION|DATE|HEADING of each), for VERSION: a development version that CHANGELOG.md
    does not date gets an entry of its own on DATE, with what [Unreleased] lists."""
    heads = {}
    for entry in headings:
        name, day, heading = entry.split("|", 2)
        try:
            heads[heading] = (name or None, datetime.date.fromisoformat(day) if day else None)
        except ValueError:
            sys.exit(f"CHANGELOG.md: '{heading}': {day} is no day of the calendar")
    # CHANGELOG.md's entries, newest first: (version, date, ["Section: item", ...]), [Unreleased]'s
    # as (None, None, items).
    entries, section, item = [], "", None
    for line in text.splitlines() + [""]:
        more = re.fullmatch(r"  +(.+)", line)
        if more and item is not None:
            item += " " + more[1]
            continue
        if item is not None:
            entries[-1][2].append(f"{section}: {item}")
            item = None
        if line in heads:
            entries.append((*heads[line], []))
        elif line.startswith("### "):
            section = line[4:]
        elif line.startswith("- ") and entries:
            item = line[2:]
    releases = [entry for entry in entries if entry[0]]
    if version not in [entry[0] for entry in releases]:
        unreleased = [items for name, _, items in entries if name is None]
        items = unreleased[0] if unreleased and unreleased[0] else [f"Development version {version}."]
        releases.insert(0, (version, date, items))
    # Debian orders a changelog by time: releases of one day get an hour each, the oldest 00.
    hours, previous = {}, None
    for version, date, _ in reversed(releases):
        hours[version] = hours[previous[0]] + 1 if previous and previous[1] == date else 0
        previous = (version, date)
    debian = rpm = ""
    for version, date, items in releases:
        debian += f"{META['name']} ({version}) unstable; urgency=medium\n\n"
        rpm += f"* {date:%a %b %d %Y} {maintainer} - {version}-1\n"
        for item in items:
            debian += wrap(item, 80, "  * ", "    ")
            rpm += wrap(item, 80, "- ", "  ")
        debian += f"\n -- {maintainer}  {date:%a, %d %b %Y} {hours[version]:02}:00:00 +0000\n\n"
        rpm += "\n"
    return debian.strip() + "\n", rpm.strip() + "\n"


def docs(out, version, *headings):
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    maintainer = META["maintainer"]
    built = datetime.datetime.fromtimestamp(int(os.environ.get("SOURCE_DATE_EPOCH", time.time())), datetime.timezone.utc)
    debian, rpm = changelogs((ROOT / "CHANGELOG.md").read_text(), headings, maintainer, version,
                             built.date())
    # Debian keeps changelogs compressed; -n leaves out the name and time.
    (out / "changelog").write_text(debian)
    run("gzip", "-9", "-n", "-f", str(out / "changelog"))
    (out / "rpm-changelog").write_text(rpm)
    # The licence, its title and copyright lines apart, as a DEP-5 License paragraph.
    kept = [l for l in (ROOT / META["licence_file"]).read_text().splitlines()
            if not l.startswith("Copyright") and l != "MIT License"]
    paragraphs = [" ".join(p.split()) for p in "\n".join(kept).split("\n\n") if p.strip()]
    licence = " .\n".join(wrap(p, 79, " ", " ") for p in paragraphs)
    (out / "copyright").write_text(
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
        f"Upstream-Name: {META['name']}\nUpstream-Contact: {maintainer}\nSource: {META['homepage']}\n\n"
        f"Files: *\nCopyright: 2026 {META['authors']}\nLicense: {META['licence']}\n\n"
        f"License: {META['licence']}\n{licence}")


def debian_origin(path):
    """The Debian package that installed PATH, and the source package that holds its code: the
    package's Built-Using where it has one (a cross toolchain's package is built from another's
    source), its Source otherwise."""
    package = run("dpkg-query", "--search", os.path.realpath(path)).split(": ")[0]
    fields = run("dpkg-query", "--show", "--showformat=${Package}|${Version}|${Architecture}|"
                 "${source:Package}|${source:Version}|${Built-Using}", package).split("|")
    found = dict(zip(["package", "version", "arch", "source", "source_version"], fields))
    found["origin"] = f"{found['source']} {found['source_version']}"
    built_from = re.match(r"([^ ,]+) \(= ([^)]+)\)", fields[5])
    if built_from:
        found["origin"] += f", built from {built_from[1]} {built_from[2]}"
        found["source"], found["source_version"] = built_from.groups()
    return found


def static_libraries(arch, compiler):
    """musl, the C library, and GCC's run-time library and start files, from the packages that
    the musl toolchain file links them from."""
    musl = debian_origin(f"/usr/lib/{arch}-linux-musl/libc.a")
    gcc = debian_origin(run(compiler, "-print-libgcc-file-name"))
    musl["upstream"] = re.sub(r"-[^-]*$", "", musl["version"])
    gcc["upstream"] = run(compiler, "-dumpfullversion")
    return musl, gcc


NOTICE = """\
bin/kun2wyt is kun2wyt {version} (MIT licence: ../LICENSE), linked statically with:

- musl {musl[upstream]}, the C library.
  Debian package:        {musl[package]} {musl[version]} ({musl[arch]})
  Debian source package: {musl[origin]}
  It is under the MIT licence, with some parts in the public domain, as musl.copyright says.

- GCC's run-time library (libgcc) and start files, {gcc[upstream]}.
  Debian package:        {gcc[package]} {gcc[version]} ({gcc[arch]})
  Debian source package: {gcc[origin]}
  They are under the GNU General Public License, version 3 or later (GPL-3 here), with the GCC
  Runtime Library Exception 3.1 (GCC-exception-3.1 here), which lets a program that a compiler
  has linked with them be conveyed under terms of its own choosing.

Nothing else is linked in: no part of the C++ run-time library, and nothing under the GNU Lesser
General Public License. The source of both libraries, as they were built, is Debian's source
packages named above (apt-get source {musl[source]}={musl[source_version]} {gcc[source]}={gcc[source_version]} on a Debian
system with deb-src entries, or from Debian's archive of past packages). kun2wyt's own source,
of this version as of every other, is at {homepage}.
"""


def archive(tree, top, compiler):
    _, version, _, arch = top.split("-", 3)  # kun2wyt-VERSION-linux-ARCH
    root = Path(tree) / top
    doc = root / "share/doc/kun2wyt"
    third = doc / "third-party"
    third.mkdir(parents=True, exist_ok=True)
    musl, gcc = static_libraries(arch, compiler)
    shutil.copyfile(f"/usr/share/doc/{musl['package']}/copyright", third / "musl.copyright")
    shutil.copyfile("/usr/share/common-licenses/GPL-3", third / "GPL-3")
    # The exception's text, as GCC's Debian copyright file holds it.
    found = re.search(r"GCC RUNTIME LIBRARY EXCEPTION.*?requirements of the license of GCC\.\n",
                      Path(f"/usr/share/doc/{gcc['package']}/copyright").read_text(), re.S)
    if not found:
        sys.exit(f"no GCC Runtime Library Exception in {gcc['package']}'s copyright file")
    (third / "GCC-exception-3.1").write_text(found[0])
    (third / "NOTICE").write_text(NOTICE.format(version=version, musl=musl, gcc=gcc, homepage=META["homepage"]))
    # The uninstall's list: every file, then every folder, which it removes once empty (an
    # unpacked archive cannot tell which folders were there before).
    (doc / "files").touch()
    files = sorted(str(p.relative_to(root)) for p in root.rglob("*") if not p.is_dir() or p.is_symlink())
    folders = sorted({str(parent) + "/" for f in files for parent in Path(f).parents if str(parent) != "."})
    (doc / "files").write_text("\n".join(files) + "\n" + "\n".join(folders) + "\n")
    (Path(tree) / "archive.list").write_text("".join(f"{top}/{f}\n" for f in files))


# The platforms each architecture's wheel claims. Its program is the archive's, static on musl:
# it needs no C library of the system's, so it claims every glibc Linux that pip knows
# (manylinux2014, from pip 19.3 on) and every musl one (musllinux_1_1, the first such tag). On
# x86-64 it also claims manylinux1 (glibc 2.5), which pip has taken since 8.1, and the only one
# of these that older pips, such as RHEL 8's own pip 9, take. aarch64 has no manylinux tag
# before manylinux2014.
WHEEL_PLATFORMS = {"x86_64": ["manylinux_2_5", "manylinux1", "manylinux_2_17", "manylinux2014", "musllinux_1_1"],
                   "aarch64": ["manylinux_2_17", "manylinux2014", "musllinux_1_1"]}
# What the wheel takes from the archive, besides the program: each where the archive has it, so
# that pip installs it where the archive's unpacking puts it in the same prefix (~/.local).
WHEEL_DATA = ["share/man/man1/kun2wyt.1.gz", "share/bash-completion/completions/kun2wyt",
              "share/zsh/site-functions/_kun2wyt", "share/fish/vendor_completions.d/kun2wyt.fish",
              "share/doc/kun2wyt/LICENSE", "share/doc/kun2wyt/converting-many-files.md",
              "share/doc/kun2wyt/examples/*", "share/doc/kun2wyt/third-party/*"]
ZIP_EPOCH = 315532800  # 1980-01-01T00:00:00Z: the first time a zip entry can hold


def wheel_stem(python_version):
    """The wheel's name and version as its file name and folders spell them: normalised PEP 440
    versions hold no '-', the file name's separator, so only the name could need escaping."""
    return f"{re.sub(r'[-_.]+', '_', META['name'])}-{python_version.replace('-', '_')}"


def wheel_name(python_version, arch):
    platforms = ".".join(f"{platform}_{arch}" for platform in WHEEL_PLATFORMS[arch])
    return f"{wheel_stem(python_version)}-py3-none-{platforms}.whl"


def wheel(tree, top, python_version, work):
    _, _, _, arch = top.split("-", 3)  # kun2wyt-VERSION-linux-ARCH
    root = Path(tree) / top
    stem = wheel_stem(python_version)
    data, info = f"{stem}.data", f"{stem}.dist-info"
    # pip puts .data/scripts into the environment's bin as they are: the program itself, on PATH,
    # with no Python launcher in front of it to start first.
    members = [(f"{data}/scripts/kun2wyt", (root / "bin/kun2wyt").read_bytes(), 0o755)]
    for pattern in WHEEL_DATA:
        found = sorted(root.glob(pattern))
        if not found:
            sys.exit(f"the archive has no {pattern} for the wheel")
        members += [(f"{data}/data/{p.relative_to(root)}", p.read_bytes(), 0o644) for p in found]
    # METADATA, core metadata 2.1, with README as the long description. The licence file lies
    # beside it in .dist-info, unnamed: License-File came with 2.4.
    homepage = META["homepage"]
    fields = [("Metadata-Version", "2.1"), ("Name", META["name"]), ("Version", python_version),
              ("Summary", META["summary"]), ("Home-page", homepage), ("Author", META["authors"]),
              ("Maintainer-email", META["maintainer"]), ("License", META["licence"]),
              *[("Classifier", c) for c in META["classifiers"]],
              ("Project-URL", f"Homepage, {homepage}"), ("Project-URL", f"Issues, {homepage}/issues"),
              ("Description-Content-Type", "text/markdown")]
    metadata = "".join(f"{key}: {value}\n" for key, value in fields) + "\n" + (ROOT / "README.md").read_text()
    tags = "".join(f"Tag: py3-none-{platform}_{arch}\n" for platform in WHEEL_PLATFORMS[arch])
    members += [(f"{info}/METADATA", metadata.encode(), 0o644),
                (f"{info}/WHEEL", f"Wheel-Version: 1.0\nGenerator: kun2wyt packaging/generate.py\n"
                                  f"Root-Is-Purelib: false\n{tags}".encode(), 0o644),
                (f"{info}/LICENSE", (ROOT / META["licence_file"]).read_bytes(), 0o644)]
    record = "".join(f"{name},sha256={base64.urlsafe_b64encode(hashlib.sha256(content).digest()).rstrip(b'=').decode()},"
                     f"{len(content)}\n" for name, content, _ in members)
    members.append((f"{info}/RECORD", f"{record}{info}/RECORD,,\n".encode(), 0o644))
    # The same bytes from every builder: the members in this order, each stored (compressed
    # bytes would be those of the zlib that wrote them), with the release's or the commit's time
    # in UTC, fixed modes as regular files, and no folder entries.
    when = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), ZIP_EPOCH))[:6]
    with zipfile.ZipFile(Path(work) / wheel_name(python_version, arch), "w") as whl:
        for name, content, mode in members:
            member = zipfile.ZipInfo(name, when)
            member.compress_type = zipfile.ZIP_STORED
            member.create_system = 3  # Unix, whose mode bits external_attr carries
            member.external_attr = (stat.S_IFREG | mode) << 16
            whl.writestr(member, content)


def purl(locator):
    return [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl", "referenceLocator": locator}]


def ours(spdx_id, version, sum_, locator, **more):
    return {"SPDXID": spdx_id, "name": META["name"], "versionInfo": version, **more,
            "supplier": f"Organization: {META['authors']}", "downloadLocation": "NOASSERTION",
            "homepage": META["homepage"], "filesAnalyzed": False,
            "checksums": [{"algorithm": "SHA256", "checksumValue": sum_}], "licenseConcluded": "NOASSERTION",
            "licenseDeclared": META["licence"], "copyrightText": f"Copyright (c) 2026 {META['authors']}",
            "externalRefs": purl(locator)}


def library(name, version, supplier, locator, licence, source, comment):
    package = {"SPDXID": f"SPDXRef-Package-{name}", "name": name} | ({"versionInfo": version} if version else {})
    return package | {"supplier": supplier, "downloadLocation": "NOASSERTION", "sourceInfo": source,
                      "filesAnalyzed": False, "licenseConcluded": "NOASSERTION", "licenseDeclared": licence,
                      "copyrightText": "NOASSERTION", "comment": comment, "externalRefs": purl(locator)}


def debian_library(name, found, licence, comment):
    locator = f"pkg:deb/debian/{found['package']}@{found['version'].replace('+', '%2B')}?arch={found['arch']}"
    return library(name, found["version"], "Organization: Debian", locator, licence,
                   f"Debian source package {found['origin']}", comment)


def glibc(comment):
    return library("glibc", "", "Organization: The GNU C Library project", "pkg:generic/glibc", "LGPL-2.1-or-later",
                   "the system's own", f"the system's C library, which the package {comment}")


def bill(package, version, locator, program=None, path=None, link=None, libraries=(), program_version=None):
    """PACKAGE's bill of materials, beside it: the package, the program in it at PATH, and the
    libraries the program holds (STATIC_LINK) or needs (DYNAMIC_LINK). Its namespace comes from
    the package's checksum, so the same package always gets the same document. The program is
    of the package's VERSION, or of PROGRAM_VERSION where the package spells it otherwise (a
    wheel its Python spelling), so that the same program has the same purl in every bill."""
    name, package_sum = os.path.basename(package), sha256(package)
    created = datetime.datetime.fromtimestamp(int(os.environ["SOURCE_DATE_EPOCH"]), datetime.timezone.utc)
    purpose = {"primaryPackagePurpose": "SOURCE"} if program is None else {}
    doc = {
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT", "name": name,
        "documentNamespace": f"{META['homepage']}/spdx/{name}-{package_sum}",
        "creationInfo": {"created": f"{created:%Y-%m-%dT%H:%M:%SZ}",
                         "creators": [f"Organization: {META['authors']}", "Tool: kun2wyt packaging/generate.py"]},
        "documentDescribes": ["SPDXRef-Package-file"],
        "packages": [ours("SPDXRef-Package-file", version, package_sum, locator, packageFileName=name, **purpose)],
        "relationships": [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                           "relatedSpdxElement": "SPDXRef-Package-file"}],
    }
    if program is not None:
        program_sum, program_version = hashlib.sha256(program).hexdigest(), program_version or version
        doc["packages"] += [
            ours("SPDXRef-Package-kun2wyt", program_version, program_sum,
                 f"pkg:generic/kun2wyt@{program_version}?checksum=sha256:{program_sum}",
                 primaryPackagePurpose="APPLICATION") | {"comment": f"the program, {path} in the package"},
            *libraries]
        doc["relationships"] += [
            {"spdxElementId": "SPDXRef-Package-file", "relationshipType": "CONTAINS",
             "relatedSpdxElement": "SPDXRef-Package-kun2wyt"},
            *({"spdxElementId": "SPDXRef-Package-kun2wyt", "relationshipType": link,
               "relatedSpdxElement": p["SPDXID"]} for p in libraries)]
    Path(f"{package}.spdx.json").write_text(json.dumps(doc, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")


def packed_program(package):
    """The bytes of the program as PACKAGE holds it, and its path there."""
    if package.endswith(".deb"):
        tar = subprocess.run(["dpkg-deb", "--fsys-tarfile", package], capture_output=True, check=True).stdout
        return tarfile.open(fileobj=io.BytesIO(tar)).extractfile("./usr/bin/kun2wyt").read(), "usr/bin/kun2wyt"
    if package.endswith(".rpm"):
        cpio = subprocess.run(f"rpm2cpio '{package}' | cpio -i --quiet --to-stdout ./usr/bin/kun2wyt",
                              shell=True, capture_output=True, check=True)
        return cpio.stdout, "usr/bin/kun2wyt"
    if package.endswith(".whl"):
        with zipfile.ZipFile(package) as whl:
            path = next(m for m in whl.namelist() if m.endswith(".data/scripts/kun2wyt"))
            return whl.read(path), path
    with tarfile.open(package) as archive:
        path = next(m for m in archive.getnames() if m.endswith("/bin/kun2wyt"))
        return archive.extractfile(path).read(), path


def dist(work, out, version, python_version, arch, compiler):
    deb_arch = META["architectures"][arch]
    deb, rpm = f"{work}/kun2wyt_{version}_{deb_arch}.deb", f"{work}/kun2wyt-{version}-1.{arch}.rpm"
    tgz, source = f"{work}/kun2wyt-{version}-linux-{arch}.tar.gz", f"{work}/kun2wyt-{version}.tar.gz"
    whl = f"{work}/{wheel_name(python_version, arch)}"
    made = [deb, rpm, tgz, whl, source]
    for package in made:
        if not os.path.exists(package):
            sys.exit(f"{os.path.basename(package)} was not made")
    depends = run("dpkg-deb", "-f", deb, "Depends")
    newest = max(re.findall(r"GLIBC_([0-9.]+)", run("rpm", "-qRp", rpm)), key=lambda v: [int(n) for n in v.split(".")])
    bill(deb, version, f"pkg:deb/kun2wyt/kun2wyt@{version}?arch={deb_arch}", *packed_program(deb), "DYNAMIC_LINK",
         [glibc(f"depends on: {depends}")])
    bill(rpm, version, f"pkg:rpm/kun2wyt/kun2wyt@{version}-1?arch={arch}", *packed_program(rpm), "DYNAMIC_LINK",
         [glibc(f"requires: libc.so.6(GLIBC_{newest})")])
    musl, gcc = static_libraries(arch, compiler)
    static = [debian_library("musl", musl, "MIT", "the C library, in the program"),
              debian_library("libgcc", gcc, "GPL-3.0-or-later WITH GCC-exception-3.1",
                             "GCC's run-time library and start files, in the program")]
    bill(tgz, version, f"pkg:generic/kun2wyt@{version}?checksum=sha256:{sha256(tgz)}", *packed_program(tgz),
         "STATIC_LINK", static)
    quoted = urllib.parse.quote
    bill(whl, python_version, f"pkg:pypi/kun2wyt@{quoted(python_version)}?file_name={quoted(os.path.basename(whl))}",
         *packed_program(whl), "STATIC_LINK", static, program_version=version)
    bill(source, version, f"pkg:generic/kun2wyt@{version}?checksum=sha256:{sha256(source)}")
    # In place of this machine's earlier packages, and of any source release.
    mine = rf"kun2wyt(_.*_{deb_arch}\.deb|-.*\.{arch}\.rpm|-.*-linux-{arch}\.tar\.gz|-.*-py3-none-.*_{arch}\.whl|-[^-]+\.tar\.gz)(\.spdx\.json)?"
    for earlier in Path(out).iterdir():
        if re.fullmatch(mine, earlier.name):
            earlier.unlink()
    for package in made:
        shutil.copyfile(package, Path(out) / os.path.basename(package))
        shutil.copyfile(f"{package}.spdx.json", Path(out) / f"{os.path.basename(package)}.spdx.json")
    names = sorted(p.name for p in Path(out).iterdir() if re.search(r"\.(deb|rpm|tar\.gz|whl)(\.spdx\.json)?$", p.name))
    sums = "".join(f"{sha256(Path(out) / name)}  {name}\n" for name in names)
    (Path(out) / "SHA256SUMS").write_text(sums)
    print(f"SOURCE_DATE_EPOCH={os.environ['SOURCE_DATE_EPOCH']}\n{sums}", end="")


if __name__ == "__main__":
    wanted, given = {"docs": 2, "archive": 3, "wheel": 4, "dist": 6}, sys.argv[2:]
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command not in wanted or len(given) < wanted[command] or (command != "docs" and len(given) > wanted[command]):
        sys.exit(__doc__)
    globals()[command](*given)

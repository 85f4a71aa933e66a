#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""kun2wyt's releases, as packaging/releases/releases.json records them: for each, its version,
date and commit, the sha256 of each of its files, and the tools that built them. A release is
written there once and never changed; its files are what its own commit's scripts build.

  release.py cut VERSION [--date YYYY-MM-DD]
      on a clean development tree: writes VERSION where it stands (CMakeLists.txt, CHANGELOG.md's
      [Unreleased] heading with the date, the man page, README's command lines). Commit that:
      it is the release.
  release.py record
      on a clean tree at that commit: builds both architectures' packages and the source
      release, and writes their sha256s and the tools into the record, a version() line into
      the Spack package and a new easyconfig. Commit that: it changes no release's bytes. Then
      open the next development version with '## [Unreleased]' atop CHANGELOG.md.
  release.py verify [--packages] [--keep FOLDER] [VERSION...]
      rebuilds the source release of each recorded release (or those named) from its own
      commit, in a scratch checkout, and compares it with the record; with --packages, its
      packages too, with that commit's own dist presets (their bytes also depend on Debian's
      toolchain: compare on a machine with the recorded tools). --keep leaves the rebuilt
      source releases in FOLDER. Names every file that differs, and fails.
"""
import argparse
import datetime
import hashlib
import json
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
RECORD = ROOT / "packaging/releases/releases.json"
RELEASES = RECORD.parent  # beside the record: the ways to make releases whose commit has none of its own


def git(*args, cwd=ROOT):
    return subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True, text=True).stdout.strip()


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def releases(record, wanted):
    recorded = json.loads(Path(record).read_text())["releases"]
    unknown = set(wanted) - {r["version"] for r in recorded}
    if unknown:
        sys.exit(f"no release {', '.join(sorted(unknown))} in {record}")
    return [r for r in recorded if not wanted or r["version"] in wanted]


def checkout(release, scratch):
    """A scratch checkout of RELEASE's commit, from this repository's history."""
    if git("rev-parse", "--is-shallow-repository") == "true":
        sys.exit("this is a shallow clone, without the releases' commits: git fetch --unshallow first")
    if subprocess.run(["git", "cat-file", "-e", release["commit"] + "^{commit}"], cwd=ROOT,
                      capture_output=True).returncode != 0:
        sys.exit(f"release {release['version']}: commit {release['commit']} is not in this repository")
    tree = Path(scratch) / release["version"]
    subprocess.run(["git", "clone", "--quiet", "--shared", "--no-checkout", str(ROOT), str(tree)], check=True)
    git("checkout", "--quiet", "--detach", release["commit"], cwd=tree)
    return tree


def clean():
    changed = git("status", "--porcelain", "--untracked-files=no")
    if changed:
        sys.exit(f"uncommitted changes to tracked files:\n{changed}\ncommit or stash them first")


def project_version():
    return re.search(r"\n    VERSION (\S+)\n", (ROOT / "CMakeLists.txt").read_text())[1]


def numbers(version):
    return [int(n) for n in version.split(".")]


def rewrite(path, pattern, replacement, count=1):
    text = (ROOT / path).read_text()
    new, made = re.subn(pattern, replacement, text, count=count, flags=re.M)
    if not made:
        sys.exit(f"{path}: nothing matches {pattern}")
    (ROOT / path).write_text(new)


def cut(version, date):
    clean()
    old = project_version()
    if not re.fullmatch(r"\d+\.\d+\.\d+", version) or numbers(version) <= numbers(old):
        sys.exit(f"{version} is no version after {old} (MAJOR.MINOR.PATCH)")
    # rpmbuild only brings times later than the release's date down to it: a file it writes
    # before that date would keep its own time.
    if date > f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d}":
        sys.exit(f"{date} is still to come: cut a release on its day, or later")
    if not re.search(r"^## \[Unreleased\]$", (ROOT / "CHANGELOG.md").read_text(), re.M):
        sys.exit("CHANGELOG.md has no [Unreleased] entry to release")
    rewrite("CMakeLists.txt", rf"^    VERSION {re.escape(old)}$", f"    VERSION {version}")
    rewrite("CHANGELOG.md", r"^## \[Unreleased\]$", f"## [{version}] - {date}")
    rewrite("docs/kun2wyt.1", r'^\.TH KUN2WYT 1 "[0-9-]+" "kun2wyt [^"]+"', f'.TH KUN2WYT 1 "{date}" "kun2wyt {version}"')
    # README's command lines, in its code blocks; its prose keeps the versions it speaks of.
    lines, code = [], False
    for line in (ROOT / "README.md").read_text().split("\n"):
        code = code != line.startswith("```")
        if code:
            line = re.sub(rf"(kun2wyt[-_/]){re.escape(old)}(?![\d])", rf"\g<1>{version}", line)
        lines.append(line)
    (ROOT / "README.md").write_text("\n".join(lines))
    print(f"kun2wyt {version}: written. Commit it; that commit is the release. Then: packaging/release.py record")


TOOLS = {"g++": ["g++", "--version"], "aarch64-linux-gnu-g++": ["aarch64-linux-gnu-g++", "--version"],
         "musl-dev:amd64": ["dpkg-query", "-W", "-f=${Version}", "musl-dev:amd64"],
         "musl-dev:arm64": ["dpkg-query", "-W", "-f=${Version}", "musl-dev:arm64"],
         "cmake": ["cmake", "--version"], "dpkg": ["dpkg", "--version"], "rpm": ["rpm", "--version"],
         "tar": ["tar", "--version"], "gzip": ["gzip", "--version"]}


def record():
    clean()
    version = project_version()
    dated = re.search(rf"^## \[{re.escape(version)}\] - (\d{{4}}-\d\d-\d\d)$", (ROOT / "CHANGELOG.md").read_text(), re.M)
    if not dated:
        sys.exit(f"CHANGELOG.md dates no release {version}: cut it first (packaging/release.py cut VERSION)")
    recorded = json.loads(RECORD.read_text())
    if version in [r["version"] for r in recorded["releases"]]:
        sys.exit(f"{version} is recorded already, and a record is never changed")
    dist = ROOT / "build/dist"
    shutil.rmtree(dist, ignore_errors=True)
    for preset in ("dist", "dist-aarch64"):
        subprocess.run(["cmake", "--workflow", "--preset", preset], cwd=ROOT, check=True)
    files = dict(reversed(line.split("  ")) for line in (dist / "SHA256SUMS").read_text().splitlines())
    source = f"kun2wyt-{version}.tar.gz"
    tools = {name: subprocess.run(command, capture_output=True, text=True, check=True).stdout.splitlines()[0]
             for name, command in TOOLS.items()}
    recorded["releases"].append({
        "version": version, "date": dated[1], "commit": git("rev-parse", "HEAD"),
        "source_release": ["sh", "packaging/source-release.sh", "{version}", "{out}"],
        "files": files, "tools": tools})
    RECORD.write_text(json.dumps(recorded, indent=2) + "\n")
    # The recipes: a version() line atop Spack's released versions, an easyconfig of its own.
    rewrite("packaging/spack/packages/kun2wyt/package.py", r'^(    version\("develop".*\n)',
            rf'\g<1>    version("{version}", sha256="{files[source]}")\n')
    easyconfigs = sorted((ROOT / "packaging/easybuild").glob("kun2wyt-*.eb"), key=lambda p: numbers(p.stem[8:]))
    newest = easyconfigs[-1].read_text()
    newest = re.sub(r"^version = '.*'$", f"version = '{version}'", newest, flags=re.M)
    newest = re.sub(r"^checksums = \['[0-9a-f]+'\]$", f"checksums = ['{files[source]}']", newest, flags=re.M)
    (ROOT / f"packaging/easybuild/kun2wyt-{version}.eb").write_text(newest)
    print(f"kun2wyt {version} recorded. Commit packaging/; then open the next development version.")


def verify(record, wanted, packages, keep):
    differ = []
    with tempfile.TemporaryDirectory() as scratch:
        for release in releases(record, wanted):
            version, files = release["version"], release["files"]
            tree = checkout(release, scratch)
            made = {}
            source = f"kun2wyt-{version}.tar.gz"
            out = Path(scratch) / f"{version}-{source}"
            command = [word.format(out=out, releases=RELEASES, version=version) for word in release["source_release"]]
            subprocess.run(command, cwd=tree, check=True, stdout=subprocess.DEVNULL)
            made[source] = out
            if packages:
                for preset in ("dist", "dist-aarch64"):
                    subprocess.run(["cmake", "--workflow", "--preset", preset], cwd=tree, check=True,
                                   stdout=subprocess.DEVNULL)
                made |= {name: tree / "build/dist" / name for name in files if name != source}
            for name, path in sorted(made.items()):
                same = path.exists() and sha256(path) == files[name]
                print(f"{version}: {name} {'as recorded' if same else 'differs from the record'}")
                if not same:
                    differ.append(f"{version}: {name}")
            if keep:
                Path(keep).mkdir(parents=True, exist_ok=True)
                (Path(keep) / source).write_bytes(out.read_bytes())
    if differ:
        sys.exit("not as recorded:\n  " + "\n  ".join(differ))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    check = commands.add_parser("verify", help="rebuild recorded releases from their commits and compare")
    check.add_argument("--packages", action="store_true", help="the packages too, not only the source release")
    check.add_argument("--keep", metavar="FOLDER", help="leave the rebuilt source releases in FOLDER")
    check.add_argument("--record", default=RECORD, help=argparse.SUPPRESS)  # another record, for the tests
    check.add_argument("versions", nargs="*", metavar="VERSION")
    cutting = commands.add_parser("cut", help="write a new release's version where it stands")
    cutting.add_argument("version", metavar="VERSION")
    cutting.add_argument("--date", default=f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d}")
    commands.add_parser("record", help="build the release at HEAD and record it")
    args = parser.parse_args()
    if args.command == "cut":
        cut(args.version, args.date)
    elif args.command == "record":
        record()
    else:
        verify(args.record, args.versions, args.packages, args.keep)


if __name__ == "__main__":
    main()

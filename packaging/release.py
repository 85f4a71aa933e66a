#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""kun2wyt's releases, as packaging/releases/releases.json records them: for each, its version,
date and commit, the sha256 of each of its files, and the tools that built them. A release is
written there once and never changed; its files are what its own commit's scripts build.

  release.py verify [--packages] [--keep FOLDER] [VERSION...]
      rebuilds the source release of each recorded release (or those named) from its own
      commit, in a scratch checkout, and compares it with the record; with --packages, its
      packages too, with that commit's own dist presets (their bytes also depend on Debian's
      toolchain: compare on a machine with the recorded tools). --keep leaves the rebuilt
      source releases in FOLDER. Names every file that differs, and fails.
"""
import argparse
import hashlib
import json
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
    args = parser.parse_args()
    verify(args.record, args.versions, args.packages, args.keep)


if __name__ == "__main__":
    main()

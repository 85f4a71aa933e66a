#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""kun2wyt's releases, as packaging/releases/releases.json records them: for each, its version,
date and commit, the sha256 of each of its files, and the tools that built them. A release is
written there once and never changed; its files are what its own commit's scripts build. What
a tree is (a release, or a development version) is cmake/version.cmake's to say; this asks it.

  release.py cut VERSION [--date YYYY-MM-DD]
      on a clean development tree: dates CHANGELOG.md's [Unreleased] entry as VERSION, and
      writes VERSION into the man page and README's commands for the release's files. Commit
      that: it is the release.
  release.py record
      on a clean tree that is a release not yet recorded: builds every architecture's packages
      and the source release, and writes their sha256s and the tools into the record, a
      version() line into the Spack package and a new easyconfig. Commit that: it changes no
      release's bytes (README, which the packages carry, stays as it is).
  release.py open
      on a clean tree of a recorded release: opens the next development version, an empty
      '## [Unreleased]' entry atop CHANGELOG.md; README's recipe commands name the release just
      recorded, and its release steps the next patch release. Commit that.
  release.py verify [--packages] [--keep FOLDER] [VERSION...]
      rebuilds the source release of each recorded release (or those named) from its own
      commit, in a scratch checkout, and compares it with the record; with --packages, its
      packages too, with that commit's own dist presets (their bytes also depend on Debian's
      toolchain: compare on a machine with the recorded tools). --keep leaves the rebuilt
      source releases in FOLDER. Names every file that differs, and fails.

Each command checks everything it is given before it writes anything, and writes all its files
or none.
"""
import argparse
import datetime
import json
import os
import platform
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "packaging"))
import generate  # noqa: E402  (the rule's answer and the record, read one way for both)

RECORD = ROOT / "packaging/releases/releases.json"
RELEASES = RECORD.parent  # beside the record: the ways to make releases whose commit has none of its own
SPACK = "packaging/spack/packages/kun2wyt/package.py"


def git(*args, cwd=ROOT):
    return subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True, text=True).stdout.strip()


def presets():
    """The dist preset of each architecture in packaging/metadata.json: the machine's own is
    dist, every other one cross-built as dist-ARCH."""
    return [("dist" if arch == platform.machine() else f"dist-{arch}") for arch in generate.META["architectures"]]


def releases(record, wanted):
    recorded = generate.recorded(record)
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
    """The rule's answer for this tree, which must be a clean work tree of its own history."""
    tree = generate.version_rule()
    if not tree["commit"]:
        sys.exit(f"this tree ({tree['version']}) has no history of its own: release from a clone of the repository")
    if tree["dirty"]:
        changed = subprocess.run(["git", "status", "--porcelain", "--untracked-files=no"], cwd=ROOT,
                                 capture_output=True, text=True).stdout.rstrip()
        sys.exit(f"uncommitted changes to tracked files:\n{changed}\ncommit or stash them first")
    return tree


def recorded_in(version):
    """The branches and tags whose record holds VERSION. A release's own commit cannot hold its
    record, which the commit after it adds: checked out again, it must still count as recorded."""
    refs = git("for-each-ref", "--format=%(refname)", "refs/heads", "refs/remotes", "refs/tags").split()
    holding = []
    for ref in refs:
        shown = subprocess.run(["git", "show", f"{ref}:{RECORD.relative_to(ROOT)}"], cwd=ROOT,
                               capture_output=True, text=True)
        try:
            if shown.returncode == 0 and version in [r["version"] for r in json.loads(shown.stdout)["releases"]]:
                holding.append(ref.split("/", 2)[2])
        except (ValueError, KeyError, TypeError):
            pass  # a branch whose record is no record holds no release
    return holding


def numbers(version):
    return tuple(int(n) for n in version.split("."))


def replaced(text, pattern, replacement, where):
    new, made = re.subn(pattern, replacement, text, count=1, flags=re.M)
    if not made:
        sys.exit(f"{where}: nothing matches {pattern}")
    return new


# README's commands that name a release's files follow the release commit (cut); those that name
# its recipes and its rebuilt source release, which exist once it is recorded, follow with the
# next development version (open), as the record's commit may not change what the packages carry.
RECIPE_LINE = re.compile(r"packaging/easybuild/|^module load kun2wyt/|build/releases/")
RELEASE_STEP = re.compile(r"^(python3 packaging/release\.py cut |git commit -am 'Release |git add packaging && "
                          r"git commit -m 'Record release )\d+\.\d+\.\d+\b", re.M)


def readme(text, old, new, recipes):
    """README's TEXT with OLD in place of NEW in its command lines, in its code blocks: those that
    name the recipes (RECIPES true) or the others; its prose keeps the versions it speaks of."""
    lines, code = [], False
    for line in text.split("\n"):
        code = code != line.startswith("```")
        if code and bool(RECIPE_LINE.search(line)) == recipes:
            line = re.sub(rf"(kun2wyt[-_/]){re.escape(old)}(?![\d])", rf"\g<1>{new}", line)
        lines.append(line)
    return "\n".join(lines)


def write_all(texts):
    """Each file of TEXTS (path under ROOT: its new text) written, or, if any fails, none."""
    old = {path: (ROOT / path).read_bytes() if (ROOT / path).exists() else None for path in texts}
    try:
        for path, text in texts.items():
            (ROOT / f"{path}.new").write_text(text)
        for path in texts:
            os.replace(ROOT / f"{path}.new", ROOT / path)
    except BaseException:
        for path, before in old.items():
            (ROOT / f"{path}.new").unlink(missing_ok=True)
            if before is None:
                (ROOT / path).unlink(missing_ok=True)
            else:
                (ROOT / path).write_bytes(before)
        raise


def cut(version, date):
    tree = clean()
    old = tree["release"]
    if tree["entries"][0]["version"] is not None:
        sys.exit(f"CHANGELOG.md has no [Unreleased] entry atop it: this tree is release {old}. Put "
                 "'## [Unreleased]' atop CHANGELOG.md with what the release brings, commit it, and cut then")
    major, minor, patch = numbers(old)
    following = [f"{major}.{minor}.{patch + 1}", f"{major}.{minor + 1}.0", f"{major + 1}.0.0"]
    give = f"give the next patch, minor or major release, {', '.join(following[:2])} or {following[2]}"
    if version in [r["version"] for r in generate.recorded()] + [old]:
        sys.exit(f"{version} is released already: {give}")
    if version not in following:
        sys.exit(f"{version} does not follow {old}: {give}")
    today = datetime.datetime.now(datetime.timezone.utc).date()
    try:
        if not re.fullmatch(r"\d{4}-\d\d-\d\d", date):
            raise ValueError
        day = datetime.date.fromisoformat(date)
    except ValueError:
        sys.exit(f"--date {date} is no day: give it as YYYY-MM-DD, such as {today}")
    # rpmbuild only brings times later than the release's date down to it: a file it writes
    # before that date would keep its own time.
    days = f"give a day from {tree['date']}, the date of {old}, to today, {today} in UTC"
    if day > today:
        sys.exit(f"--date {date} is still to come: {days}")
    if day < datetime.date.fromisoformat(tree["date"]):
        sys.exit(f"--date {date} is before {tree['date']}: {days}")
    heading = f"## [{version}] - {date}"
    texts = {
        "CHANGELOG.md": replaced((ROOT / "CHANGELOG.md").read_text(), rf"^{re.escape(tree['entries'][0]['heading'])}$",
                                 heading, "CHANGELOG.md"),
        "docs/kun2wyt.1": replaced((ROOT / "docs/kun2wyt.1").read_text(), r'^\.TH KUN2WYT 1 "[^"]*" "kun2wyt [^"]+"',
                                   f'.TH KUN2WYT 1 "{date}" "kun2wyt {version}"', "docs/kun2wyt.1"),
        "README.md": readme((ROOT / "README.md").read_text(), old, version, recipes=False),
    }
    # The rule must take the new changelog for exactly this release, before anything is written.
    with tempfile.NamedTemporaryFile("w", suffix=".md") as trial:
        trial.write(texts["CHANGELOG.md"])
        trial.flush()
        after = generate.version_rule(trial.name)
    if (after["release"], after["entries"][0]["version"]) != (version, version):
        sys.exit(f"CHANGELOG.md would not make release {version}: {after['entries'][0]['heading']}")
    write_all(texts)
    print(f"kun2wyt {version}: {', '.join(texts)} written. Commit them; that commit is the release. "
          "Then: packaging/release.py record")


def tools():
    """The tools whose versions decide the bytes of the files, each as it names itself."""
    found = {"g++": ["g++", "--version"]}
    for arch in generate.META["architectures"]:
        if arch != platform.machine():
            found[f"{arch}-linux-gnu-g++"] = [f"{arch}-linux-gnu-g++", "--version"]
    for deb_arch in generate.META["architectures"].values():
        found[f"musl-dev:{deb_arch}"] = ["dpkg-query", "-W", "-f=${Version}", f"musl-dev:{deb_arch}"]
    found |= {"cmake": ["cmake", "--version"], "dpkg": ["dpkg", "--version"], "rpm": ["rpm", "--version"],
              "tar": ["tar", "--version"], "gzip": ["gzip", "--version"],
              "python3": ["python3", "--version"]}  # its zipfile writes the wheels' headers
    return {name: subprocess.run(command, capture_output=True, text=True, check=True).stdout.splitlines()[0]
            for name, command in found.items()}


def record():
    tree = clean()
    version = tree["version"]
    recorded = json.loads(RECORD.read_text())
    if not tree["is_release"]:
        sys.exit(f"this tree is {version}, a development version: record the release commit itself, the "
                 "one that 'packaging/release.py cut VERSION' and its commit made")
    holding = ["this tree"] if version in [r["version"] for r in recorded["releases"]] else recorded_in(version)
    if holding:
        sys.exit(f"{version} is recorded already ({', '.join(holding)}), and a record is never changed")
    # The release is the commit that dated it: one after it would make two commits of one version.
    heading = tree["entries"][0]["heading"]
    dated = git("log", "-1", "--format=%H", "--fixed-strings", f"-S{heading}", "--", "CHANGELOG.md")
    if dated != git("rev-parse", "HEAD"):
        sys.exit(f"HEAD is not the commit that dated {version} ({dated[:7] or 'none'}): record that commit itself")
    if datetime.date.fromisoformat(tree["date"]) > datetime.datetime.now(datetime.timezone.utc).date():
        sys.exit(f"{version} is dated {tree['date']}, still to come: cut releases on their day")
    newest = recorded["releases"][-1]["version"]
    easyconfigs = sorted((ROOT / "packaging/easybuild").glob("kun2wyt-*.eb"), key=lambda p: numbers(p.stem[8:]))
    if numbers(easyconfigs[-1].stem[8:]) != numbers(newest):
        sys.exit(f"the newest easyconfig is {easyconfigs[-1].name}, not that of {newest}, the newest release recorded")
    dist = ROOT / "build/dist"
    shutil.rmtree(dist, ignore_errors=True)
    for preset in presets():
        subprocess.run(["cmake", "--workflow", "--preset", preset], cwd=ROOT, check=True)
    files = dict(reversed(line.split("  ")) for line in (dist / "SHA256SUMS").read_text().splitlines())
    source = f"kun2wyt-{version}.tar.gz"
    if source not in files or any(version not in name for name in files):
        sys.exit(f"build/dist/SHA256SUMS lists files of another version than {version}:\n  " + "\n  ".join(files))
    entry = {"version": version, "date": tree["date"], "commit": git("rev-parse", "HEAD"),
             "source_release": ["sh", "packaging/source-release.sh", "{version}", "{out}"],
             "files": files, "tools": tools()}
    # The recipes: a version() line atop Spack's released versions, an easyconfig of its own.
    easyconfig = easyconfigs[-1].read_text()
    easyconfig = replaced(easyconfig, r"^version = '.*'$", f"version = '{version}'", easyconfigs[-1].name)
    easyconfig = replaced(easyconfig, r"^checksums = \['[0-9a-f]+'\]$", f"checksums = ['{files[source]}']",
                          easyconfigs[-1].name)
    write_all({
        "packaging/releases/releases.json": json.dumps(recorded | {"releases": recorded["releases"] + [entry]},
                                                       indent=2) + "\n",
        SPACK: replaced((ROOT / SPACK).read_text(), r'^(    version\("develop".*\n)',
                        rf'\g<1>    version("{version}", sha256="{files[source]}")\n', SPACK),
        f"packaging/easybuild/kun2wyt-{version}.eb": easyconfig,
    })
    print(f"kun2wyt {version} recorded: packaging/releases/releases.json, {SPACK} and "
          f"packaging/easybuild/kun2wyt-{version}.eb written. Commit packaging/; then: packaging/release.py open")


def open_next():
    tree = clean()
    if tree["entries"][0]["version"] is None:
        sys.exit(f"this tree is open already: CHANGELOG.md's top entry is [Unreleased], after {tree['release']}")
    if tree["version"] not in [r["version"] for r in generate.recorded()]:
        sys.exit(f"this tree is {tree['version']}, no recorded release: record the release first "
                 "(packaging/release.py record)")
    top = tree["entries"][0]["heading"]
    shown = re.search(r"^eb packaging/easybuild/kun2wyt-(\S+)\.eb$", (ROOT / "README.md").read_text(), re.M)
    if not shown:
        sys.exit("README.md shows no 'eb packaging/easybuild/kun2wyt-VERSION.eb' line")
    # The recipe commands, in README and the maintainers' docs/, and the release steps, copied as
    # they stand in docs/releasing.md, cut the next patch release.
    major, minor, patch = numbers(tree["version"])
    texts, steps = {}, 0
    for name in ("README.md", "docs/developing.md", "docs/releasing.md"):
        texts[name], made = RELEASE_STEP.subn(rf"\g<1>{major}.{minor}.{patch + 1}",
                                              readme((ROOT / name).read_text(), shown[1], tree["version"], recipes=True))
        steps += made
    if steps != 3:
        sys.exit("docs/releasing.md's release steps are not one cut, one 'Release VERSION' and one 'Record release VERSION'")
    write_all({"CHANGELOG.md": replaced((ROOT / "CHANGELOG.md").read_text(), rf"^{re.escape(top)}$",
                                        f"## [Unreleased]\n\n{top}", "CHANGELOG.md")} | texts)
    print(f"CHANGELOG.md, {', '.join(texts)} written: the next development version is open. Commit them, and list "
          "each change in CHANGELOG.md as it lands.")


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
                for preset in presets():
                    subprocess.run(["cmake", "--workflow", "--preset", preset], cwd=tree, check=True,
                                   stdout=subprocess.DEVNULL)
                made |= {name: tree / "build/dist" / name for name in files if name != source}
            for name, path in sorted(made.items()):
                same = path.exists() and generate.sha256(path) == files[name]
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
    commands.add_parser("open", help="open the next development version in CHANGELOG.md")
    args = parser.parse_args()
    if args.command == "cut":
        cut(args.version, args.date)
    elif args.command == "record":
        record()
    elif args.command == "open":
        open_next()
    else:
        verify(args.record, args.versions, args.packages, args.keep)


if __name__ == "__main__":
    main()

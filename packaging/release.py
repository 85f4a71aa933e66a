#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""kun2wyt's releases, each recorded once in packaging/releases/releases.json (docs/releasing.md).

  release.py cut VERSION [--date YYYY-MM-DD] [--dry-run]
      commits "Release VERSION", builds every architecture from it, and commits its record,
      recipes and the next development version; or, whatever fails, changes nothing.
  release.py verify [--packages] [--keep FOLDER] [VERSION...]
      rebuilds each recorded release's source release (--packages: its packages too) from its
      own commit, and fails on a difference from the record, or a gap in it.
"""
import argparse
import datetime
import difflib
import json
import os
import platform
import re
import shutil
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "packaging"))
import generate  # noqa: E402  (the architectures, and sha256)

RECORD = ROOT / "packaging/releases/releases.json"
SPACK = "packaging/spack/packages/kun2wyt/package.py"
VERSION = re.compile(r"(0|[1-9]\d*)\.(0|[1-9]\d*)\.(0|[1-9]\d*)")
EDITED = ["README.md", *sorted(f"docs/{p.name}" for p in (ROOT / "docs").glob("*.md"))]
NAMED = re.compile(r"(kun2wyt[-_/])(\d+\.\d+\.\d+)(?!\.?\d|\.unknown)")
# Code lines of EDITED name a release's files (moved with it) or recipes (RECIPE_LINE, moved after it).
RECIPE_LINE = re.compile(r"packaging/easybuild/|^module load kun2wyt/|build/releases/")
# Each architecture's dist preset: dist for this machine's, dist-ARCH for the others.
PRESETS = ["dist" if arch == platform.machine() else f"dist-{arch}" for arch in generate.META["architectures"]]


def run(*command, cwd=ROOT, shown=False):
    """COMMAND's output (SHOWN: to the terminal); its failure ends this program, saying so."""
    try:
        done = subprocess.run(command, cwd=cwd, capture_output=not shown, text=True)
    except OSError as error:  # not installed
        sys.exit(f"`{' '.join(map(str, command))}`: {error.strerror}: install it (.ci/setup does)")
    if done.returncode:
        sys.exit(f"`{' '.join(map(str, command))}` failed (status {done.returncode}) {done.stderr or ''}".strip())
    return (done.stdout or "").rstrip()


def entries(root=ROOT):
    """ROOT's CHANGELOG.md's headings, newest first, (version or None, date or None, heading), as its rule reads them."""
    answer = run("cmake", "-DFIELD=entries", "-P", f"{root}/cmake/version.cmake")
    return [tuple(part or None for part in line.split("|", 2)) for line in answer.split("\n")]


def load(record):
    """The releases RECORD holds, oldest first."""
    try:
        releases = json.loads(Path(record).read_text(encoding="utf-8"))["releases"]
        for entry in releases:  # what cut and verify read of each
            kinds = [type(entry[key]) for key in ("version", "commit", "source_release", "files")]
            if kinds != [str, str, list, dict] or f"kun2wyt-{entry['version']}.tar.gz" not in entry["files"]:
                raise ValueError(f"the entry of {entry['version']} is not one")
            if not VERSION.fullmatch(entry["version"]):
                raise ValueError(f"'{entry['version']}' is no version MAJOR.MINOR.PATCH")
            if not entry["source_release"]:
                raise ValueError(f"the entry of {entry['version']} has no source_release command")
            for word in entry["source_release"]:  # a word of the command; verify fills in these three
                word.format(out=RECORD, releases=RECORD, version="")
    except (OSError, ValueError, KeyError, IndexError, TypeError, AttributeError) as error:
        sys.exit(f"{record} is no record of releases ({type(error).__name__}: {error}): mend it as the "
                 "command that made each entry wrote it (git log -p -- packaging/releases/releases.json shows "
                 "them)")
    versions = [entry["version"] for entry in releases]
    twice = sorted({v for v in versions if versions.count(v) > 1})
    if twice:
        sys.exit(f"{record} records {', '.join(twice)} more than once: a release has one entry")
    return releases


def own_history():
    top = subprocess.run(["git", "rev-parse", "--show-toplevel"], cwd=ROOT, capture_output=True, text=True)
    if top.returncode or Path(top.stdout.strip()).resolve() != ROOT:
        sys.exit(f"{ROOT} has no git history of its own (an exported tree?): work in a clone of the repository")
    if run("git", "rev-parse", "--is-shallow-repository") == "true":
        sys.exit("this is a shallow clone, without the history the releases are counted in: git fetch --unshallow first")


def recorded_in(version):
    """The branches and tags whose record holds VERSION."""
    refs = run("git", "for-each-ref", "--format=%(refname)", "refs/heads", "refs/remotes", "refs/tags").split()
    found = subprocess.run(["git", "grep", "-lF", f'"version": "{version}",', *refs, "--", str(RECORD.relative_to(ROOT))],
                           cwd=ROOT, capture_output=True, text=True).stdout
    return [line.split(":")[0].split("/", 2)[2] for line in found.splitlines()]


def replaced(path, pattern, replacement, form, text=None):
    """PATH's text (or TEXT), its line that PATTERN matches, in the form FORM, made REPLACEMENT."""
    new, made = re.subn(pattern, replacement, text or (ROOT / path).read_text(), count=1, flags=re.M)
    if not made:
        sys.exit(f"{path}: no line in the form the release edits, {form}: put it in that form, commit, and cut then")
    return new


def code_lines(text):
    """Each line of TEXT, and whether it stands in a code block."""
    code = False
    for line in text.split("\n"):
        code = code != line.startswith("```")
        yield line, code


def moved(text, old, new, recipes):
    """TEXT with NEW for OLD in its code lines that name a release's files (or RECIPES); not in prose."""
    return "\n".join(NAMED.sub(lambda m: m[1] + (new if m[2] == old else m[2]), line)
                     if code and bool(RECIPE_LINE.search(line)) == recipes else line for line, code in code_lines(text))


def checked(version, date):
    """The branch, and both commits' texts but for the sha256 the builds give: all checked first."""
    own_history()
    status = run("git", "status", "--porcelain", "--branch", "--untracked-files=no").split("\n")  # '## BRANCH...', changes
    if "(no branch)" in status[0] or status[1:]:
        sys.exit("no branch is checked out (a detached HEAD), or there are uncommitted changes to tracked files:\n"
                 + "\n".join(status) + "\ncheck out the branch to release from; commit or stash the changes")
    for path in ["CHANGELOG.md", "docs/kun2wyt.1", SPACK, *EDITED]:
        raw = (ROOT / path).read_bytes()
        found = ("a byte-order mark" if raw.startswith(b"\xef\xbb\xbf") else "CR line ends" if b"\r" in raw
                 else "bytes that are not UTF-8" if "\ufffd" in raw.decode(errors="replace") else None)
        if found:
            sys.exit(f"{path} has {found}, which the release would keep: save it as UTF-8 without a "
                     "byte-order mark, with LF line ends (dos2unix does both), commit, and cut then")
    heads, recorded, text = entries(), load(RECORD), (ROOT / "CHANGELOG.md").read_text()
    top, (old, old_date, old_heading) = heads[0][2], [head for head in heads if head[0]][0]  # the rule has one
    newest = recorded[-1]["version"] if recorded else "none"
    if newest != old:  # a release never recorded, or a branch from a release's own commit
        sys.exit(f"CHANGELOG.md's newest release is {old}, but this branch's record's newest is {newest}: {old} was "
                 "made without release.py cut, or this branch starts at its own commit. Release from a branch whose "
                 f"record holds {old}, or put its items back under '## [Unreleased]' in place of its heading")
    if top != "## [Unreleased]":
        sys.exit(f"CHANGELOG.md's top entry is '{top}', a release: put '## [Unreleased]' atop it, with what "
                 "the release brings, commit, and cut then")
    major, minor, patch = map(int, old.split("."))
    following = [f"{major}.{minor}.{patch + 1}", f"{major}.{minor + 1}.0", f"{major + 1}.0.0"]
    give = f"give one that no branch records, of {', '.join(v for v in following if not recorded_in(v))}"
    if recorded_in(version):
        sys.exit(f"{version} is recorded already ({', '.join(recorded_in(version))}), and a version names one "
                 f"set of bytes: {give}")
    if version not in following:
        sys.exit(f"{version} does not follow {old}: give the next patch, minor or major release: {give}")
    if not re.search(r"^- \S", text.split(top + "\n", 1)[1].split(old_heading + "\n", 1)[0], re.M):
        sys.exit("CHANGELOG.md's [Unreleased] entry lists nothing: add an item ('- ...' under '### Added', "
                 "'### Changed' or '### Fixed') for each change the release brings, commit, and cut then")
    today = datetime.datetime.now(datetime.timezone.utc).date()
    try:
        day = datetime.date.fromisoformat(date if re.fullmatch(r"\d{4}-\d\d-\d\d", date) else "")
    except ValueError:
        sys.exit(f"--date {date} is no day: give it as YYYY-MM-DD, such as {today}")
    days = f"give a day from {old_date}, the date of {old}, to today, {today} in UTC"
    if day > today:  # rpmbuild brings only later times down to the release's
        sys.exit(f"--date {date} is still to come: {days}")
    if date < old_date:
        sys.exit(f"--date {date} is before {old_date}: {days}")
    stale = [f"{path}:{number}: {m[0]}" for path in EDITED
             for number, (line, code) in enumerate(code_lines((ROOT / path).read_text()), 1) if code
             for m in NAMED.finditer(line) if m[2] != old]
    if stale:
        sys.exit(f"these lines name a release other than {old}, the newest: name {old} as the others do, "
                 "commit, and cut then:\n  " + "\n  ".join(stale))
    easyconfig, new_easyconfig = (f"packaging/easybuild/kun2wyt-{v}.eb" for v in (old, version))
    if not (ROOT / easyconfig).exists() or (ROOT / new_easyconfig).exists():
        sys.exit(f"{easyconfig}, the newest release's, is missing, or {new_easyconfig} is there already")
    heading = f"## [{version}] - {date}"
    first = {path: moved((ROOT / path).read_text(), old, version, False) for path in EDITED} | {
        "CHANGELOG.md": text.replace(top + "\n", heading + "\n", 1),
        "docs/kun2wyt.1": replaced("docs/kun2wyt.1", r'^\.TH KUN2WYT 1 "[^"]*" "kun2wyt [^"]+"',
                                   f'.TH KUN2WYT 1 "{date}" "kun2wyt {version}"', '.TH KUN2WYT 1 "DATE" "kun2wyt VERSION"')}
    second = {"CHANGELOG.md": first["CHANGELOG.md"].replace(heading + "\n", f"{top}\n\n{heading}\n", 1),
              SPACK: replaced(SPACK, r'^(    version\("develop", .*\)\n)', rf'\g<1>    version("{version}", sha256="@SHA256@")\n',
                              'one line \'    version("develop", ...)\''),
              new_easyconfig: replaced(easyconfig, r"^version = '.*'$", f"version = '{version}'", "version = 'VERSION'")}
    second[new_easyconfig] = replaced(easyconfig, r"^checksums = \['[0-9a-f]{64}'\]$", "checksums = ['@SHA256@']",
                                      "checksums = ['SHA256'], on one line", second[new_easyconfig])
    # Each commit holds only the files it changes.
    second |= {path: text for path in EDITED if (text := moved(first[path], old, version, True)) != first[path]}
    first = {path: text for path, text in first.items() if text != (ROOT / path).read_text()}
    # The tools whose versions decide the files' bytes (python3's zipfile: the wheels'), as each names itself.
    tools = {name: [name, "--version"] for name in ["g++"] + [
        f"{arch}-linux-gnu-g++" for arch in generate.META["architectures"] if arch != platform.machine()]}
    tools |= {f"musl-dev:{deb}": ["dpkg-query", "-W", "-f=${Version}", f"musl-dev:{deb}"]
              for deb in generate.META["architectures"].values()}
    tools |= {name: [name, "--version"] for name in ["cmake", "dpkg", "rpm", "tar", "gzip", "python3"]}
    named = {name: run(*command).split("\n")[0] for name, command in tools.items()}
    return status[0][3:].split("...")[0], first, second, named


def commit(texts, message):
    for path, text in texts.items():
        (ROOT / path).write_text(text)
    run("git", "add", "--", *texts)
    run("git", "commit", "-q", "-m", message)
    return run("git", "rev-parse", "HEAD")


def cut(version, date, dry_run):
    branch, first, second, named = checked(version, date)
    if dry_run:
        for texts, base, title in [(first, {}, f"'Release {version}': "), (second, first, "then: the record, ")]:
            print(f"==== {title}{', '.join(texts)}")
            for path, text in texts.items():
                before = base.get(path) or ((ROOT / path).read_text() if (ROOT / path).exists() else "")
                sys.stdout.writelines(difflib.unified_diff(before.splitlines(True), text.splitlines(True), path, path))
        return print(f"--dry-run: all checked, nothing written. cut would build {' and '.join(PRESETS)} between the "
                     "two commits (@SHA256@: the source release's)")
    start = run("git", "rev-parse", "HEAD")
    try:
        release = commit(first, f"Release {version}")
        print(f"kun2wyt {version}: all checked; {release[:7]} 'Release {version}' made. Building it:")
        shutil.rmtree(ROOT / "build/dist", ignore_errors=True)
        for preset in PRESETS:
            print(f"---- cmake --workflow --preset {preset} (minutes)")
            run("cmake", "--workflow", "--preset", preset, shown=True)
        files = dict(reversed(line.split("  ", 1)) for line in (ROOT / "build/dist/SHA256SUMS").read_text().splitlines())
        source = f"kun2wyt-{version}.tar.gz"
        if source not in files or any(version not in name for name in files):
            sys.exit(f"build/dist/SHA256SUMS lists files of another version than {version}:\n  " + "\n  ".join(files))
        record = json.loads(RECORD.read_text())
        record["releases"].append({"version": version, "date": date, "commit": release, "source_release": [
            "sh", "packaging/source-release.sh", "{version}", "{out}"], "files": files, "tools": named})
        texts = {path: text.replace("@SHA256@", files[source]) for path, text in second.items()}
        opened = commit(texts | {str(RECORD.relative_to(ROOT)): json.dumps(record, indent=2) + "\n"},
                        f"Record release {version}; open the next development version")
    except BaseException as error:  # a refusal, a failure, a Ctrl-C
        signal.signal(signal.SIGINT, signal.SIG_IGN)  # the restore is not to be stopped half way
        run("git", "reset", "-q", "--hard", start)
        (ROOT / f"packaging/easybuild/kun2wyt-{version}.eb").unlink(missing_ok=True)
        sys.exit(f"{error.code if isinstance(error, SystemExit) else repr(error)}\ncut {version} changed nothing: "
                 f"{branch} is at {start[:7]} again, its index and work tree as they were. Cut again once that is mended.")
    print(f"kun2wyt {version} made: {release[:7]} 'Release {version}', the release; {opened[:7]} records it and opens "
          "the next development version. Push both (git push); if the push is refused, see docs/releasing.md.")


def folder(keep):
    """KEEP, a folder made if need be, that this program can write to."""
    try:
        Path(keep).mkdir(parents=True, exist_ok=True)
    except OSError as error:
        sys.exit(f"--keep {keep}: {error.strerror}: give a folder to leave the source releases in")
    if not os.access(keep, os.W_OK):
        sys.exit(f"--keep {keep}: cannot be written to: give a folder you can write to")


def verify(record, wanted, packages, keep):
    own_history()
    recorded = load(record)
    if not recorded:
        sys.exit(f"{record} records no release: nothing to verify")
    versions = [r["version"] for r in recorded]
    # Those dated since recording began, but for the top one: a release's own commit holds no record of itself.
    lacking = [v for v, _, _ in entries()[1:]
               if v not in versions + [None] and [*map(int, v.split("."))] > [*map(int, versions[0].split("."))]]
    if lacking or set(wanted) - set(versions):
        sys.exit(f"{record} does not record {', '.join(sorted(set(wanted) - set(versions)) + lacking)}, dated in "
                 "CHANGELOG.md or named: a release is recorded by the command that makes it, release.py cut")
    for release in recorded:
        if subprocess.run(["git", "merge-base", "--is-ancestor", release["commit"], "HEAD"], cwd=ROOT).returncode:
            sys.exit(f"release {release['version']}: its commit {release['commit'][:7]} is not in the history of HEAD: "
                     "this clone lacks it (git fetch), or the branch was rebased after the release. Take the branch "
                     "as it was pushed: a release is never rebased")
    if keep:
        folder(keep)
    differ = []
    with tempfile.TemporaryDirectory() as scratch:
        for release in [r for r in recorded if not wanted or r["version"] in wanted]:
            version, files, tree = release["version"], release["files"], Path(scratch) / release["version"]
            run("git", "clone", "--quiet", "--shared", "--no-checkout", str(ROOT), str(tree))
            run("git", "checkout", "--quiet", "--detach", release["commit"], cwd=tree)
            source = f"kun2wyt-{version}.tar.gz"
            made = {source: Path(scratch) / f"{version}-{source}"}
            run(*[word.format(out=made[source], releases=RECORD.parent, version=version) for word in release["source_release"]],
                cwd=tree)
            for preset in PRESETS if packages else []:
                run("cmake", "--workflow", "--preset", preset, cwd=tree)
                made |= {name: tree / "build/dist" / name for name in files if name != source}
            for name, path in sorted(made.items()):
                same = path.exists() and generate.sha256(path) == files[name]
                print(f"{version}: {name} {'as recorded' if same else 'differs from the record'}")
                differ += [] if same else [f"{version}: {name}"]
            if keep:
                shutil.copyfile(made[source], Path(keep) / source)
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
    cutting = commands.add_parser("cut", help="make release VERSION: its commit, its files, its record")
    cutting.add_argument("version", metavar="VERSION")
    cutting.add_argument("--date", default=f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d}")
    cutting.add_argument("--dry-run", action="store_true", help="check everything and say what it would write")
    args = parser.parse_args()
    sys.stdout.reconfigure(line_buffering=True)  # in order with the builds' own output
    signal.signal(signal.SIGINT, lambda *_: sys.exit("stopped"))  # said, and for cut undone, as any failure
    cut(args.version, args.date, args.dry_run) if args.command == "cut" else \
        verify(args.record, args.versions, args.packages, args.keep)


if __name__ == "__main__":
    main()

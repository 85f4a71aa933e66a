#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""kun2wyt's releases, as packaging/releases/releases.json records them: for each, its version,
date and commit, the sha256 of each of its files, and the tools that built them. A release is
written there once and never changed; its files are what its own commit's scripts build. What a
tree is, a release or a development version, is cmake/version.cmake's to say; this asks it.

  release.py cut VERSION [--date YYYY-MM-DD] [--dry-run]
      makes release VERSION of the branch checked out, in two commits, or changes nothing. It
      checks everything first. Then it dates CHANGELOG.md's [Unreleased] entry, names VERSION in
      the man page and in the lines that name a release's files, and commits that: "Release
      VERSION", the release. It builds every architecture from that commit, records the release,
      adds it to the Spack and EasyBuild recipes, opens the next development version
      ([Unreleased] atop CHANGELOG.md, the recipe lines moved) and commits that too. Whatever
      fails, or a Ctrl-C, leaves the branch, its index and work tree as they were. --dry-run
      checks everything and says what it would write.
  release.py verify [--packages] [--keep FOLDER] [VERSION...]
      rebuilds the source release of each recorded release (or those named) from its own
      commit, in a scratch checkout, and compares it with the record; with --packages, its
      packages too, with that commit's own dist presets (their bytes also depend on Debian's
      toolchain: compare on a machine with the recorded tools). --keep leaves the rebuilt
      source releases in FOLDER. It fails on every file that differs, and on a record with a gap.
"""
import argparse
import datetime
import difflib
import json
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
RELEASES = RECORD.parent  # beside the record: the ways to make releases whose commit has none of its own
SPACK = "packaging/spack/packages/kun2wyt/package.py"
# The files whose command lines name a release's files and recipes, which cut moves on.
EDITED = ["README.md", *sorted(f"docs/{p.name}" for p in (ROOT / "docs").glob("*.md"))]
NAMED = re.compile(r"(kun2wyt[-_/])(\d+\.\d+\.\d+)(?!\.?\d|\.unknown)")
# Lines that name the recipes and the rebuilt source release, which exist once the release is
# recorded: they move with the next development version; the others with the release.
RECIPE_LINE = re.compile(r"packaging/easybuild/|^module load kun2wyt/|build/releases/")


def git(*args, cwd=ROOT):
    return subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True, text=True).stdout.rstrip()


def succeeds(*command):
    return subprocess.run(command, cwd=ROOT, capture_output=True).returncode == 0


def utf8(raw):
    try:
        return raw.decode("utf-8") is not None
    except UnicodeDecodeError:
        return False


def say(text):
    print(text, flush=True)


def rule(field, changelog=None):
    """The field FIELD of cmake/version.cmake's answer for this tree (CHANGELOG in place of its
    CHANGELOG.md); its refusal ends this program with its own words."""
    command = ["cmake", f"-DSOURCE_DIR={ROOT}", f"-DFIELD={field}", "-P", str(ROOT / "cmake/version.cmake")]
    answer = subprocess.run(command[:1] + [f"-DCHANGELOG={changelog}"] * bool(changelog) + command[1:],
                            capture_output=True, text=True)
    if answer.returncode:
        sys.exit(" ".join(re.findall(r"^  (\S.*)$", answer.stderr.split("Call Stack")[0], re.M)) or answer.stderr)
    return answer.stdout.rstrip("\n")


def entries(changelog=None):
    """CHANGELOG.md's headings as the rule reads them: (version, date, heading), newest first;
    [Unreleased] has neither version nor date."""
    return [tuple(part or None for part in line.split("|", 2)) for line in rule("entries", changelog).split("\n")]


def load(record):
    """The releases RECORD holds, oldest first, each with what cut and verify read of it."""
    try:
        releases = json.loads(Path(record).read_text())["releases"]
        for entry in releases:
            for key, kind in (("version", str), ("date", str), ("commit", str), ("source_release", list),
                              ("files", dict)):
                if not isinstance(entry[key], kind):
                    raise ValueError(f"{key} of {entry['version']} is no {kind.__name__}")
            if f"kun2wyt-{entry['version']}.tar.gz" not in entry["files"]:
                raise ValueError(f"{entry['version']} has no source release among its files")
    except OSError as error:
        sys.exit(f"{record}: {error.strerror}")
    except (ValueError, KeyError, TypeError) as error:
        sys.exit(f"{record} is no record of releases ({type(error).__name__}: {error}): take it from git as "
                 "it was (git checkout -- packaging/releases/releases.json)")
    versions = [entry["version"] for entry in releases]
    twice = sorted({v for v in versions if versions.count(v) > 1})
    if twice:
        sys.exit(f"{record} records {', '.join(twice)} more than once: a release has one entry")
    return releases


def own_history():
    """Refuses a tree that is not the top of a work tree of its own, or a shallow clone."""
    top = subprocess.run(["git", "rev-parse", "--show-toplevel"], cwd=ROOT, capture_output=True, text=True)
    if top.returncode or Path(top.stdout.strip()).resolve() != ROOT:
        sys.exit(f"{ROOT} has no git history of its own (an exported tree?): work in a clone of the repository")
    if git("rev-parse", "--is-shallow-repository") == "true":
        sys.exit("this is a shallow clone, without the history the releases are counted in: git fetch --unshallow first")


def recorded_in(version):
    """The branches and tags whose record holds VERSION."""
    holding = []
    for ref in git("for-each-ref", "--format=%(refname)", "refs/heads", "refs/remotes", "refs/tags").split():
        shown = subprocess.run(["git", "show", f"{ref}:{RECORD.relative_to(ROOT)}"], cwd=ROOT,
                               capture_output=True, text=True)
        if f'"version": "{version}",' in shown.stdout:
            holding.append(ref.split("/", 2)[2])
    return holding


def numbers(version):
    return tuple(int(n) for n in version.split("."))


def replaced(path, text, pattern, replacement, form):
    new, made = re.subn(pattern, replacement, text, count=1, flags=re.M)
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
    """TEXT with NEW in place of OLD where its code blocks' lines name a release's files (RECIPES
    false) or its recipes (RECIPES true); its prose keeps the versions it speaks of."""
    return "\n".join(NAMED.sub(lambda m: m[1] + (new if m[2] == old else m[2]), line)
                     if code and bool(RECIPE_LINE.search(line)) == recipes else line for line, code in code_lines(text))


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
    named = {}
    for name, command in found.items():
        try:
            named[name] = subprocess.run(command, capture_output=True, text=True, check=True).stdout.splitlines()[0]
        except (OSError, subprocess.CalledProcessError, IndexError):
            sys.exit(f"the dist needs {name}, which `{' '.join(command)}` does not name: install it (.ci/setup does)")
    return named


def checked(version, date):
    """Everything cut needs, checked before it writes anything: the branch, and the texts of
    both commits but for what the builds give."""
    own_history()
    branch = subprocess.run(["git", "symbolic-ref", "-q", "--short", "HEAD"], cwd=ROOT, capture_output=True, text=True)
    if branch.returncode:
        sys.exit("no branch is checked out (a detached HEAD): check out the branch to release from")
    changed = git("status", "--porcelain", "--untracked-files=no")
    if changed:
        sys.exit(f"uncommitted changes to tracked files:\n{changed}\ncommit or stash them first")
    for path in ["CHANGELOG.md", "docs/kun2wyt.1", SPACK, *EDITED]:
        raw = (ROOT / path).read_bytes()
        if raw.startswith(b"\xef\xbb\xbf") or b"\r" in raw or not utf8(raw):
            sys.exit(f"{path} is not UTF-8 without a byte-order mark, with LF line ends, which the release keeps: "
                     "save it so, commit, and cut then")
    heads, recorded = entries(), load(RECORD)
    (_, _, top), (old, old_date, old_heading) = heads[0], heads[1]
    if top != "## [Unreleased]":
        sys.exit(f"CHANGELOG.md's top entry is '{top}', a release: put '## [Unreleased]' atop it, with what "
                 "the release brings, commit, and cut then")
    text = (ROOT / "CHANGELOG.md").read_text()
    newest = recorded[-1]["version"] if recorded else "none"
    if newest != old:
        sys.exit(f"CHANGELOG.md's newest release is {old}, but this branch's record's newest is {newest}: {old} "
                 "was never made here by the release tools (or this branch starts at its own commit). Release "
                 f"from a branch whose record holds {old}")
    major, minor, patch = numbers(old)
    following = [f"{major}.{minor}.{patch + 1}", f"{major}.{minor + 1}.0", f"{major + 1}.0.0"]
    free = [v for v in following if not recorded_in(v)]
    give = f"give one that no branch records, of {', '.join(free)}" if free else "no next version is free"
    holding = recorded_in(version)
    if holding:
        sys.exit(f"{version} is recorded already ({', '.join(holding)}), and a version names one set of bytes: {give}")
    if version not in following:
        sys.exit(f"{version} does not follow {old}: give the next patch, minor or major release: {give}")
    unreleased = text.split(top + "\n", 1)[1].split(old_heading + "\n", 1)[0]
    if not re.search(r"^- \S", unreleased, re.M):
        sys.exit("CHANGELOG.md's [Unreleased] entry lists nothing: add an item ('- ...' under '### Added', "
                 "'### Changed' or '### Fixed') for each change the release brings, commit, and cut then")
    today = datetime.datetime.now(datetime.timezone.utc).date()
    try:
        day = datetime.date.fromisoformat(date) if re.fullmatch(r"\d{4}-\d\d-\d\d", date) else None
    except ValueError:
        day = None
    days = f"give a day from {old_date}, the date of {old}, to today, {today} in UTC"
    if day is None:
        sys.exit(f"--date {date} is no day: give it as YYYY-MM-DD, such as {today}")
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
    easyconfig = ROOT / f"packaging/easybuild/kun2wyt-{old}.eb"
    if not easyconfig.exists() or (ROOT / f"packaging/easybuild/kun2wyt-{version}.eb").exists():
        sys.exit(f"packaging/easybuild/ must hold kun2wyt-{old}.eb, the newest release's, and no kun2wyt-{version}.eb")
    heading = f"## [{version}] - {date}"
    first = {"CHANGELOG.md": text.replace(top + "\n", heading + "\n", 1),
             "docs/kun2wyt.1": replaced("docs/kun2wyt.1", (ROOT / "docs/kun2wyt.1").read_text(),
                                        r'^\.TH KUN2WYT 1 "[^"]*" "kun2wyt [^"]+"',
                                        f'.TH KUN2WYT 1 "{date}" "kun2wyt {version}"', '.TH KUN2WYT 1 "DATE" "kun2wyt VERSION"')}
    first |= {path: moved((ROOT / path).read_text(), old, version, False) for path in EDITED}
    with tempfile.NamedTemporaryFile("w", suffix=".md") as trial:  # the rule must read it as this release
        trial.write(first["CHANGELOG.md"])
        trial.flush()
        if entries(trial.name)[0] != (version, date, heading):
            sys.exit(f"CHANGELOG.md would not make release {version}")
    second = {"CHANGELOG.md": first["CHANGELOG.md"].replace(heading + "\n", f"{top}\n\n{heading}\n", 1),
              SPACK: (ROOT / SPACK).read_text(), "easyconfig": easyconfig.read_text()}
    second |= {path: moved(first[path], old, version, True) for path in EDITED}
    replaced(SPACK, second[SPACK], r'^    version\("develop", .*\)$', "", "one line '    version(\"develop\", ...)'")
    for pattern, form in ((r"^version = '.*'$", "version = 'VERSION'"),
                          (r"^checksums = \['[0-9a-f]{64}'\]$", "checksums = ['SHA256'], on one line")):
        replaced(easyconfig.name, second["easyconfig"], pattern, "", form)
    return branch.stdout.strip(), first, second, tools()



def presets():
    """The dist preset of each architecture in packaging/metadata.json: the machine's own is
    dist, every other one cross-built as dist-ARCH."""
    return [("dist" if arch == platform.machine() else f"dist-{arch}") for arch in generate.META["architectures"]]


def recipes(second, version, sha):
    """The texts of the commit after the release, with SHA, its source release's, in its recipes."""
    texts = dict(second)
    texts[SPACK] = re.sub(r'^(    version\("develop", .*\)\n)', rf'\g<1>    version("{version}", sha256="{sha}")\n',
                          texts[SPACK], count=1, flags=re.M)
    easyconfig = re.sub(r"^version = '.*'$", f"version = '{version}'", texts.pop("easyconfig"), count=1, flags=re.M)
    texts[f"packaging/easybuild/kun2wyt-{version}.eb"] = re.sub(r"^checksums = \['[0-9a-f]{64}'\]$",
                                                               f"checksums = ['{sha}']", easyconfig, count=1, flags=re.M)
    return texts


def commit(texts, message):
    for path, text in texts.items():
        (ROOT / path).write_text(text)
    git("add", "--", *texts)
    git("commit", "-q", "-m", message)
    return git("rev-parse", "HEAD")


def cut(version, date, dry_run):
    branch, first, second, named = checked(version, date)
    if dry_run:
        for title, texts in ((f"'Release {version}'", first), ("then, with its record, the next development version",
                                                                recipes(second, version, "SHA256"))):
            say(f"==== {title}:")
            for path, text in texts.items():
                before = (ROOT / path).read_text().splitlines(True) if (ROOT / path).exists() else []
                sys.stdout.writelines(difflib.unified_diff(before, text.splitlines(True), f"a/{path}", f"b/{path}"))
        say(f"--dry-run: everything checked, nothing written. cut {version} would commit the first, build "
            f"{' and '.join(presets())} from it, record their files' sha256s and commit the second.")
        return
    start, made = git("rev-parse", "HEAD"), ROOT / f"packaging/easybuild/kun2wyt-{version}.eb"
    try:
        release = commit(first, f"Release {version}")
        say(f"kun2wyt {version}: everything checked; {release[:7]} 'Release {version}' made. Building it:")
        if rule("version") != version:
            sys.exit(f"the release commit builds as {rule('version')}, not {version}")
        shutil.rmtree(ROOT / "build/dist", ignore_errors=True)
        for preset in presets():
            say(f"---- cmake --workflow --preset {preset} (minutes)")
            subprocess.run(["cmake", "--workflow", "--preset", preset], cwd=ROOT, check=True)
        files = dict(reversed(line.split("  ", 1)) for line in (ROOT / "build/dist/SHA256SUMS").read_text().splitlines())
        source = f"kun2wyt-{version}.tar.gz"
        if source not in files or any(version not in name for name in files):
            sys.exit(f"build/dist/SHA256SUMS lists files of another version than {version}:\n  " + "\n  ".join(files))
        entry = {"version": version, "date": date, "commit": release,
                 "source_release": ["sh", "packaging/source-release.sh", "{version}", "{out}"], "files": files, "tools": named}
        record = json.loads(RECORD.read_text())
        texts = recipes(second, version, files[source])
        texts[str(RECORD.relative_to(ROOT))] = json.dumps(record | {"releases": record["releases"] + [entry]}, indent=2) + "\n"
        opened = commit(texts, f"Record release {version}; open the next development version")
    except BaseException as error:
        signal.signal(signal.SIGINT, signal.SIG_IGN)  # the restore is not to be stopped half way
        git("reset", "-q", "--hard", start)
        made.unlink(missing_ok=True)
        if isinstance(error, subprocess.CalledProcessError):
            error = f"`{' '.join(map(str, error.cmd))}` failed (status {error.returncode}) {error.stderr or ''}".strip()
        elif isinstance(error, SystemExit):
            error = error.code
        sys.exit(f"{error or type(error).__name__}\ncut {version} changed nothing: {branch} is at {start[:7]} again, its "
                 f"index and work tree as they were. Mend what failed and cut {version} again.")
    say(f"kun2wyt {version} made: {release[:7]} 'Release {version}', the release; {opened[:7]} records it and opens "
        "the next development version. Push both (git push); if the push is refused, see docs/releasing.md.")


def verify(record, wanted, packages, keep):
    own_history()
    recorded = load(record)
    if not recorded:
        sys.exit(f"{record} records no release: nothing to verify")
    versions = [r["version"] for r in recorded]
    # Those since recording began; a release's own commit holds no record of itself: the one after it does.
    lacking = [version for version, _, _ in entries()[1:]
               if version and version not in versions and numbers(version) > numbers(versions[0])]
    if lacking:
        sys.exit(f"CHANGELOG.md dates {', '.join(lacking)}, which {record} does not record: a release is recorded "
                 "by the command that makes it (packaging/release.py cut)")
    if set(wanted) - set(versions):
        sys.exit(f"no release {', '.join(sorted(set(wanted) - set(versions)))} in {record}")
    for release in recorded:
        if not succeeds("git", "merge-base", "--is-ancestor", release["commit"], "HEAD"):
            sys.exit(f"release {release['version']}: its commit {release['commit'][:7]} is not in the history of HEAD: "
                     "the branch lacks it (git fetch), or was rebased after the release, which makes the release "
                     "no commit of its own branch. Take the branch as it was pushed: never rebase a release")
    chosen = [r for r in recorded if not wanted or r["version"] in wanted]
    there = [f"kun2wyt-{r['version']}.tar.gz" for r in chosen if keep and (Path(keep) / f"kun2wyt-{r['version']}.tar.gz").exists()]
    if keep and (there or Path(keep).is_file()):
        sys.exit(f"--keep {keep}: {', '.join(there) or 'a file'} there already: give a folder without them")
    differ = []
    with tempfile.TemporaryDirectory() as scratch:
        for release in chosen:
            version, files = release["version"], release["files"]
            tree = Path(scratch) / version
            subprocess.run(["git", "clone", "--quiet", "--shared", "--no-checkout", str(ROOT), str(tree)], check=True)
            git("checkout", "--quiet", "--detach", release["commit"], cwd=tree)
            source = f"kun2wyt-{version}.tar.gz"
            out = Path(scratch) / f"{version}-{source}"
            command = [word.format(out=out, releases=RELEASES, version=version) for word in release["source_release"]]
            subprocess.run(command, cwd=tree, check=True, stdout=subprocess.DEVNULL)
            made = {source: out}
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
    cutting = commands.add_parser("cut", help="make release VERSION: its commit, its files, its record")
    cutting.add_argument("version", metavar="VERSION")
    cutting.add_argument("--date", default=f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d}")
    cutting.add_argument("--dry-run", action="store_true", help="check everything and say what it would write")
    args = parser.parse_args()
    try:
        if args.command == "cut":
            cut(args.version, args.date, args.dry_run)
        else:
            verify(args.record, args.versions, args.packages, args.keep)
    except subprocess.CalledProcessError as error:
        sys.exit(f"`{' '.join(map(str, error.cmd))}` failed (status {error.returncode}) {error.stderr or ''}".strip())
    except KeyboardInterrupt:
        sys.exit("stopped")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""kun2wyt's releases, each recorded once in packaging/releases/releases.json (docs/releasing.md).

  release.py cut VERSION [--date YYYY-MM-DD] [--dry-run]
      in a scratch clone of the branch's commit, commits "Release VERSION", builds every
      architecture from it, and commits its record, recipes and the next development version;
      then moves the branch to them in one step that git refuses if it moved meanwhile, and the
      files into build/dist. Until that step, the branch, index and work tree are as they were.
  release.py verify [--packages] [--keep FOLDER] [VERSION...]
      rebuilds each recorded release's source release (--packages: its packages too) from its
      own commit, and fails on a difference from the record, or a gap in it.
"""
import argparse
import datetime
import difflib
import fcntl
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


def stopped(number, _frame):
    sys.exit(f"stopped by {signal.Signals(number).name}")


# Ctrl-C, a closed terminal and kill end this program alike, from here on, saying so. A cut then
# leaves the branch as it was (the next cut clears what its scratch clone holds), or whole.
CAUGHT = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP}
for caught in CAUGHT:
    signal.signal(caught, stopped)

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "packaging"))
import generate  # noqa: E402  (the architectures, and sha256)

RECORDED = "packaging/releases/releases.json"
RECORD = ROOT / RECORDED
SPACK = "packaging/spack/packages/kun2wyt/package.py"
VERSION = re.compile(r"(0|[1-9]\d*)\.(0|[1-9]\d*)\.(0|[1-9]\d*)")
NAMED = re.compile(r"(kun2wyt[-_/])(\d+\.\d+\.\d+)(?!\.?\d|\.unknown)")
# Code lines of edited() name a release's files (moved with it) or recipes (RECIPE_LINE, moved after it).
RECIPE_LINE = re.compile(r"packaging/easybuild/|^module load kun2wyt/|build/releases/")
# Each architecture's dist preset: dist for this machine's, dist-ARCH for the others.
PRESETS = ["dist" if arch == platform.machine() else f"dist-{arch}"
           for arch in generate.META["architectures"]]
# Variables that would make git work on another repository, index or tree than this one.
ELSEWHERE = ["GIT_DIR", "GIT_WORK_TREE", "GIT_INDEX_FILE", "GIT_OBJECT_DIRECTORY", "GIT_COMMON_DIR"]
# The maintainer's hooks, which cannot stop a release half landed.
UNHOOKED = ["-c", "core.hooksPath=/dev/null"]
# A build's process group ends with this program however it ends: its leader, a shell that the
# kernel signals when this program is gone (setpriv --pdeathsig), ends the whole group then.
GUARDED = ["setpriv", "--pdeathsig", "TERM", "sh", "-c", 'trap "kill -KILL 0" TERM; "$@" & wait $!', "sh"]


def run(*command, cwd=ROOT, env=None, shown=False):
    """COMMAND's output (SHOWN: to the terminal); its failure ends this program, saying so."""
    try:  # close_fds=False: a cut's lock, inheritable, is held until its last child has ended too
        done = subprocess.run(command, cwd=cwd, env=env, capture_output=not shown, encoding="utf-8",
                              errors="replace", close_fds=False)
    except OSError as error:  # not installed
        sys.exit(f"`{' '.join(map(str, command))}`: {error.strerror}: install it (.ci/setup does)")
    if done.returncode:
        said = f"`{' '.join(map(str, command))}` failed (status {done.returncode}) {done.stderr or ''}"
        sys.exit(said.strip())
    return (done.stdout or "").rstrip()


def scrubbed(home, identity=None):
    """The environment of the builds and of git in a scratch clone: the tools on the maintainer's
    PATH, and nothing else of the maintainer's (SOURCE_DATE_EPOCH, locale, git's hooks, signing,
    line ends and filters), so that a release's bytes depend on its commit and the tools alone."""
    return {"PATH": os.environ.get("PATH", os.defpath), "HOME": str(home), "LANG": "C.UTF-8",
            "GIT_CONFIG_NOSYSTEM": "1", "GIT_CONFIG_GLOBAL": os.devnull, **(identity or {})}


def entries(root=ROOT, env=None):
    """ROOT's CHANGELOG.md's headings, newest first, (version or None, date or None, heading), as its rule
    reads them."""
    answer = run("cmake", "-DFIELD=entries", "-P", f"{root}/cmake/version.cmake", env=env)
    heads = []
    for line in answer.split("\n"):
        version, date, heading = line.split("|", 2)
        heads.append((version or None, date or None, heading))
    return heads


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
                 f"command that made each entry wrote it (git log -p -- {RECORDED} shows them)")
    versions = [entry["version"] for entry in releases]
    twice = sorted({v for v in versions if versions.count(v) > 1})
    if twice:
        sys.exit(f"{record} records {', '.join(twice)} more than once: a release has one entry")
    return releases


def grown(tree):
    """Refuses TREE's branch if its record did not only grow, or a recorded release is not as it was
    made: its heading dated in other than one commit, its commit not in the branch's history, or a
    recipe holding another checksum of its source release than the record's."""
    only_grew(tree)
    for release in load(tree / RECORDED):
        dated_once(tree, release)
        in_history(tree, release)
        recipes_agree(tree, release)


def recorded_by(tree, blob):
    """The entries of the record that BLOB holds, or None where there is none that can be read."""
    if " " in blob:  # "COMMIT:PATH missing": a commit from before the record began
        return None
    try:
        releases = json.loads(run("git", "cat-file", "blob", blob, cwd=tree))["releases"]
    except (ValueError, KeyError, TypeError):
        return None
    if not all(isinstance(entry, dict) for entry in releases):
        return None
    return releases


def first_lost(entries, before):
    """The version of the first entry of BEFORE that ENTRIES lacks or holds changed."""
    for n, entry in enumerate(before):
        if entries[n:n + 1] != [entry]:
            return entry.get("version")
    return None


def only_grew(tree):
    """Refuses a history of TREE's HEAD in which a commit's record does not begin with the record of
    each of its parents: an entry was removed or changed, or a merge kept one side's."""
    listed = run("git", "rev-list", "--reverse", "--topo-order", "--parents", "HEAD", cwd=tree)
    commits = [line.split() for line in listed.split("\n")]  # each after its parents
    asked = "".join(f"{commit}:{RECORDED}\n" for commit, *_ in commits)
    found = subprocess.run(["git", "cat-file", "--batch-check=%(objectname)"], cwd=tree, input=asked,
                           capture_output=True, encoding="utf-8", errors="replace")
    read = {}  # each blob's entries
    held = {}  # each commit's
    for (commit, *parents), blob in zip(commits, found.stdout.split("\n")):
        if blob not in read:
            read[blob] = recorded_by(tree, blob)
        held[commit] = read[blob]
        if held[commit] is None:  # none, or none that can be read (and mended later): its parent's
            held[commit] = held[parents[0]] if parents else []
        for parent in parents:
            if held[commit][:len(held[parent])] == held[parent]:
                continue
            lost = first_lost(held[commit], held[parent])
            if len(parents) > 1:
                sys.exit(f"{RECORDED}: {commit[:7]}, a merge, lacks or changes the entry of {lost} that "
                         f"{parent[:7]} holds: a release was cut on each side, and only the one pushed first "
                         "is a release. Take the branch as pushed (git reset --hard @{upstream}), put back "
                         "your commits from before your cut (git cherry-pick), and cut again on top")
            sys.exit(f"{RECORDED}: {commit[:7]} removes or changes the entry of {lost} that {parent[:7]} "
                     "holds, and an entry stays as cut wrote it: drop that commit before the branch is "
                     f"pushed (git rebase --onto {parent[:7]} {commit[:7]})")


def dated_once(tree, release):
    """Refuses RELEASE if its dated heading was added or removed in other than one commit of TREE's
    history: two commits that build as one version (two cuts merged), or a heading changed."""
    version = release["version"]
    heading = f"## [{version}] - {release.get('date')}"
    dated = run("git", "log", "--full-history", f"-S\n{heading}\n", "--format=%h", "--", "CHANGELOG.md",
                cwd=tree).split()
    if len(dated) != 1:
        sys.exit(f"CHANGELOG.md: '{heading}', {version}'s recorded heading, was added or removed in "
                 f"{len(dated)} commits ({' '.join(dated)}), not once by its release, and a version names "
                 f"one commit. If two cuts of {version} were merged, take the branch as pushed (git reset "
                 "--hard @{upstream}), put back your commits from before your cut (git cherry-pick), and cut "
                 "again on top; if the heading was changed, drop that change before the branch is pushed")


def in_history(tree, release):
    """Refuses RELEASE if its commit is not in the history of TREE's HEAD."""
    version, commit = release["version"], release["commit"]
    if subprocess.run(["git", "merge-base", "--is-ancestor", commit, "HEAD"], cwd=tree).returncode:
        sys.exit(f"release {version}: its commit {commit[:7]} is not in the history of HEAD: this clone "
                 "lacks it (git fetch), or the branch was rebased after the release. Take the branch as it "
                 "was pushed: a release is never rebased")


def recipes_agree(tree, release):
    """Refuses a Spack line or easyconfig in TREE of RELEASE whose checksum is not the record's."""
    version = release["version"]
    source = f"kun2wyt-{version}.tar.gz"
    lines = {SPACK: rf'^\s*version\("{re.escape(version)}", sha256="([^"]*)"\)',
             f"packaging/easybuild/kun2wyt-{version}.eb": r"^checksums = \[\s*'([^']*)'"}
    for recipe, line in lines.items():
        if not (tree / recipe).exists():
            continue
        found = re.search(line, (tree / recipe).read_text(encoding="utf-8"), re.M)
        if not found or found[1] == release["files"][source]:
            continue
        since = ""
        if found[1]:  # git aborts on an empty -S
            since = run("git", "log", "-1", "--format= (since %h)", f"-S{found[1]}", "--", recipe, cwd=tree)
        sys.exit(f"{recipe} holds {found[1]}{since} as the sha256 of {source}, but the record "
                 f"{release['files'][source]}: write the record's there, as the release left it, and commit")


def own_history():
    aimed = [name for name in ELSEWHERE if name in os.environ]
    if aimed:
        sys.exit(f"{', '.join(aimed)} in the environment would point git away from {ROOT}: "
                 f"run it without (env -u {' -u '.join(aimed)} ...)")
    top = subprocess.run(["git", "rev-parse", "--show-toplevel"], cwd=ROOT, capture_output=True)
    if top.returncode or Path(os.fsdecode(top.stdout.strip())).resolve() != ROOT:
        sys.exit(f"{ROOT} has no git history of its own (an exported tree?): work in a clone of the "
                 "repository")
    if run("git", "rev-parse", "--is-shallow-repository") == "true":
        sys.exit("this is a shallow clone, without the history the releases are counted in: "
                 "git fetch --unshallow first")


def recorded_in(version):
    """The branches and tags whose record holds VERSION."""
    refs = run("git", "for-each-ref", "--format=%(refname)", "refs/heads", "refs/remotes", "refs/tags")
    refs = refs.split()
    found = subprocess.run(["git", "grep", "-lF", f'"version": "{version}",', *refs, "--", RECORDED],
                           cwd=ROOT, capture_output=True, encoding="utf-8", errors="replace").stdout
    return [line.split(":")[0].split("/", 2)[2] for line in found.splitlines()]


def edited(tree):
    """The files whose code lines name a release's files or recipes: README.md and docs/*.md."""
    return ["README.md", *sorted(f"docs/{p.name}" for p in (tree / "docs").glob("*.md"))]


def replaced(path, text, pattern, replacement, form):
    """PATH's TEXT, its line that PATTERN matches, in the form FORM, made REPLACEMENT."""
    new, made = re.subn(pattern, replacement, text, count=1, flags=re.M)
    if not made:
        sys.exit(f"{path}: no line in the form the release edits, {form}: put it in that form, commit, "
                 "and cut then")
    return new


def code_lines(text):
    """Each line of TEXT, and whether it stands in a code block."""
    code = False
    for line in text.split("\n"):
        code = code != line.startswith("```")
        yield line, code


def moved(text, old, new, recipes):
    """TEXT with NEW for OLD in its code lines that name a release's files (or RECIPES); not in prose."""
    lines = []
    for line, code in code_lines(text):
        if code and bool(RECIPE_LINE.search(line)) == recipes:
            line = NAMED.sub(lambda m: m[1] + (new if m[2] == old else m[2]), line)
        lines.append(line)
    return "\n".join(lines)


def on_branch():
    """The branch checked out here, and its commit, with no uncommitted change to a tracked file."""
    status = run("git", "status", "--porcelain", "--branch", "--untracked-files=no")
    status = status.split("\n")  # '## BRANCH...', then the changes
    if "(no branch)" in status[0] or status[1:]:
        sys.exit("no branch is checked out (a detached HEAD), or there are uncommitted changes to tracked "
                 "files:\n" + "\n".join(status) + "\ncheck out the branch to release from; commit or stash "
                 "the changes")
    return status[0][3:].split("...")[0], run("git", "rev-parse", "HEAD")


def identity():
    """The maintainer's name and e-mail in git's configuration, for the release's commits."""
    name, email = (run("git", "config", "--default", "", f"user.{key}") for key in ("name", "email"))
    if not name or not email:
        sys.exit("git has no name or e-mail of yours for the release's commits: git config --global "
                 "user.name 'YOUR NAME' && git config --global user.email YOU@EXAMPLE.ORG, and cut then")
    return {"GIT_AUTHOR_NAME": name, "GIT_AUTHOR_EMAIL": email,
            "GIT_COMMITTER_NAME": name, "GIT_COMMITTER_EMAIL": email}


def flaw(raw):
    """What in the bytes RAW of a text the release would keep and should not, or None."""
    if raw.startswith(b"\xef\xbb\xbf"):
        return "a byte-order mark"
    if b"\r" in raw:
        return "CR line ends"
    if "\ufffd" in raw.decode(errors="replace"):
        return "bytes that are not UTF-8"
    return None


def stale_lines(texts, old):
    """Each code line of TEXTS that names another release than OLD, with its file and number."""
    stale = []
    for path, text in texts.items():
        for number, (line, code) in enumerate(code_lines(text), 1):
            if code:
                stale += [f"{path}:{number}: {m[0]}" for m in NAMED.finditer(line) if m[2] != old]
    return stale


def checked(tree, version, date, env):
    """The newest release, and the texts the release edits, read in TREE: all checked before anything is
    made."""
    for path in ["CHANGELOG.md", "docs/kun2wyt.1", SPACK, *edited(tree)]:
        found = flaw((tree / path).read_bytes())
        if found:
            sys.exit(f"{path} has {found}, which the release would keep: save it as UTF-8 without a "
                     "byte-order mark, with LF line ends (dos2unix does both), commit, and cut then")
    read = ["CHANGELOG.md", "docs/kun2wyt.1", SPACK]
    texts = {path: (tree / path).read_text(encoding="utf-8") for path in read}
    heads, recorded, text = entries(tree, env), load(tree / RECORDED), texts["CHANGELOG.md"]
    top = heads[0][2]
    old, old_date, old_heading = [head for head in heads if head[0]][0]  # the rule has one
    newest = recorded[-1]["version"] if recorded else "none"
    if newest != old:  # a release never recorded, or a branch from a release's own commit
        sys.exit(f"CHANGELOG.md's newest release is {old}, but this branch's record's newest is {newest}: "
                 f"{old} was made without release.py cut, or this branch starts at its own commit. Release "
                 f"from a branch whose record holds {old}, or put its items back under '## [Unreleased]' in "
                 "place of its heading")
    grown(tree)
    if top != "## [Unreleased]":
        sys.exit(f"CHANGELOG.md's top entry is '{top}', a release: put '## [Unreleased]' atop it, with what "
                 "the release brings, commit, and cut then")
    major, minor, patch = map(int, old.split("."))
    following = [f"{major}.{minor}.{patch + 1}", f"{major}.{minor + 1}.0", f"{major + 1}.0.0"]
    holding = recorded_in(version)
    if holding or version not in following:
        give = f"give one that no branch records, of {', '.join(v for v in following if not recorded_in(v))}"
        if holding:
            sys.exit(f"{version} is recorded already ({', '.join(holding)}), and a version names one set of "
                     f"bytes: {give}")
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
    texts |= {path: (tree / path).read_text(encoding="utf-8") for path in edited(tree)}
    stale = stale_lines({path: texts[path] for path in edited(tree)}, old)
    if stale:
        sys.exit(f"these lines name a release other than {old}, the newest: name {old} as the others do, "
                 "commit, and cut then:\n  " + "\n  ".join(stale))
    easyconfig, new_easyconfig = (f"packaging/easybuild/kun2wyt-{v}.eb" for v in (old, version))
    if not (tree / easyconfig).exists() or (tree / new_easyconfig).exists():
        sys.exit(f"{easyconfig}, the newest release's, is missing, or {new_easyconfig} is there already")
    return old, texts | {easyconfig: (tree / easyconfig).read_text(encoding="utf-8")}


def commits(texts, edited_texts, old, version, date):
    """The texts of the release's two commits, from TEXTS, which checked() gives, but for the sha256 the
    builds give; EDITED_TEXTS, those of them whose code lines name a release. Each commit holds only the
    files it changes."""
    easyconfig, new_easyconfig = (f"packaging/easybuild/kun2wyt-{v}.eb" for v in (old, version))
    top, heading = "## [Unreleased]", f"## [{version}] - {date}"
    first = {path: moved(texts[path], old, version, False) for path in edited_texts}
    first["CHANGELOG.md"] = texts["CHANGELOG.md"].replace(top + "\n", heading + "\n", 1)
    first["docs/kun2wyt.1"] = replaced("docs/kun2wyt.1", texts["docs/kun2wyt.1"],
                                       r'^\.TH KUN2WYT 1 "[^"]*" "kun2wyt [^"]+"',
                                       f'.TH KUN2WYT 1 "{date}" "kun2wyt {version}"',
                                       '.TH KUN2WYT 1 "DATE" "kun2wyt VERSION"')
    second = {"CHANGELOG.md": first["CHANGELOG.md"].replace(heading + "\n", f"{top}\n\n{heading}\n", 1)}
    second[SPACK] = replaced(SPACK, texts[SPACK], r'^(    version\("develop", .*\)\n)',
                             rf'\g<1>    version("{version}", sha256="@SHA256@")\n',
                             'one line \'    version("develop", ...)\'')
    eb = replaced(easyconfig, texts[easyconfig], r"^version = '.*'$", f"version = '{version}'",
                  "version = 'VERSION'")
    second[new_easyconfig] = replaced(easyconfig, eb, r"^checksums = \['[0-9a-f]{64}'\]$",
                                      "checksums = ['@SHA256@']", "checksums = ['SHA256'], on one line")
    for path in edited_texts:
        text = moved(first[path], old, version, True)
        if text != first[path]:
            second[path] = text
    return {path: text for path, text in first.items() if text != texts[path]}, second


def tools(env):
    """The tools whose versions decide the files' bytes (python3's zipfile: the wheels'), as each names
    itself."""
    foreign = [f"{arch}-linux-gnu-g++" for arch in generate.META["architectures"]
               if arch != platform.machine()]
    asked = {name: [name, "--version"] for name in ["g++", *foreign]}
    asked |= {f"musl-dev:{deb}": ["dpkg-query", "-W", "-f=${Version}", f"musl-dev:{deb}"]
              for deb in generate.META["architectures"].values()}
    asked |= {name: [name, "--version"] for name in ["cmake", "dpkg", "rpm", "tar", "gzip", "python3"]}
    return {name: run(*command, env=env).split("\n")[0] for name, command in asked.items()}


def differing(paths, commits):
    """Those of PATHS whose file here holds what none of COMMITS holds there (no file: what a commit
    lacks)."""
    held = {path: set() for path in paths}
    for commit in commits:
        lines = run("git", "ls-tree", "-r", commit, "--", *paths).splitlines()  # MODE TYPE BLOB\tPATH
        listed = dict(reversed(line.split("\t", 1)) for line in lines)
        for path in paths:
            held[path].add(listed[path].split()[2] if path in listed else None)
    present = [path for path in paths if (ROOT / path).is_file()]
    found = dict(zip(present, run("git", "hash-object", "--", *present).split("\n"))) if present else {}
    return [path for path in paths if found.get(path) not in held[path]]


def landable(git_dir, branch, start, paths):
    """Refuses, before anything is built or the branch moves, what would keep the release from landing
    whole here: the branch not checked out at START, a lock of git's, a file in the way, or one that cannot
    be written."""
    if run("git", "rev-parse", "HEAD", "--symbolic-full-name", "HEAD") != f"{start}\nrefs/heads/{branch}":
        sys.exit(f"{branch} moved, or another branch was checked out, while cut ran: nothing of it landed. "
                 "Cut again")
    stale = [str(git_dir / name) for name in ["index.lock", "HEAD.lock", f"refs/heads/{branch}.lock"]
             if (git_dir / name).exists()]
    if stale:
        sys.exit(f"{', '.join(stale)}: a git command runs in this clone, or one was stopped half way. If "
                 "none runs, remove it (rm), and cut again")
    changed = differing(paths, [start])
    if changed:
        sys.exit(f"{', '.join(changed)}: changed, or untracked where the release adds it: commit, move or "
                 "remove it, and cut again")
    written = [*paths, *{str(Path(path).parent) for path in paths}, "build", "build/dist"]
    unwritable = [path for path in written if (ROOT / path).exists() and not os.access(ROOT / path, os.W_OK)]
    if unwritable:
        sys.exit(f"{', '.join(unwritable)}: cannot be written (its mode, or immutable), and the release "
                 "writes it: chmod u+w (or chattr -i) it, and cut again")


def hold(git_dir):
    """This clone's cut lock, held until this program and every process it started have ended."""
    lock = os.open(git_dir / "kun2wyt-cut.lock", os.O_RDWR | os.O_CREAT)
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit(f"another cut runs in this clone ({git_dir / 'kun2wyt-cut.lock'} is held), or one just "
                 "stopped and its builds are ending: let it end, then cut again")
    os.set_inheritable(lock, True)


def cleared(place):
    """PLACE, emptied of what a stopped cut left there; a release it had landed is first brought along."""
    if (place / "landing").exists():
        branch, old, new = (place / "landing").read_text(encoding="utf-8").split()
        if run("git", "rev-parse", "HEAD", "--symbolic-full-name", "HEAD") == f"{new}\nrefs/heads/{branch}":
            print(f"a stopped cut had moved {branch} to {new[:7]}: its work tree and build/dist brought "
                  "along first")
            signal.pthread_sigmask(signal.SIG_BLOCK, CAUGHT)
            brought_along(place, branch, old, new)
            signal.pthread_sigmask(signal.SIG_UNBLOCK, CAUGHT)
    if place.exists():
        shutil.rmtree(place)
    place.mkdir()


def shown(tree, texts, base, title):
    """The dry run's word of a commit, TITLE: the files of TEXTS, and their changes since BASE or TREE."""
    print(f"==== {title}{', '.join(texts)}")
    for path, text in texts.items():
        before = base.get(path)
        if before is None:
            before = (tree / path).read_text(encoding="utf-8") if (tree / path).exists() else ""
        changes = difflib.unified_diff(before.splitlines(True), text.splitlines(True), path, path)
        sys.stdout.writelines(changes)


def commit(tree, texts, message, env):
    for path, text in texts.items():
        (tree / path).write_text(text, encoding="utf-8")
    run("git", "add", "--", *texts, cwd=tree, env=env)
    run("git", "commit", "-q", "-m", message, cwd=tree, env=env)
    return run("git", "rev-parse", "HEAD", cwd=tree, env=env)


def built(tree, preset, env):
    """TREE's files of PRESET, built in TREE/build/dist; a stop ends the build too."""
    print(f"---- cmake --workflow --preset {preset} (minutes)")
    with subprocess.Popen([*GUARDED, "cmake", "--workflow", "--preset", preset], cwd=tree, env=env,
                          close_fds=False, process_group=0) as build:
        try:
            status = build.wait()
        except BaseException:
            os.killpg(build.pid, signal.SIGKILL)
            raise
    if status:
        sys.exit(f"`cmake --workflow --preset {preset}` failed (status {status}): nothing of this cut "
                 "landed. Cut again once that is mended")


def land(place, branch, old, new):
    """BRANCH moved from OLD to NEW, made at PLACE, in one step that git refuses if it moved meanwhile;
    then its work tree and build/dist brought along. No signal that can be caught stops this program from
    here on."""
    # NEW's objects, and no ref: the scratch clone's HEAD, which any protocol of git's offers
    run("git", *UNHOOKED, "fetch", "-q", "--no-write-fetch-head", str(place / "tree"), "HEAD")
    signal.pthread_sigmask(signal.SIG_BLOCK, CAUGHT)
    git_dir = place.parent
    landable(git_dir, branch, old, run("git", "diff", "--name-only", "--no-renames", old, new).split("\n"))
    (place / "landing.new").write_text(f"{branch} {old} {new}\n", encoding="utf-8")
    os.replace(place / "landing.new", place / "landing")  # what the next cut finishes, should this one stop
    moving = subprocess.run(["git", *UNHOOKED, "update-ref", "-m", "release.py cut", f"refs/heads/{branch}",
                             new, old], cwd=ROOT, capture_output=True, encoding="utf-8", errors="replace")
    if moving.returncode:
        (place / "landing").unlink()
        sys.exit(f"{moving.stderr.strip()}\n{branch} moved while cut ran: nothing of it landed. Cut again")
    try:
        brought_along(place, branch, old, new)
    except (SystemExit, OSError) as error:
        sys.exit(f"{error}\n{branch} holds the release at {new[:7]}, but its work tree and build/dist are "
                 "yet to follow: mend that, and run cut again, which brings them along")


def brought_along(place, branch, old, new):
    """The work tree and index at NEW, where BRANCH now is, in each file that changed since OLD, which must
    hold OLD's text or NEW's; then build/dist, the builds' files."""
    paths = run("git", "diff", "--name-only", "--no-renames", old, new).split("\n")
    changed = differing(paths, [old, new])
    if changed:
        sys.exit(f"{branch} holds the release at {new[:7]}, but {', '.join(changed)} changed since: save "
                 f"your changes elsewhere, git checkout {new} -- {' '.join(changed)}, and run cut again, "
                 "which finishes it")
    run("git", *UNHOOKED, "checkout", "-q", new, "--", *paths)
    if (place / "tree/build/dist").exists():
        if (ROOT / "build/dist").exists():
            shutil.rmtree(ROOT / "build/dist")
        (ROOT / "build").mkdir(exist_ok=True)
        shutil.move(place / "tree/build/dist", ROOT / "build/dist")
    (place / "landing").unlink()


def cut(version, date, dry_run):
    own_history()
    # Its name as the file system has it, whatever its bytes and the locale.
    found = subprocess.run(["git", "rev-parse", "--absolute-git-dir"], cwd=ROOT, capture_output=True)
    git_dir = Path(os.fsdecode(found.stdout.rstrip(b"\n")))
    place = git_dir / "kun2wyt-cut"  # the scratch clone's, outside the work tree, where the next cut finds it
    hold(git_dir)
    cleared(place)
    branch, start = on_branch()
    env = scrubbed(place, identity())
    tree = place / "tree"  # the branch's commit, its tracked files alone
    run("git", "clone", "-q", "--shared", "--no-checkout", str(ROOT), str(tree), env=env)
    run("git", "checkout", "-q", "--detach", start, cwd=tree, env=env)
    old, texts = checked(tree, version, date, env)
    first, second = commits(texts, edited(tree), old, version, date)
    named = tools(env)
    landable(git_dir, branch, start, sorted({*first, *second, RECORDED}))
    if dry_run:
        shown(tree, first, {}, f"'Release {version}': ")
        shown(tree, second, first, "then: the record, ")
        shutil.rmtree(place)
        return print(f"--dry-run: all checked, nothing written. cut would build {' and '.join(PRESETS)} "
                     "between the two commits (@SHA256@: the source release's)")
    release = commit(tree, first, f"Release {version}", env)
    print(f"kun2wyt {version}: all checked; {release[:7]} 'Release {version}' made in a scratch clone. "
          "Building it:")
    for preset in PRESETS:
        built(tree, preset, env)
    sums = (tree / "build/dist/SHA256SUMS").read_text(encoding="utf-8")
    files = dict(reversed(line.split("  ", 1)) for line in sums.splitlines())
    source = f"kun2wyt-{version}.tar.gz"
    if source not in files or any(version not in name for name in files):
        sys.exit(f"build/dist/SHA256SUMS lists files of another version than {version}:\n  "
                 + "\n  ".join(files))
    record = json.loads((tree / RECORDED).read_text(encoding="utf-8"))
    record["releases"].append({"version": version, "date": date, "commit": release, "source_release": [
        "sh", "packaging/source-release.sh", "{version}", "{out}"], "files": files, "tools": named})
    texts = {path: text.replace("@SHA256@", files[source]) for path, text in second.items()}
    opened = commit(tree, texts | {RECORDED: json.dumps(record, indent=2) + "\n"},
                    f"Record release {version}; open the next development version", env)
    land(place, branch, start, opened)
    shutil.rmtree(place)
    print(f"kun2wyt {version} made: {release[:7]} 'Release {version}', the release; {opened[:7]} records it "
          f"and opens the next development version, both on {branch}, the files in build/dist. Push both "
          "(git push); if the push is refused, see docs/releasing.md.")


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
    # Those dated since recording began, but for the top one: a release's own commit holds no record of
    # itself.
    since = [*map(int, versions[0].split("."))]
    lacking = [v for v, _, _ in entries()[1:]
               if v not in versions + [None] and [*map(int, v.split("."))] > since]
    if lacking or set(wanted) - set(versions):
        sys.exit(f"{record} does not record {', '.join(sorted(set(wanted) - set(versions)) + lacking)}, "
                 "dated in CHANGELOG.md or named: a release is recorded by the command that makes it, "
                 "release.py cut")
    grown(ROOT)
    if keep:
        folder(keep)
    differ = []
    with tempfile.TemporaryDirectory() as scratch:
        env = scrubbed(scratch)
        for release in [r for r in recorded if not wanted or r["version"] in wanted]:
            version, files, tree = release["version"], release["files"], Path(scratch) / release["version"]
            run("git", "clone", "--quiet", "--shared", "--no-checkout", str(ROOT), str(tree))
            run("git", "checkout", "--quiet", "--detach", release["commit"], cwd=tree)
            source = f"kun2wyt-{version}.tar.gz"
            made = {source: Path(scratch) / f"{version}-{source}"}
            words = release["source_release"]
            run(*[word.format(out=made[source], releases=RECORD.parent, version=version) for word in words],
                cwd=tree, env=env)
            for preset in PRESETS if packages else []:
                run("cmake", "--workflow", "--preset", preset, cwd=tree, env=env)
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
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    check = commands.add_parser("verify", help="rebuild recorded releases from their commits and compare")
    check.add_argument("--packages", action="store_true",
                       help="the packages too, not only the source release")
    check.add_argument("--keep", metavar="FOLDER", help="leave the rebuilt source releases in FOLDER")
    check.add_argument("--record", default=RECORD, help=argparse.SUPPRESS)  # another record, for the tests
    check.add_argument("versions", nargs="*", metavar="VERSION")
    cutting = commands.add_parser("cut", help="make release VERSION: its commit, its files, its record")
    cutting.add_argument("version", metavar="VERSION")
    cutting.add_argument("--date", default=f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d}")
    cutting.add_argument("--dry-run", action="store_true",
                         help="check everything and say what it would write")
    args = parser.parse_args()
    # In order with the builds' own output; what the locale cannot show, escaped.
    sys.stdout.reconfigure(line_buffering=True, errors="backslashreplace")
    try:
        if args.command == "cut":
            cut(args.version, args.date, args.dry_run)
        else:
            verify(args.record, args.versions, args.packages, args.keep)
    except OSError as error:  # a full disk, a file that cannot be read or written
        sys.exit(f"{error.filename}: {error.strerror}: mend that, and run it again")


if __name__ == "__main__":
    main()

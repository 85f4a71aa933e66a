#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""The packages' changelogs as packaging/generate.py writes them from CHANGELOG.md entries, and
the hand-written texts that repeat packaging/metadata.json's facts or the version (README, the
man page, CHANGELOG.md, the Spack recipe) agreeing with them.

usage: packaging_test.py VERSION [TEST...]    (the version CMake builds, project(VERSION))
The tests of Releases need what only a clone has: without it, they are skipped (status 77).
"""
import datetime
import re
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# The tests leave the source tree as it was: no packaging/__pycache__.
sys.dont_write_bytecode = True
sys.path.insert(0, str(ROOT / "packaging"))
import generate  # noqa: E402
import release  # noqa: E402

VERSION = sys.argv.pop(1) if len(sys.argv) > 1 else None
M = "M <m@example.org>"
LONG = "word " * 17 + "end"  # wraps once, at 80 columns, behind either marker

# (CHANGELOG.md, the version built and its date, the Debian changelog, the RPM changelog)
DAY = datetime.date(2026, 3, 2)
CHANGELOGS = [
    ("## [1.0.0] - 2026-03-02\n### Added\n- One thing.\n", "1.0.0", None,
     "kun2wyt (1.0.0) unstable; urgency=medium\n\n  * Added: One thing.\n\n -- M <m@example.org>  Mon, 02 Mar 2026 00:00:00 +0000\n",
     "* Mon Mar 02 2026 M <m@example.org> - 1.0.0-1\n- Added: One thing.\n"),
    # continuation lines join the item; a long item wraps at 80 columns
    (f"## [1.0.0] - 2026-03-02\n### Fixed\n- {LONG[:39]}\n  {LONG[40:]}\n", "1.0.0", None,
     f"kun2wyt (1.0.0) unstable; urgency=medium\n\n  * Fixed: {' '.join(LONG.split()[:14])}\n    {' '.join(LONG.split()[14:])}\n\n"
     " -- M <m@example.org>  Mon, 02 Mar 2026 00:00:00 +0000\n",
     f"* Mon Mar 02 2026 M <m@example.org> - 1.0.0-1\n- Fixed: {' '.join(LONG.split()[:14])}\n  {' '.join(LONG.split()[14:])}\n"),
    # two releases on one day: the older at 00:00, the newer an hour later; text before the
    # first release, and an [Unreleased] entry, are no release
    ("# Changelog\n- not an item\n## [Unreleased]\n- not yet\n## [1.1.0] - 2026-03-02\n### Added\n- B.\n\n"
     "## [1.0.0] - 2026-03-02\n### Added\n- A.\n", "1.1.0", None,
     "kun2wyt (1.1.0) unstable; urgency=medium\n\n  * Added: B.\n\n -- M <m@example.org>  Mon, 02 Mar 2026 01:00:00 +0000\n\n"
     "kun2wyt (1.0.0) unstable; urgency=medium\n\n  * Added: A.\n\n -- M <m@example.org>  Mon, 02 Mar 2026 00:00:00 +0000\n",
     "* Mon Mar 02 2026 M <m@example.org> - 1.1.0-1\n- Added: B.\n\n* Mon Mar 02 2026 M <m@example.org> - 1.0.0-1\n- Added: A.\n"),
    # a development version gets an entry of its own, on its day, with what [Unreleased] lists
    ("## [Unreleased]\n### Fixed\n- C.\n## [1.0.0] - 2026-03-02\n### Added\n- A.\n", "1.0.0.2.gabc1234", DAY,
     "kun2wyt (1.0.0.2.gabc1234) unstable; urgency=medium\n\n  * Fixed: C.\n\n -- M <m@example.org>  Mon, 02 Mar 2026 01:00:00 +0000\n\n"
     "kun2wyt (1.0.0) unstable; urgency=medium\n\n  * Added: A.\n\n -- M <m@example.org>  Mon, 02 Mar 2026 00:00:00 +0000\n",
     "* Mon Mar 02 2026 M <m@example.org> - 1.0.0.2.gabc1234-1\n- Fixed: C.\n\n"
     "* Mon Mar 02 2026 M <m@example.org> - 1.0.0-1\n- Added: A.\n"),
]


class Changelogs(unittest.TestCase):
    def test_rows(self):
        for markdown, version, day, debian, rpm in CHANGELOGS:
            with self.subTest(markdown=markdown), tempfile.TemporaryDirectory() as tree:
                Path(tree, "cmake").mkdir()
                shutil.copy(ROOT / "cmake/version.cmake", Path(tree, "cmake"))
                Path(tree, "CHANGELOG.md").write_text(markdown)
                headings = ["|".join(part or "" for part in entry) for entry in release.entries(tree)]
                self.assertEqual(generate.changelogs(markdown, headings, M, version, day), (debian, rpm))


class Agreement(unittest.TestCase):
    meta = generate.META

    def test_man_page_names_the_summary_and_version(self):
        page = (ROOT / "docs/kun2wyt.1").read_text().replace("\\-", "-")
        self.assertIn(f"kun2wyt - {self.meta['summary']}\n", page)
        self.assertRegex(page, rf'\n\.TH KUN2WYT 1 "\d{{4}}-\d\d-\d\d" "kun2wyt {re.escape(VERSION)}" ')

    def test_readme_names_homepage_and_licence(self):
        readme = (ROOT / "README.md").read_text()
        self.assertIn(f"{self.meta['homepage']}/issues", readme)
        self.assertIn(f"{self.meta['homepage']}/releases", readme)
        self.assertIn(f"under the {self.meta['licence']} licence", readme)

    def test_ci_setup_readies_the_other_architectures(self):
        # .ci/setup runs before there is a Python to read the metadata, so it names them itself.
        import platform
        other = {arch: deb for arch, deb in self.meta["architectures"].items() if arch != platform.machine()}
        setup = (ROOT / ".ci/setup").read_text()
        self.assertEqual(set(re.findall(r"--add-architecture (\S+)", setup)), set(other.values()))
        self.assertEqual(set(re.findall(r"update-binfmts --enable qemu-(\S+)", setup)), set(other))


# What only a clone has: the record of the releases and the recipes, which hold the source
# release's checksum and so are left out of it (.gitattributes).
CLONE_ONLY = [release.RECORD, ROOT / release.SPACK]


class Releases(unittest.TestCase):
    meta = generate.META

    def test_readme_names_the_version(self):
        readme = (ROOT / "README.md").read_text() + (ROOT / "docs/developing.md").read_text()
        # The release's files from its commit on; its recipes, a recorded release's, the newest
        # from the next development version on.
        recorded = [r["version"] for r in release.load(release.RECORD)]
        recipes = {recorded[-1]} if release.entries()[0][0] is None else set(recorded)
        commands = [(line, m[2]) for path in release.edited(ROOT) for line, code in release.code_lines((ROOT / path).read_text())
                    if code for m in release.NAMED.finditer(line)]
        self.assertTrue(commands)
        for line, version in commands:
            if release.RECIPE_LINE.search(line):
                self.assertIn(version, recipes, line)
            else:
                self.assertEqual(version, VERSION, line)

    def test_spack_recipe_says_what_the_metadata_says(self):
        recipe = (ROOT / release.SPACK).read_text()
        summary = self.meta["summary"][0].upper() + self.meta["summary"][1:]
        self.assertIn(f'"""{summary}', recipe)
        self.assertIn(f'homepage = "{self.meta["homepage"]}"', recipe)
        self.assertIn(f'license("{self.meta["licence"]}")', recipe)


if __name__ == "__main__":
    missing = [str(path.relative_to(ROOT)) for path in CLONE_ONLY if not path.exists()]
    if missing and any(name.split(".")[0] == "Releases" for name in sys.argv[1:]):
        print(f"SKIPPED: {' and '.join(missing)} not here: only a clone of the repository has them "
              "(the source release leaves them out, .gitattributes)")
        sys.exit(77)
    unittest.main()

# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT

import os

from spack.package import *


class Kun2wyt(CMakePackage):
    """Front end of the .kun to .wyt level-scheme converter: checks that a .kun nuclear
    level-scheme file opens for reading, settles the name of the .wyt output file, creates it
    empty and reports both names. Quiet and fast to start, for batch runs over thousands of
    files."""

    homepage = "https://c-seed-0cc01bab.example/kun2wyt"
    url = "https://c-seed-0cc01bab.example/kun2wyt/releases/kun2wyt-1.2.0.tar.gz"
    git = "https://c-seed-0cc01bab.example/kun2wyt.git"

    license("MIT")

    # The released versions are those of packaging/releases/releases.json, with the checksums
    # recorded there; packaging/release.py record adds each. develop is the main branch. Between
    # releases its build names itself with a development version, which counts the commits since
    # the newest release: a shallow clone, Spack's default, has not got them.
    version("develop", branch="main", get_full_repo=True)
    version("1.4.1", sha256="5826e699b362bc31d8e2f9778c40ac59cc70a4523c1e71a9fb627a5d9077b6f9")
    version("1.4.0", sha256="0c31477c64c7e34c2992c0166d60be42c59393ac9f5c4eadec72ad50e8c89837")
    version("1.3.0", sha256="581d37a4e2cb06ff973ce9704fbf51e764e246249caa8b926c80ed893123a74b")
    version("1.2.0", sha256="18093af7f763cb3d9f33cf73686dbd5ea9f18b17f616e920a180e16da2eef75a")

    depends_on("cmake@3.20:", type="build")

    def cmake_args(self):
        # The tests and warnings as errors are for kun2wyt's developers.
        return [self.define("KUN2WYT_DEVELOPER_MODE", False)]

    @run_after("install")
    @on_package_attributes(run_tests=True)
    def check_example(self):
        """Runs the installed program on the example input that it ships."""
        example = join_path(self.prefix.share.doc.kun2wyt.examples, "run1.kun")
        with working_dir(self.stage.path):
            report = Executable(self.prefix.bin.kun2wyt)(example, "-o", "run1.wyt", output=str)
        if "Output file: run1.wyt" not in report or os.path.getsize(join_path(self.stage.path, "run1.wyt")):
            raise InstallError(f"kun2wyt did not convert its example: {report}")

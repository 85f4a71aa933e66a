# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Cross-compiling for 64-bit ARM Linux on a Debian machine (the dist-aarch64 preset): Debian's
# cross compiler (g++-aarch64-linux-gnu), its multiarch arm64 libraries (libc6:arm64,
# libstdc++6:arm64, libgtest-dev:arm64) to run and test against, and qemu to run the tests.
# The tests start the program directly, as a user would, so the machine must also run aarch64
# programs through binfmt_misc (qemu-user-static with binfmt-support): CMake's emulator wraps
# only the commands ctest starts itself. qemu is given no library prefix: the multiarch loader
# is where the program looks for it, and mixing in the cross toolchain's C library would hang.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
find_program(KUN2WYT_QEMU qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${KUN2WYT_QEMU}")

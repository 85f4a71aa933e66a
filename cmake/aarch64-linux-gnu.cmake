# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Cross-compiling for 64-bit ARM Linux on Debian (the dist-aarch64 preset): its cross compiler,
# its multiarch arm64 libraries to run and test against, and qemu. The tests start the program
# directly, as a user would, so aarch64 programs must also run through binfmt_misc: CMake's
# emulator wraps only what ctest starts. qemu gets no library prefix: the program looks for the
# multiarch loader, and the cross toolchain's C library mixed in would hang.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
find_program(KUN2WYT_QEMU qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${KUN2WYT_QEMU}")

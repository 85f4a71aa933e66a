# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The static program of the aarch64 portable archive, on musl: Debian's cross g++
# (g++-aarch64-linux-gnu) and musl-dev:arm64. The tests run it through qemu and binfmt_misc.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
include("${CMAKE_CURRENT_LIST_DIR}/musl.cmake")

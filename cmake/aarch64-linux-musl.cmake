# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The aarch64 portable archive's static program, on musl: Debian's cross g++ and musl-dev:arm64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
include("${CMAKE_CURRENT_LIST_DIR}/musl.cmake")

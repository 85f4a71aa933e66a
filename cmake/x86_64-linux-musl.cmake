# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The static program of the x86-64 portable archive, on musl (musl-dev).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
include("${CMAKE_CURRENT_LIST_DIR}/musl.cmake")

# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The portable archive's program (target kun2wyt_portable, at KUN2WYT_PORTABLE_PROGRAM): kun2wyt
# linked statically with musl, in a build tree of its own with the package build's flags.
include(ExternalProject)

set(KUN2WYT_PORTABLE_DIR "${PROJECT_BINARY_DIR}/portable")
set(KUN2WYT_PORTABLE_PROGRAM "${KUN2WYT_PORTABLE_DIR}/kun2wyt")
ExternalProject_Add(
    kun2wyt_portable
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${KUN2WYT_PORTABLE_DIR}"
    PREFIX "${PROJECT_BINARY_DIR}/portable-steps"
    CMAKE_ARGS "--toolchain=${PROJECT_SOURCE_DIR}/cmake/${CMAKE_SYSTEM_PROCESSOR}-linux-musl.cmake"
    CMAKE_CACHE_ARGS
        "-DCMAKE_BUILD_TYPE:STRING=${CMAKE_BUILD_TYPE}"
        "-DCMAKE_C_FLAGS:STRING=${CMAKE_C_FLAGS}"
        "-DCMAKE_CXX_FLAGS:STRING=${CMAKE_CXX_FLAGS}"
        "-DCMAKE_EXE_LINKER_FLAGS:STRING=${CMAKE_EXE_LINKER_FLAGS}"
        "-DCMAKE_POSITION_INDEPENDENT_CODE:BOOL=OFF"
        "-DKUN2WYT_STATIC:BOOL=ON"
    BUILD_COMMAND "${CMAKE_COMMAND}" --build "${KUN2WYT_PORTABLE_DIR}" --target kun2wyt
    BUILD_ALWAYS ON # its own build tool decides what is out of date
    BUILD_BYPRODUCTS "${KUN2WYT_PORTABLE_PROGRAM}"
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON
)

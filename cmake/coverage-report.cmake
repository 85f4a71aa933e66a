# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# cmake -DGCOVR=... -DSOURCE_DIR=... -DBINARY_DIR=... [-DCLEAR_ONLY=ON] -P coverage-report.cmake
# Reports the coverage of src/ by the counts in BINARY_DIR, then clears them for the next run.
# Branches the compiler adds for exceptions, and those it can prove unreachable, are not the
# program's; a line or branch of src/ that cannot be reached otherwise says so where it stands.
if(NOT CLEAR_ONLY)
    execute_process(
        COMMAND "${GCOVR}" --root "${SOURCE_DIR}" --filter "${SOURCE_DIR}/src/" --exclude-throw-branches
                --exclude-unreachable-branches --txt - --print-summary --fail-under-line 100
                --fail-under-branch 100 "${BINARY_DIR}"
        RESULT_VARIABLE result
    )
endif()
file(GLOB_RECURSE counts "${BINARY_DIR}/*.gcda")
if(counts)
    file(REMOVE ${counts})
endif()
if(NOT CLEAR_ONLY AND NOT result EQUAL 0)
    message(FATAL_ERROR "coverage of src/ is below 100 % of its lines or branches (gcovr: ${result})")
endif()

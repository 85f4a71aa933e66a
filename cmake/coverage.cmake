# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The coverage report of src/ (the coverage preset): `coverage_report` runs gcovr over what the
# tests recorded, fails below 100 % of the lines and branches that can be reached, and clears
# the counts for the next run. The coverage test preset leaves out the cases that run as an
# ordinary user: such a run cannot write root's count files, and its run-time would say so on
# standard error, where the cases expect nothing. Those cases meet no line that others do not.
find_program(GCOVR gcovr REQUIRED)
set(coverage_script "${PROJECT_SOURCE_DIR}/cmake/coverage-report.cmake")
# Every build starts the counts afresh: counts left by an earlier build of other code would
# make the run-time complain on standard error, and stand for runs of code that is gone.
add_custom_target(
    coverage_clear ALL
    COMMAND "${CMAKE_COMMAND}" -DCLEAR_ONLY=ON "-DBINARY_DIR=${PROJECT_BINARY_DIR}" -P "${coverage_script}"
    VERBATIM
)
add_custom_target(
    coverage_report
    COMMAND "${CMAKE_COMMAND}" "-DGCOVR=${GCOVR}" "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}"
            "-DBINARY_DIR=${PROJECT_BINARY_DIR}" -P "${coverage_script}"
    USES_TERMINAL
    VERBATIM
)

# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The coverage report of src/ (the coverage preset): `coverage_report` runs gcovr over what the
# tests recorded, fails below 100 % of the lines and branches that can be reached, and clears
# the counts for the next run. Branches the compiler adds for exceptions, and those it can prove
# unreachable, are not the program's; a line or branch of src/ that cannot be reached otherwise
# says so where it stands. The coverage test preset leaves out the cases that run as an ordinary
# user: such a run cannot write root's count files, and its run-time would say so on standard
# error, where the cases expect nothing. Those cases meet no line that others do not.
find_program(GCOVR gcovr REQUIRED)
# Every build starts the counts afresh: counts left by an earlier build of other code would
# make the run-time complain on standard error, and stand for runs of code that is gone.
set(clear_counts find "${PROJECT_BINARY_DIR}" -name *.gcda -delete)
add_custom_target(coverage_clear ALL COMMAND ${clear_counts} VERBATIM)
add_custom_target(
    coverage_report
    COMMAND "${GCOVR}" --root "${PROJECT_SOURCE_DIR}" --filter "${PROJECT_SOURCE_DIR}/src/" --exclude-throw-branches
            --exclude-unreachable-branches --txt - --print-summary --fail-under-line 100 --fail-under-branch 100
            "${PROJECT_BINARY_DIR}"
    COMMAND ${clear_counts}
    USES_TERMINAL
    VERBATIM
)

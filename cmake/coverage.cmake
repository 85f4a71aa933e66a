# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# coverage_report (the coverage preset) fails below 100 % of the lines and branches of src/ that
# can be reached (not those the compiler adds for exceptions or proves unreachable; any other is
# marked in src/). The preset's tests leave out the runs as an ordinary user, who cannot write
# root's count files; they meet no line that others do not.
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

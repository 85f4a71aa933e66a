# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Run by CPack once the files of a package are staged, before it packs them: every staged file
# takes the commit's time (SOURCE_DATE_EPOCH). rpmbuild only brings times newer than that down
# to it, so a file older than its commit (edited, then committed) would keep its own time, and
# a build from such a tree would differ from a build from a fresh clone.
execute_process(
    COMMAND find "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" -exec touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" {} +
    COMMAND_ERROR_IS_FATAL ANY
)

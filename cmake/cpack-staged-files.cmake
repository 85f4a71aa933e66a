# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Run by CPack once a package's files are staged, before it packs them, so that nothing of the
# machine that made it gets in: every folder 0755, whatever the builder's umask; and with
# SOURCE_DATE_EPOCH set (cmake/dist.cmake), every file that time, older files too, which
# rpmbuild would leave as they are. A plain cpack, without it, keeps the files' own times.
execute_process(
    COMMAND find "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" -type d -exec chmod 0755 {} +
    COMMAND_ERROR_IS_FATAL ANY
)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(
        COMMAND find "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" -exec touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" {} +
        COMMAND_ERROR_IS_FATAL ANY
    )
endif()

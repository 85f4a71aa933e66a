# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Run by CPack once the files of a package are staged, before it packs them, so that nothing of
# the machine that made the package gets into it:
# - Every staged folder is 0755, whatever the builder's umask made it: the system's folders
#   (/usr, /usr/share/doc) and the package's own are read and searched by every user.
# - With SOURCE_DATE_EPOCH set (cmake/dist.cmake sets the commit's time), every staged file
#   takes that time. rpmbuild only brings times newer than that down to it, so a file older than
#   its commit (edited, then committed) would keep its own time, and a build from such a tree
#   would differ from a build from a fresh clone. A plain cpack, without it, keeps the files'
#   own times.
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

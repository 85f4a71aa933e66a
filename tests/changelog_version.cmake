# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The newest version in CHANGELOG.md, and the version the man page shows, must be the version
# being built, or the packages would describe another release.
# cmake -DCHANGELOG=... -DMAN_PAGE=... -DVERSION=... -P changelog_version.cmake
file(STRINGS "${CHANGELOG}" headings REGEX "^## \\[")
list(GET headings 0 newest)
if(NOT newest MATCHES "^## \\[${VERSION}\\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$")
    message(FATAL_ERROR "CHANGELOG.md's newest entry is '${newest}', not version ${VERSION} with its date")
endif()
file(STRINGS "${MAN_PAGE}" title REGEX "^\\.TH ")
if(NOT title MATCHES " \"kun2wyt ${VERSION}\" ")
    message(FATAL_ERROR "the man page's title line '${title}' does not name version ${VERSION}")
endif()

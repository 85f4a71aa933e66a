# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The newest version in CHANGELOG.md must be the version being built, or the packages would
# describe another release. cmake -DCHANGELOG=... -DVERSION=... -P changelog_version.cmake
file(STRINGS "${CHANGELOG}" headings REGEX "^## \\[")
list(GET headings 0 newest)
if(NOT newest MATCHES "^## \\[${VERSION}\\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$")
    message(FATAL_ERROR "CHANGELOG.md's newest entry is '${newest}', not version ${VERSION} with its date")
endif()

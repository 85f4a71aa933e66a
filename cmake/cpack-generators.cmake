# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Read by cpack once for each kind of package: which components it carries (see
# cmake/install-rules.cmake).
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL program manuals zsh_debian debian_docs examples)
elseif(CPACK_GENERATOR STREQUAL "RPM")
    set(CPACK_COMPONENTS_ALL program manuals zsh_completion docs rpm_license examples)
endif()

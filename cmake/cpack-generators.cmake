# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Read by cpack once for each kind of package: which components it carries, as
# packaging/metadata.json lists them (see cmake/install-rules.cmake).
set(CPACK_COMPONENTS_ALL ${CPACK_KUN2WYT_${CPACK_GENERATOR}_COMPONENTS})

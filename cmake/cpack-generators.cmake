# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Read by cpack for each kind of package: its components, as packaging/metadata.json lists them.
set(CPACK_COMPONENTS_ALL ${CPACK_KUN2WYT_${CPACK_GENERATOR}_COMPONENTS})

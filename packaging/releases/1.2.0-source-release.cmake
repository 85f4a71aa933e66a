# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# 1.2.0's source release, made by that commit's own cmake/source-release.cmake, which defines
# source_release(FILE) for its dist script rather than running on its own. In a checkout of
# 1.2.0 (packaging/release.py verify makes one):
#   cmake -DSOURCE_DIR=checkout -DVERSION=1.2.0 -DOUT=file -P 1.2.0-source-release.cmake
set(work "${OUT}.work") # its scratch folder
include("${SOURCE_DIR}/cmake/source-release.cmake")
source_release("${OUT}")
file(REMOVE_RECURSE "${work}")

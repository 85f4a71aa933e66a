# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# KUN2WYT_VERSION, the version everything built from this tree carries: project(VERSION) where
# CHANGELOG.md's newest entry is that release with its date. Elsewhere, a development version
# that no release has, sorting after the release it follows and before the next for dpkg, rpm
# and Spack: VERSION.devN.gCOMMIT, N commits after that release's recorded commit. A source
# release has no git, so a development one holds its version in the file VERSION.
option(KUN2WYT_ALLOW_DIRTY "Let dist package uncommitted changes, in a version that says so" OFF)
set(changelog "${PROJECT_SOURCE_DIR}/CHANGELOG.md")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${changelog}")
file(STRINGS "${changelog}" newest REGEX "^## \\[" LIMIT_COUNT 1)
execute_process(COMMAND git rev-parse --short=7 HEAD WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}" RESULT_VARIABLE no_git
                OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(EXISTS "${PROJECT_SOURCE_DIR}/VERSION")
    file(STRINGS "${PROJECT_SOURCE_DIR}/VERSION" KUN2WYT_VERSION LIMIT_COUNT 1)
elseif(newest MATCHES "^## \\[${PROJECT_VERSION}\\] - [0-9-]+$")
    set(KUN2WYT_VERSION "${PROJECT_VERSION}")
elseif(no_git)
    set(KUN2WYT_VERSION "${PROJECT_VERSION}.dev0")
else()
    # A new commit or checkout is logged there, and reconfigures for its version.
    execute_process(COMMAND git rev-parse --absolute-git-dir WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                    OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/HEAD" "${git_dir}/logs/HEAD")
    file(READ "${PROJECT_SOURCE_DIR}/packaging/releases/releases.json" record)
    string(REGEX MATCH "\"version\": \"${PROJECT_VERSION}\",[^}]*\"commit\": \"([0-9a-f]+)\"" released "${record}")
    set(count "")
    if(released) # not in a clone without that commit
        execute_process(COMMAND git rev-list --count "${CMAKE_MATCH_1}..HEAD" WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                        OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(NOT count MATCHES "^[0-9]+$")
        set(count 0)
    endif()
    set(KUN2WYT_VERSION "${PROJECT_VERSION}.dev${count}.g${commit}")
endif()
if(KUN2WYT_ALLOW_DIRTY)
    string(APPEND KUN2WYT_VERSION ".dirty")
endif()
message(STATUS "kun2wyt ${KUN2WYT_VERSION}")

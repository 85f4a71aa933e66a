# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# What version this tree is: the one rule, and the one reader of CHANGELOG.md's headings, that the
# build, dist, the source release and packaging/release.py ask. A heading is '## [Unreleased]'
# (atop only) or '## [MAJOR.MINOR.PATCH] - YYYY-MM-DD', newest first; any other stops them all
# with one message (release.py checks a release's day when it makes it). The tree is release R,
# the newest dated entry, if that entry is atop, no tracked file is changed and the record holds
# R at no other commit. Otherwise it is a development version, after R and before the next patch
# release: R.N.gCOMMIT, N commits after R's recorded commit; R.unknown.gCOMMIT where the history
# cannot count them; R.unknown without a history of its own (an exported tree); .dirty added for
# uncommitted changes. Python spells them R.N+gCOMMIT, R+unknown... A development source release
# carries its version in the file VERSION. Sets KUN2WYT_FIELD for each FIELD below; from a script:
#   cmake [-DSOURCE_DIR=DIR] [-DCHANGELOG=FILE] [-DFIELD=NAME] -P cmake/version.cmake
# prints the field NAME (version unless given): release, date, version, python_version,
# is_release, dirty, commit, epoch (R's day at midnight UTC for a release or a tree without
# history, the commit's time otherwise; script mode only) or entries (VERSION|DATE|HEADING).
cmake_minimum_required(VERSION 3.20)
if(NOT SOURCE_DIR)
    get_filename_component(SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()
if(NOT CHANGELOG)
    set(CHANGELOG "${SOURCE_DIR}/CHANGELOG.md")
endif()
set(n "(0|[1-9][0-9]*)")
file(STRINGS "${CHANGELOG}" headings REGEX "^##([^#]|$)") # '##', not '###'; a heading holds no ';'
set(KUN2WYT_ENTRIES "")
foreach(heading IN LISTS headings)
    if(heading STREQUAL "## [Unreleased]" AND NOT KUN2WYT_ENTRIES)
        set(entry "||${heading}")
    elseif(heading STREQUAL "## [Unreleased]")
        message(FATAL_ERROR "CHANGELOG.md: '## [Unreleased]' stands below another entry; there is one, the newest, atop all others: move its items there")
    elseif(heading MATCHES "^## \\[(${n}\\.${n}\\.${n})\\] - ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])$")
        set(entry "${CMAKE_MATCH_1}|${CMAKE_MATCH_5}|${heading}")
        if(NOT KUN2WYT_RELEASE)
            set(KUN2WYT_RELEASE "${CMAKE_MATCH_1}")
            set(KUN2WYT_DATE "${CMAKE_MATCH_5}")
            set(above_it "${KUN2WYT_ENTRIES}")
        elseif(NOT CMAKE_MATCH_1 VERSION_LESS above)
            message(FATAL_ERROR "CHANGELOG.md: '${heading}' stands below ${above}: the newest entries come first, each with a higher version")
        elseif(CMAKE_MATCH_5 STRGREATER above_date)
            message(FATAL_ERROR "CHANGELOG.md: '${heading}' is dated after ${above_date}, the date of ${above} above it")
        endif()
        set(above "${CMAKE_MATCH_1}")
        set(above_date "${CMAKE_MATCH_5}")
    else()
        message(FATAL_ERROR "CHANGELOG.md: '${heading}' heads no entry: write '## [Unreleased]' or '## [MAJOR.MINOR.PATCH] - YYYY-MM-DD'")
    endif()
    list(APPEND KUN2WYT_ENTRIES "${entry}")
endforeach()
if(NOT KUN2WYT_RELEASE)
    message(FATAL_ERROR "CHANGELOG.md dates no release: write '## [MAJOR.MINOR.PATCH] - YYYY-MM-DD'")
endif()

# Git, if this folder is a work tree's top itself (no prefix): a tree inside another's is no commit of it.
set(R "${KUN2WYT_RELEASE}")
set(KUN2WYT_COMMIT "")
set(recorded "")
set(count "unknown")
find_program(KUN2WYT_GIT git)
macro(kun2wyt_git out)
    execute_process(COMMAND "${KUN2WYT_GIT}" ${ARGN} WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE failed
                    OUTPUT_VARIABLE ${out} OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endmacro()
kun2wyt_git(found rev-parse --is-shallow-repository --absolute-git-dir --show-prefix)
if(NOT failed AND found MATCHES "^(true|false)\n([^\n]+)$")
    set(git_dir "${CMAKE_MATCH_2}")
    set(shallow "${CMAKE_MATCH_1}")
    kun2wyt_git(head log -1 --abbrev=7 "--format=%h %H %ct")
    string(REPLACE " " ";" head "${head}")
    list(GET head 0 KUN2WYT_COMMIT)
    list(GET head 2 KUN2WYT_EPOCH)
    kun2wyt_git(changed status --porcelain --untracked-files=no)
    string(COMPARE NOTEQUAL "${changed}" "" KUN2WYT_DIRTY)
    # R's commit, as this tree's record holds it (packaging/release.py writes it in this form).
    set(record "${SOURCE_DIR}/packaging/releases/releases.json")
    string(REPLACE "." "\\." pattern "${R}")
    set(json "")
    if(EXISTS "${record}")
        file(READ "${record}" json)
    endif()
    if(json MATCHES "\"version\": \"${pattern}\",[^{}]*\"commit\": \"([0-9a-f]+)\"")
        set(recorded "${CMAKE_MATCH_1}")
        kun2wyt_git(ignored merge-base --is-ancestor "${recorded}" HEAD)
        if(NOT failed AND shallow STREQUAL "false") # a shallow history may lack commits between the two
            kun2wyt_git(count rev-list --count "${recorded}..HEAD")
        endif()
    endif()
    if(NOT CMAKE_SCRIPT_MODE_FILE) # a new commit or checkout reconfigures for its version
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/HEAD" "${git_dir}/logs/HEAD" "${record}")
    endif()
endif()
if(NOT CMAKE_SCRIPT_MODE_FILE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CHANGELOG}")
endif()

set(KUN2WYT_IS_RELEASE FALSE)
if(EXISTS "${SOURCE_DIR}/VERSION" AND NOT KUN2WYT_COMMIT) # a development source release, checked
    file(STRINGS "${SOURCE_DIR}/VERSION" KUN2WYT_VERSION LIMIT_COUNT 1)
    if(NOT KUN2WYT_VERSION MATCHES "^${R}\\.([0-9]+\\.g[0-9a-f]+|unknown(\\.g[0-9a-f]+)?)(\\.dirty)?$")
        message(FATAL_ERROR "${SOURCE_DIR}/VERSION: '${KUN2WYT_VERSION}' is no development version of ${R}")
    endif()
elseif(NOT above_it AND NOT KUN2WYT_DIRTY AND (NOT recorded OR recorded IN_LIST head))
    set(KUN2WYT_VERSION "${R}")
    set(KUN2WYT_IS_RELEASE TRUE)
elseif(NOT KUN2WYT_COMMIT)
    set(KUN2WYT_VERSION "${R}.unknown")
elseif(KUN2WYT_DIRTY)
    set(KUN2WYT_VERSION "${R}.${count}.g${KUN2WYT_COMMIT}.dirty")
else()
    set(KUN2WYT_VERSION "${R}.${count}.g${KUN2WYT_COMMIT}")
endif()
# Python's spelling: the commit, or the word for a count not known, opens the local label.
string(REGEX REPLACE "^([0-9.]+[0-9])\\.(g[0-9a-f]+|unknown)" "\\1+\\2" KUN2WYT_PYTHON_VERSION "${KUN2WYT_VERSION}")
if(CMAKE_SCRIPT_MODE_FILE AND (KUN2WYT_IS_RELEASE OR NOT KUN2WYT_COMMIT)) # date(1) knows the calendar
    execute_process(COMMAND date -u -d "${KUN2WYT_DATE}" +%s OUTPUT_VARIABLE KUN2WYT_EPOCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT FIELD)
        set(FIELD version)
    endif()
    set(answer "")
    foreach(field IN LISTS FIELD) # each on a line of its own, the entries one a line
        if(NOT field MATCHES "^(release|date|version|python_version|is_release|dirty|commit|epoch|entries)$")
            message(FATAL_ERROR "no field ${field}: release, date, version, python_version, is_release, dirty, commit, epoch, entries")
        endif()
        string(TOUPPER "KUN2WYT_${field}" field)
        list(APPEND answer "${${field}}")
    endforeach()
    string(REPLACE ";" "\n" answer "${answer}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${answer}") # standard output; message() writes to standard error
endif()

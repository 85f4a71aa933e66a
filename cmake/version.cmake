# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# What version this tree is: the one rule, and the one reader of CHANGELOG.md's headings,
# '## [Unreleased]' (atop only) or '## [MAJOR.MINOR.PATCH] - YYYY-MM-DD', newest first. Release R,
# the newest dated entry, if it is atop, no tracked file is changed and this commit dated it (R's
# commit, as release.py cut records it), or a tree without history holds it; otherwise a development
# version between R and the next patch: R.N.gCOMMIT (N commits after R's commit), R.unknown.gCOMMIT
# (a history that cannot count them), R.unknown (no history: a development source release's file
# VERSION says more), each .dirty with changes.
# Sets KUN2WYT_FIELD; `cmake [-DFIELD=NAME;...] -P cmake/version.cmake` prints each (the version if
# none): release, date, version, python_version (R.N+gCOMMIT...), is_release, dirty, commit, epoch (R's
# day for a release or a tree without history, else the commit's time), entries (VERSION|DATE|HEADING).
cmake_minimum_required(VERSION 3.20)
get_filename_component(top "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(n "(0|[1-9][0-9]*)")
# '##', not '###'; a heading holds no ';'. As UTF-8: read as bytes, a character beyond ASCII (a curly
# quote, say) would end a line, and a heading quoted after it in an item would be read as one.
file(STRINGS "${top}/CHANGELOG.md" headings REGEX "^##([^#]|$)" ENCODING UTF-8)
foreach(heading IN LISTS headings)
    if(heading STREQUAL "## [Unreleased]" AND NOT KUN2WYT_ENTRIES)
        list(APPEND KUN2WYT_ENTRIES "||${heading}")
    elseif(heading MATCHES "^## \\[(${n}\\.${n}\\.${n})\\] - ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])$")
        if(NOT KUN2WYT_RELEASE)
            set(KUN2WYT_RELEASE "${CMAKE_MATCH_1}")
            set(KUN2WYT_DATE "${CMAKE_MATCH_5}")
            set(dating "${heading}")
            set(above_it "${KUN2WYT_ENTRIES}")
        elseif(NOT CMAKE_MATCH_1 VERSION_LESS above)
            message(FATAL_ERROR "CHANGELOG.md: '${heading}' stands below ${above}: "
                                "the newest entries come first, each with a higher version")
        endif()
        set(above "${CMAKE_MATCH_1}")
        list(APPEND KUN2WYT_ENTRIES "${CMAKE_MATCH_1}|${CMAKE_MATCH_5}|${heading}")
    else()
        message(FATAL_ERROR "CHANGELOG.md: '${heading}' heads no entry here: write "
                            "'## [MAJOR.MINOR.PATCH] - YYYY-MM-DD', or '## [Unreleased]' atop all others")
    endif()
endforeach()
if(NOT KUN2WYT_RELEASE)
    message(FATAL_ERROR "CHANGELOG.md dates no release: write '## [MAJOR.MINOR.PATCH] - YYYY-MM-DD'")
endif()
# Git, if this folder is a work tree's top itself (no prefix): a tree inside another's is no commit of it.
set(count unknown)
set(watched "${top}/CHANGELOG.md")
macro(kun2wyt_git out)
    execute_process(COMMAND git ${ARGN} WORKING_DIRECTORY "${top}" RESULT_VARIABLE failed
                    OUTPUT_VARIABLE ${out} OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endmacro()
kun2wyt_git(found rev-parse --is-shallow-repository --absolute-git-dir --show-prefix)
if(NOT failed AND found MATCHES "^(true|false)\n([^\n]+)$")
    list(APPEND watched "${CMAKE_MATCH_2}/HEAD" "${CMAKE_MATCH_2}/logs/HEAD") # a new commit or checkout
    kun2wyt_git(KUN2WYT_COMMIT log -1 --abbrev=7 --format=%h)
    kun2wyt_git(KUN2WYT_EPOCH log -1 --format=%ct)
    kun2wyt_git(head rev-parse HEAD)
    kun2wyt_git(changed status --porcelain --untracked-files=no)
    string(COMPARE NOTEQUAL "${changed}" "" KUN2WYT_DIRTY)
    # R's commit: the one that added its heading's line, on any side of a merge. A shallow history's first
    # commit seems to add every line, and one that added it twice (two cuts merged) has none to count from.
    kun2wyt_git(dated log --full-history "-S\n${dating}\n" --format=%H -- CHANGELOG.md)
    if(found MATCHES "^false" AND dated MATCHES "^[0-9a-f]+$")
        kun2wyt_git(count rev-list --count "${dated}..HEAD")
    endif()
endif()
if(NOT CMAKE_SCRIPT_MODE_FILE) # reconfigures for its version
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${watched})
endif()
set(KUN2WYT_IS_RELEASE FALSE)
if(EXISTS "${top}/VERSION" AND NOT KUN2WYT_COMMIT) # a development source release, checked
    file(STRINGS "${top}/VERSION" KUN2WYT_VERSION LIMIT_COUNT 1)
    set(development "([0-9]+\\.g[0-9a-f]+|unknown(\\.g[0-9a-f]+)?)(\\.dirty)?")
    if(NOT KUN2WYT_VERSION MATCHES "^${KUN2WYT_RELEASE}\\.${development}$")
        message(FATAL_ERROR "${top}/VERSION: '${KUN2WYT_VERSION}' is no development version of "
                            "${KUN2WYT_RELEASE}")
    endif()
elseif(NOT above_it AND NOT KUN2WYT_DIRTY AND (NOT KUN2WYT_COMMIT OR dated STREQUAL head))
    set(KUN2WYT_VERSION "${KUN2WYT_RELEASE}")
    set(KUN2WYT_IS_RELEASE TRUE)
elseif(NOT KUN2WYT_COMMIT)
    set(KUN2WYT_VERSION "${KUN2WYT_RELEASE}.unknown")
elseif(KUN2WYT_DIRTY)
    set(KUN2WYT_VERSION "${KUN2WYT_RELEASE}.${count}.g${KUN2WYT_COMMIT}.dirty")
else()
    set(KUN2WYT_VERSION "${KUN2WYT_RELEASE}.${count}.g${KUN2WYT_COMMIT}")
endif()
# The local label, after a '+'.
string(REGEX REPLACE "^([0-9.]+[0-9])\\.(g[0-9a-f]+|unknown)" "\\1+\\2"
       KUN2WYT_PYTHON_VERSION "${KUN2WYT_VERSION}")
if(CMAKE_SCRIPT_MODE_FILE AND (KUN2WYT_IS_RELEASE OR NOT KUN2WYT_COMMIT)) # date(1) knows the calendar
    execute_process(COMMAND date -u -d "${KUN2WYT_DATE}" +%s OUTPUT_VARIABLE KUN2WYT_EPOCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT FIELD)
        set(FIELD version)
    endif()
    set(answer "")
    foreach(field IN LISTS FIELD)
        if(NOT field MATCHES "^(release|date|version|python_version|is_release|dirty|commit|epoch|entries)$")
            message(FATAL_ERROR "no field ${field}: release, date, version, python_version, "
                                "is_release, dirty, commit, epoch, entries")
        endif()
        string(TOUPPER "KUN2WYT_${field}" field)
        list(APPEND answer "${${field}}")
    endforeach()
    string(REPLACE ";" "\n" answer "${answer}")
    # To standard output; message() writes to standard error.
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${answer}")
endif()

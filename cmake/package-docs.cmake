# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Writes what the packages say about themselves, from the one source of each: the changelog in
# Debian's format (gzipped for the .deb) and in RPM's, from CHANGELOG.md; and Debian's
# machine-readable copyright file, from the licence text.
#
# cmake -DCHANGELOG=CHANGELOG.md -DLICENSE=LICENSES/MIT.txt -DMAINTAINER="name <address>"
#       -DHOMEPAGE=url -DOUT=folder -P package-docs.cmake

# wrap(OUT TEXT WIDTH FIRST_INDENT INDENT): TEXT's words in lines of at most WIDTH columns.
function(wrap out text width first_indent indent)
    string(REGEX REPLACE "[ \t\n]+" ";" words "${text}")
    set(result "")
    set(line "${first_indent}")
    set(fresh TRUE)
    foreach(word IN LISTS words)
        string(LENGTH "${line} ${word}" length)
        if(fresh)
            string(APPEND line "${word}")
            set(fresh FALSE)
        elseif(length GREATER width)
            string(APPEND result "${line}\n")
            set(line "${indent}${word}")
        else()
            string(APPEND line " ${word}")
        endif()
    endforeach()
    set(${out} "${result}${line}\n" PARENT_SCOPE)
endfunction()

# weekday(OUT YEAR MONTH DAY): the day's English abbreviation (Sakamoto's method).
function(weekday out year month day)
    set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
    math(EXPR index "${month} - 1")
    list(GET offsets ${index} offset)
    if(month LESS 3)
        math(EXPR year "${year} - 1")
    endif()
    math(EXPR n "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${day}) % 7")
    set(names Sun Mon Tue Wed Thu Fri Sat)
    list(GET names ${n} name)
    set(${out} "${name}" PARENT_SCOPE)
endfunction()

set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)

# Reads CHANGELOG.md into versions: for each "## [VERSION] - YYYY-MM-DD", its items, each
# prefixed with the "### Section" it stands under.
# A ';' would split CMake's lists: it stands as a placeholder until the files are written.
file(READ "${CHANGELOG}" text)
string(REPLACE ";" "<semicolon>" text "${text}")
string(REPLACE "\n" ";" lines "${text}")
set(versions "")
set(section "")
set(item "")
macro(end_item)
    if(NOT item STREQUAL "")
        list(APPEND items_${version} "${section}: ${item}")
        set(item "")
    endif()
endmacro()
foreach(line IN LISTS lines)
    if(line MATCHES "^## \\[([^]]+)\\] - ([0-9]+)-([0-9]+)-([0-9]+)$")
        end_item()
        set(version "${CMAKE_MATCH_1}")
        list(APPEND versions "${version}")
        set(date_${version} "${CMAKE_MATCH_2};${CMAKE_MATCH_3};${CMAKE_MATCH_4}")
        set(items_${version} "")
    elseif(line MATCHES "^### (.+)$")
        end_item()
        set(section "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^- (.+)$" AND DEFINED version)
        end_item()
        set(item "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^  +(.+)$" AND NOT item STREQUAL "")
        string(APPEND item " ${CMAKE_MATCH_1}")
    else()
        end_item()
    endif()
endforeach()
end_item()
if(versions STREQUAL "")
    message(FATAL_ERROR "${CHANGELOG} names no version")
endif()

# Debian orders a changelog by time: releases made on the same day get an hour each, the
# oldest 00:00, so that every entry is later than the one before it.
set(previous_date "")
set(versions_oldest_first ${versions})
list(REVERSE versions_oldest_first)
foreach(version IN LISTS versions_oldest_first)
    if(date_${version} STREQUAL previous_date)
        math(EXPR hour_${version} "${hour} + 1")
    else()
        set(hour_${version} 0)
    endif()
    set(hour ${hour_${version}})
    set(previous_date "${date_${version}}")
endforeach()

set(debian "")
set(rpm "")
foreach(version IN LISTS versions)
    list(GET date_${version} 0 year)
    list(GET date_${version} 1 month)
    list(GET date_${version} 2 day)
    math(EXPR month_index "${month} - 1")
    list(GET month_names ${month_index} month_name)
    weekday(day_name ${year} ${month} ${day})

    string(APPEND debian "kun2wyt (${version}) unstable; urgency=medium\n\n")
    string(APPEND rpm "* ${day_name} ${month_name} ${day} ${year} ${MAINTAINER} - ${version}-1\n")
    foreach(entry IN LISTS items_${version})
        wrap(debian_entry "${entry}" 80 "  * " "    ")
        string(APPEND debian "${debian_entry}")
        wrap(rpm_entry "${entry}" 80 "- " "  ")
        string(APPEND rpm "${rpm_entry}")
    endforeach()
    if(hour_${version} LESS 10)
        set(hour_${version} "0${hour_${version}}")
    endif()
    string(APPEND debian "\n -- ${MAINTAINER}  ${day_name}, ${day} ${month_name} ${year} ${hour_${version}}:00:00 +0000\n\n")
    string(APPEND rpm "\n")
endforeach()
string(STRIP "${debian}" debian)
string(STRIP "${rpm}" rpm)
string(REPLACE "<semicolon>" ";" debian "${debian}")
string(REPLACE "<semicolon>" ";" rpm "${rpm}")
file(WRITE "${OUT}/changelog" "${debian}\n")
file(WRITE "${OUT}/rpm-changelog" "${rpm}\n")

# The licence text, its copyright line apart, as a DEP-5 License paragraph.
file(STRINGS "${LICENSE}" licence_lines)
set(licence "")
set(paragraph "")
foreach(line IN LISTS licence_lines ITEMS "")
    if(line MATCHES "^Copyright|^MIT License$")
        continue()
    endif()
    if(line STREQUAL "")
        if(NOT paragraph STREQUAL "")
            string(STRIP "${paragraph}" paragraph)
            wrap(wrapped "${paragraph}" 79 " " " ")
            if(NOT licence STREQUAL "")
                string(APPEND licence " .\n")
            endif()
            string(APPEND licence "${wrapped}")
            set(paragraph "")
        endif()
    else()
        string(APPEND paragraph " ${line}")
    endif()
endforeach()
file(WRITE "${OUT}/copyright"
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: kun2wyt\n"
    "Upstream-Contact: ${MAINTAINER}\n"
    "Source: ${HOMEPAGE}\n"
    "\n"
    "Files: *\n"
    "Copyright: 2026 The kun2wyt authors\n"
    "License: MIT\n"
    "\n"
    "License: MIT\n"
    "${licence}")

# Debian keeps changelogs compressed; gzip -n leaves out the name and time that would make two
# builds differ.
find_program(GZIP gzip REQUIRED)
execute_process(COMMAND "${GZIP}" -9 -n -f "${OUT}/changelog" COMMAND_ERROR_IS_FATAL ANY)

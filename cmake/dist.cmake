# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Makes the .deb, the .rpm and the portable archive, and leaves exactly them and SHA256SUMS in
# OUT. Every time stamp in them is the commit's, and nothing of the machine that built them
# (paths, names of users or hosts, the clock) is in them, so the same commit gives the same bytes.
#
# cmake -DCPACK=cpack -DSOURCE_DIR=... -DBINARY_DIR=... -DOUT=... -DVERSION=... -P dist.cmake
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
    find_package(Git REQUIRED)
    execute_process(
        COMMAND "${GIT_EXECUTABLE}" log -1 --format=%ct
        WORKING_DIRECTORY "${SOURCE_DIR}"
        OUTPUT_VARIABLE epoch
        OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY
    )
endif()

set(work "${BINARY_DIR}/packages")
file(REMOVE_RECURSE "${work}" "${OUT}")

execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${epoch}"
            "${CPACK}" --config "${BINARY_DIR}/CPackConfig.cmake" -G "DEB;RPM" -B "${work}"
    COMMAND_ERROR_IS_FATAL ANY
)

# The portable archive: the static program and what goes with it in bin/ and share/ under one
# folder, packed by GNU tar in name order with fixed owners, modes and times. It holds files
# only, no folders: unpacked into an existing tree (~/.local), it adds its files and leaves the
# folders that are there as they are, symbolic links, modes and times alike.
set(top "kun2wyt-${VERSION}-linux-x86_64")
foreach(component IN ITEMS portable_program manuals zsh_completion docs license)
    execute_process(
        COMMAND "${CMAKE_COMMAND}" --install "${BINARY_DIR}" --component ${component} --strip
                --prefix "${work}/archive/${top}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY
    )
endforeach()
file(GLOB_RECURSE members LIST_DIRECTORIES false RELATIVE "${work}/archive" "${work}/archive/${top}/*")
list(SORT members)
list(JOIN members "\n" members)
file(WRITE "${work}/archive.list" "${members}\n")
execute_process(
    COMMAND tar --create --format=gnu --owner=0 --group=0 --numeric-owner --mode=u+rwX,go+rX,go-w
            --mtime=@${epoch} --directory "${work}/archive" --no-recursion --files-from "${work}/archive.list"
    COMMAND gzip -9 -n
    OUTPUT_FILE "${work}/${top}.tar.gz"
    COMMAND_ERROR_IS_FATAL ANY
)

file(GLOB packages LIST_DIRECTORIES false "${work}/*.deb" "${work}/*.rpm" "${work}/*.tar.gz")
list(LENGTH packages count)
if(NOT count EQUAL 3)
    message(FATAL_ERROR "expected a .deb, an .rpm and a .tar.gz, got: ${packages}")
endif()
list(SORT packages)
set(sums "")
foreach(package IN LISTS packages)
    file(COPY "${package}" DESTINATION "${OUT}")
    get_filename_component(name "${package}" NAME)
    file(SHA256 "${package}" sum)
    string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${OUT}/SHA256SUMS" "${sums}")
message(STATUS "SOURCE_DATE_EPOCH=${epoch}\n${sums}")

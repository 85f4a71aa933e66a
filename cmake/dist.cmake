# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The dist target's script (cmake/packaging.cmake): one architecture's .deb, .rpm, portable
# archive and wheel, the source release, and by packaging/generate.py their bills and SHA256SUMS,
# into OUT. Nothing of the building machine gets in: the same commit gives the same bytes.
cmake_minimum_required(VERSION 3.20)
# Every file from one and the same tree: the one that was configured and built, as it is now (a
# change since makes it another version, which the configure, refusing changes, names).
include("${SOURCE_DIR}/cmake/version.cmake")
if(NOT KUN2WYT_VERSION STREQUAL VERSION)
    message(FATAL_ERROR "the tree is ${KUN2WYT_VERSION} now, but was configured as ${VERSION}: configure again")
endif()
# Every time the release's date, or the commit's: the rule's, asked once here.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH}) # for cpack, rpmbuild, tar and the bills of materials alike
    set(ENV{SOURCE_DATE_EPOCH} "${KUN2WYT_EPOCH}")
endif()

set(work "${BINARY_DIR}/packages")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}" "${OUT}")

# The .deb's ar headers record the modes of the files CPack writes before it joins them, which
# the builder's umask decides: under a fixed umask, every builder's .deb is the same.
execute_process(
    COMMAND sh -c "umask 022 && exec \"$@\"" cpack "${CPACK}" --config "${BINARY_DIR}/CPackConfig.cmake"
            -G "DEB;RPM" -B "${work}"
    COMMAND_ERROR_IS_FATAL ANY
)

# The portable archive: the static program (from the musl build, cmake/portable.cmake) and what
# goes with it under one folder, packed by GNU tar in name order with fixed owners, modes and
# times. It holds files only, no folders: unpacked into an existing tree (~/.local), it adds its
# files and leaves the folders that are there as they are, symbolic links, modes and times alike.
set(top "kun2wyt-${VERSION}-linux-${ARCH}")
foreach(component IN LISTS COMPONENTS)
    set(tree "${BINARY_DIR}")
    if(component STREQUAL "program")
        set(tree "${BINARY_DIR}/portable")
    endif()
    execute_process(
        COMMAND "${CMAKE_COMMAND}" --install "${tree}" --component ${component} --strip --prefix "${work}/archive/${top}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY
    )
endforeach()
configure_file("${SOURCE_DIR}/packaging/uninstall.sh" "${work}/archive/${top}/share/doc/kun2wyt/uninstall.sh" COPYONLY)
execute_process(COMMAND "${PYTHON}" "${SOURCE_DIR}/packaging/generate.py" archive "${work}/archive" "${top}" "${COMPILER}"
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(
    COMMAND tar --create --format=gnu --owner=0 --group=0 --numeric-owner --mode=u+rwX,go+rX,go-w
            --mtime=@$ENV{SOURCE_DATE_EPOCH} --directory "${work}/archive" --no-recursion --files-from "${work}/archive/archive.list"
    COMMAND gzip -9 -n
    OUTPUT_FILE "${work}/${top}.tar.gz"
    COMMAND_ERROR_IS_FATAL ANY
)
# The wheel, for pip and pipx: the archive's program, byte for byte, with what it needs in a prefix.
execute_process(COMMAND "${PYTHON}" "${SOURCE_DIR}/packaging/generate.py" wheel "${work}/archive" "${top}"
                        "${KUN2WYT_PYTHON_VERSION}" "${work}" COMMAND_ERROR_IS_FATAL ANY)

# The source release, the same for every machine the packages are made for.
execute_process(COMMAND sh "${SOURCE_DIR}/packaging/source-release.sh" "${VERSION}" "${work}/kun2wyt-${VERSION}.tar.gz"
                COMMAND_ERROR_IS_FATAL ANY)

execute_process(COMMAND "${PYTHON}" "${SOURCE_DIR}/packaging/generate.py" dist "${work}" "${OUT}" "${VERSION}"
                        "${KUN2WYT_PYTHON_VERSION}" "${ARCH}" "${COMPILER}" COMMAND_ERROR_IS_FATAL ANY)

# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Makes the .deb, the .rpm and the portable archive for one architecture, each with its bill of
# materials (PACKAGE.spdx.json), and leaves them in OUT in place of that architecture's earlier
# ones, with SHA256SUMS over everything there. Every time stamp in them is the commit's, and
# nothing of the machine that built them (paths, names of users or hosts, the clock) is in
# them, so the same commit gives the same bytes.
#
# cmake -DCPACK=cpack -DSOURCE_DIR=... -DBINARY_DIR=... -DOUT=... -DVERSION=... -DARCH=x86_64
#       -DDEB_ARCH=amd64 -DCOMPILER=cc -DHOMEPAGE=url -DPYTHON=python3 -P dist.cmake
cmake_minimum_required(VERSION 3.20)
include("${CMAKE_CURRENT_LIST_DIR}/dist-contents.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/source-release.cmake")

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

# For cpack, rpmbuild and the bills of materials alike.
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")

set(work "${BINARY_DIR}/packages")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}" "${OUT}")
set(deb "kun2wyt_${VERSION}_${DEB_ARCH}.deb")
set(rpm "kun2wyt-${VERSION}-1.${ARCH}.rpm")
set(top "kun2wyt-${VERSION}-linux-${ARCH}")
set(source "kun2wyt-${VERSION}.tar.gz")
file(GLOB earlier "${OUT}/kun2wyt_*_${DEB_ARCH}.deb*" "${OUT}/kun2wyt-*.${ARCH}.rpm*" "${OUT}/kun2wyt-*-linux-${ARCH}.tar.gz*")
file(GLOB earlier_sources "${OUT}/kun2wyt-*.tar.gz*")
list(FILTER earlier_sources INCLUDE REGEX "/kun2wyt-[0-9.]+\\.tar\\.gz(\\.spdx\\.json)?$")
list(APPEND earlier ${earlier_sources})
if(earlier)
    file(REMOVE ${earlier})
endif()

# The .deb's ar headers record the modes of the files CPack writes before it joins them, which
# the builder's umask decides: under a fixed umask, every builder's .deb is the same.
execute_process(
    COMMAND sh -c "umask 022 && exec \"$@\"" cpack "${CPACK}" --config "${BINARY_DIR}/CPackConfig.cmake"
            -G "DEB;RPM" -B "${work}"
    COMMAND_ERROR_IS_FATAL ANY
)

# The portable archive: the static program and what goes with it in bin/ and share/ under one
# folder, packed by GNU tar in name order with fixed owners, modes and times. It holds files
# only, no folders: unpacked into an existing tree (~/.local), it adds its files and leaves the
# folders that are there as they are, symbolic links, modes and times alike.
function(install_into_archive tree component)
    execute_process(
        COMMAND "${CMAKE_COMMAND}" --install "${tree}" --component ${component} --strip --prefix "${work}/archive/${top}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY
    )
endfunction()
install_into_archive("${BINARY_DIR}/portable" program) # the musl build (cmake/portable.cmake)
foreach(component IN ITEMS manuals zsh_completion docs license examples modulefile)
    install_into_archive("${BINARY_DIR}" ${component})
endforeach()
# What the static program takes in, and under which licences: share/doc/kun2wyt/third-party.
static_libraries("${ARCH}" "${COMPILER}")
third_party_notice("${work}/archive/${top}/share/doc/kun2wyt/third-party")
# Its uninstall: the script, and the list of its files and their folders, which the script
# removes once they are empty (an unpacked archive cannot tell which folders were there before).
set(doc "${work}/archive/${top}/share/doc/kun2wyt")
configure_file("${SOURCE_DIR}/packaging/uninstall.sh" "${doc}/uninstall.sh" COPYONLY)
file(TOUCH "${doc}/files")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${work}/archive/${top}" "${work}/archive/${top}/*")
list(SORT files)
set(folders "")
foreach(file IN LISTS files)
    get_filename_component(folder "${file}" DIRECTORY)
    while(NOT folder STREQUAL "")
        list(APPEND folders "${folder}/")
        get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders)
list(JOIN files "\n" entries)
list(JOIN folders "\n" folders)
file(WRITE "${doc}/files" "${entries}\n${folders}\n")
list(TRANSFORM files PREPEND "${top}/" OUTPUT_VARIABLE members)
list(JOIN members "\n" members)
file(WRITE "${work}/archive.list" "${members}\n")
execute_process(
    COMMAND tar --create --format=gnu --owner=0 --group=0 --numeric-owner --mode=u+rwX,go+rX,go-w
            --mtime=@${epoch} --directory "${work}/archive" --no-recursion --files-from "${work}/archive.list"
    COMMAND gzip -9 -n
    OUTPUT_FILE "${work}/${top}.tar.gz"
    COMMAND_ERROR_IS_FATAL ANY
)

# The source release, the same for every machine the packages are made for.
source_release("${work}/${source}")

foreach(package IN ITEMS "${deb}" "${rpm}" "${top}.tar.gz")
    if(NOT EXISTS "${work}/${package}")
        message(FATAL_ERROR "${package} was not made")
    endif()
endforeach()

# The bills of materials, with the checksum of the program as each package holds it. The
# packages' program needs the system's C library, of the version their dependency asks.
file(MAKE_DIRECTORY "${work}/deb" "${work}/rpm")
execute_process(COMMAND dpkg-deb -x "${work}/${deb}" "${work}/deb" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND dpkg-deb -f "${work}/${deb}" Depends OUTPUT_VARIABLE deb_depends
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND rpm2cpio "${work}/${rpm}" COMMAND cpio -idm --quiet WORKING_DIRECTORY "${work}/rpm"
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND rpm -qRp "${work}/${rpm}" OUTPUT_VARIABLE rpm_requires COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "GLIBC_[0-9.]+" glibc_versions "${rpm_requires}")
list(SORT glibc_versions COMPARE NATURAL)
list(POP_BACK glibc_versions newest_glibc)
set(glibc "glibc||Organization: The GNU C Library project|pkg:generic/glibc|LGPL-2.1-or-later|the system's own")
set(debian "Organization: Debian")
foreach(library IN ITEMS musl gcc) # as a package URL writes a version: with '+' escaped
    string(REPLACE "+" "%2B" ${library}_purl_version "${${library}_version}")
endforeach()
set(musl "musl|${musl_version}|${debian}|pkg:deb/debian/${musl_package}@${musl_purl_version}?arch=${musl_arch}|MIT")
set(gcc "libgcc|${gcc_version}|${debian}|pkg:deb/debian/${gcc_package}@${gcc_purl_version}?arch=${gcc_arch}")
set(gcc "${gcc}|GPL-3.0-or-later WITH GCC-exception-3.1")
# bill(PACKAGE PURL PROGRAM PATH LINK LIBRARY...): PACKAGE's bill of materials, beside it.
function(bill package purl program path link)
    execute_process(
        COMMAND "${PYTHON}" "${SOURCE_DIR}/packaging/spdx.py" "${VERSION}" "${HOMEPAGE}" "${work}/${package}.spdx.json"
                "${work}/${package}" "${purl}" "${program}" "${path}" ${link} ${ARGN}
        COMMAND_ERROR_IS_FATAL ANY
    )
endfunction()
bill("${deb}" "pkg:deb/kun2wyt/kun2wyt@${VERSION}?arch=${DEB_ARCH}" "${work}/deb/usr/bin/kun2wyt" usr/bin/kun2wyt
     DYNAMIC_LINK "${glibc}|the system's C library, which the package depends on: ${deb_depends}")
bill("${rpm}" "pkg:rpm/kun2wyt/kun2wyt@${VERSION}-1?arch=${ARCH}" "${work}/rpm/usr/bin/kun2wyt" usr/bin/kun2wyt
     DYNAMIC_LINK "${glibc}|the system's C library, which the package requires: libc.so.6(${newest_glibc})")
file(SHA256 "${work}/${top}.tar.gz" archive_sum)
bill("${top}.tar.gz" "pkg:generic/kun2wyt@${VERSION}?checksum=sha256:${archive_sum}" "${work}/archive/${top}/bin/kun2wyt"
     "${top}/bin/kun2wyt" STATIC_LINK "${musl}|Debian source package ${musl_origin}|the C library, in the program"
     "${gcc}|Debian source package ${gcc_origin}|GCC's run-time library and start files, in the program")
file(SHA256 "${work}/${source}" source_sum)
bill("${source}" "pkg:generic/kun2wyt@${VERSION}?checksum=sha256:${source_sum}" - - SOURCE)

foreach(package IN ITEMS "${deb}" "${rpm}" "${top}.tar.gz" "${source}")
    file(COPY "${work}/${package}" "${work}/${package}.spdx.json" DESTINATION "${OUT}")
endforeach()
file(GLOB made LIST_DIRECTORIES false RELATIVE "${OUT}" "${OUT}/*.deb*" "${OUT}/*.rpm*" "${OUT}/*.tar.gz*")
list(SORT made)
set(sums "")
foreach(name IN LISTS made)
    file(SHA256 "${OUT}/${name}" sum)
    string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${OUT}/SHA256SUMS" "${sums}")
message(STATUS "SOURCE_DATE_EPOCH=${epoch}\n${sums}")

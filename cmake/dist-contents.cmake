# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# What the portable archive says it is made of (included by cmake/dist.cmake): where the
# libraries that its static program takes in come from, and the notice and licences that go
# with them. packaging/spdx.py writes each package's bill of materials from these facts.

# debian_origin(PREFIX PATH): the Debian package that installed PATH, as PREFIX_package,
# PREFIX_version and PREFIX_arch, and the source package that holds the code of PATH as
# PREFIX_source and PREFIX_source_version: the package's Built-Using where it has one (a cross
# toolchain's package is built from another's source), its Source otherwise. PREFIX_origin says
# both.
function(debian_origin prefix path)
    get_filename_component(path "${path}" REALPATH)
    execute_process(COMMAND dpkg-query --search "${path}" OUTPUT_VARIABLE owner
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE ": .*" "" package "${owner}") # with its architecture, where it has one
    execute_process(COMMAND dpkg-query --show "--showformat=\${Package}|\${Version}|\${Architecture}|\${source:Package}|\${source:Version}|\${Built-Using}"
                            "${package}" OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
    string(REPLACE "|" ";" fields "${fields}")
    list(GET fields 0 package)
    list(GET fields 1 version)
    list(GET fields 2 arch)
    list(GET fields 3 source)
    list(GET fields 4 source_version)
    list(GET fields 5 built_using)
    set(origin "${source} ${source_version}")
    if(built_using MATCHES "^([^ ,]+) \\(= ([^)]+)\\)")
        set(origin "${origin}, built from ${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
        set(source "${CMAKE_MATCH_1}")
        set(source_version "${CMAKE_MATCH_2}")
    endif()
    foreach(field IN ITEMS package version arch source source_version origin)
        set(${prefix}_${field} "${${field}}" PARENT_SCOPE)
    endforeach()
endfunction()

# static_libraries(PROCESSOR COMPILER): what the portable program takes in besides its own code:
# musl (musl_*), the C library, and GCC's run-time library and start files (gcc_*), from the
# packages the musl toolchain file links them from.
macro(static_libraries processor compiler)
    execute_process(COMMAND "${compiler}" -print-libgcc-file-name OUTPUT_VARIABLE libgcc_a
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${compiler}" -dumpfullversion OUTPUT_VARIABLE gcc_upstream
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    debian_origin(musl "/usr/lib/${processor}-linux-musl/libc.a")
    debian_origin(gcc "${libgcc_a}")
    string(REGEX REPLACE "-[^-]*$" "" musl_upstream "${musl_version}")
endmacro()

# third_party_notice(FOLDER): the notice, musl's Debian copyright file, and the licence of GCC's
# run-time library with its exception, into FOLDER.
function(third_party_notice folder)
    file(MAKE_DIRECTORY "${folder}")
    configure_file("/usr/share/doc/${musl_package}/copyright" "${folder}/musl.copyright" COPYONLY)
    configure_file(/usr/share/common-licenses/GPL-3 "${folder}/GPL-3" COPYONLY)
    # The exception's text, as GCC's Debian copyright file holds it.
    file(READ "/usr/share/doc/${gcc_package}/copyright" gcc_copyright)
    string(FIND "${gcc_copyright}" "GCC RUNTIME LIBRARY EXCEPTION" start)
    set(last_words "requirements of the license of GCC.\n")
    string(FIND "${gcc_copyright}" "${last_words}" end)
    if(start LESS 0 OR end LESS start)
        message(FATAL_ERROR "no GCC Runtime Library Exception in ${gcc_package}'s copyright file")
    endif()
    string(LENGTH "${last_words}" length)
    math(EXPR length "${end} + ${length} - ${start}")
    string(SUBSTRING "${gcc_copyright}" ${start} ${length} exception)
    file(WRITE "${folder}/GCC-exception-3.1" "${exception}")
    file(WRITE "${folder}/NOTICE" "\
bin/kun2wyt is kun2wyt ${VERSION} (MIT licence: ../LICENSE), linked statically with:

- musl ${musl_upstream}, the C library.
  Debian package:        ${musl_package} ${musl_version} (${musl_arch})
  Debian source package: ${musl_origin}
  It is under the MIT licence, with some parts in the public domain, as musl.copyright says.

- GCC's run-time library (libgcc) and start files, ${gcc_upstream}.
  Debian package:        ${gcc_package} ${gcc_version} (${gcc_arch})
  Debian source package: ${gcc_origin}
  They are under the GNU General Public License, version 3 or later (GPL-3 here), with the GCC
  Runtime Library Exception 3.1 (GCC-exception-3.1 here), which lets a program that a compiler
  has linked with them be conveyed under terms of its own choosing.

Nothing else is linked in: no part of the C++ run-time library, and nothing under the GNU Lesser
General Public License. The source of both libraries, as they were built, is Debian's source
packages named above (apt-get source ${musl_source}=${musl_source_version} ${gcc_source}=${gcc_source_version} on a Debian
system with deb-src entries, or from Debian's archive of past packages). kun2wyt's own source,
of this version as of every other, is at ${HOMEPAGE}.
")
endfunction()

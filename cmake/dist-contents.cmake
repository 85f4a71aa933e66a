# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# What the packages say they are made of (included by cmake/dist.cmake): where the libraries
# that the static program takes in come from, the notice and licences that go with them in the
# portable archive, and a bill of materials in SPDX 2.3 JSON for each package.

# debian_origin(PREFIX PATH): the Debian package that installed PATH, as PREFIX_package,
# PREFIX_version, PREFIX_source and PREFIX_source_version.
function(debian_origin prefix path)
    get_filename_component(path "${path}" REALPATH)
    execute_process(COMMAND dpkg-query --search "${path}" OUTPUT_VARIABLE owner
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE ":.*" "" package "${owner}")
    execute_process(COMMAND dpkg-query --show "--showformat=\${Version}\\n\${source:Package}\\n\${source:Version}"
                            "${package}" OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
    string(REPLACE "\n" ";" fields "${fields}")
    list(GET fields 0 version)
    list(GET fields 1 source)
    list(GET fields 2 source_version)
    foreach(field IN ITEMS package version source source_version)
        set(${prefix}_${field} "${${field}}" PARENT_SCOPE)
    endforeach()
endfunction()

# static_libraries(COMPILER): what a static link by COMPILER takes in besides the program: the
# GNU C Library (glibc_*) and GCC's run-time library (gcc_*), each with its upstream version.
macro(static_libraries compiler)
    execute_process(COMMAND "${compiler}" -print-file-name=libc.a OUTPUT_VARIABLE libc_a
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${compiler}" -print-libgcc-file-name OUTPUT_VARIABLE libgcc_a
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND "${compiler}" -dumpfullversion OUTPUT_VARIABLE gcc_upstream
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    file(WRITE "${work}/glibc-version.c" "#include <features.h>\nglibc __GLIBC__.__GLIBC_MINOR__\n")
    execute_process(COMMAND "${compiler}" -E -P "${work}/glibc-version.c" OUTPUT_VARIABLE glibc_upstream
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCH "glibc ([0-9]+) *\\. *([0-9]+)" glibc_upstream "${glibc_upstream}")
    set(glibc_upstream "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}")
    debian_origin(glibc "${libc_a}")
    debian_origin(gcc "${libgcc_a}")
endmacro()

# third_party_notice(FOLDER): the notice, the Debian copyright files of both libraries (which
# list every licence of their parts) and the licence texts they name, into FOLDER.
function(third_party_notice folder)
    file(MAKE_DIRECTORY "${folder}")
    foreach(library IN ITEMS glibc gcc)
        configure_file("/usr/share/doc/${${library}_package}/copyright" "${folder}/${library}.copyright" COPYONLY)
    endforeach()
    configure_file(/usr/share/common-licenses/LGPL-2.1 "${folder}/LGPL-2.1" COPYONLY)
    configure_file(/usr/share/common-licenses/GPL-3 "${folder}/GPL-3" COPYONLY)
    file(WRITE "${folder}/NOTICE" "\
bin/kun2wyt is kun2wyt ${VERSION} (MIT licence: ../LICENSE), linked statically with:

- the GNU C Library (glibc) ${glibc_upstream}, from Debian's package ${glibc_package}
  ${glibc_version}, built from Debian's source package ${glibc_source} ${glibc_source_version}.
  It is free software under the GNU Lesser General Public License, version 2.1 or later
  (LGPL-2.1 here), with some parts under other free licences, as glibc.copyright lists.

- GCC's run-time library (libgcc) ${gcc_upstream}, from Debian's package ${gcc_package}
  ${gcc_version}, built from Debian's source package ${gcc_source} ${gcc_source_version}.
  It is under the GNU General Public License, version 3 or later (GPL-3 here), with the GCC
  Runtime Library Exception 3.1 (in gcc.copyright), which lets it be linked into any program.

The complete source of those libraries, as they were built, is Debian's source packages named
above (apt-get source ${glibc_source}=${glibc_source_version} ${gcc_source}=${gcc_source_version} on a
Debian system with deb-src entries, or from Debian's archive of past packages).

To relink kun2wyt with a changed or another C library, as the LGPL allows: kun2wyt's complete
source, of this version (${VERSION}) as of every other, is at ${HOMEPAGE}; build
it as its README says, against the library of your choice.
")
endfunction()

# spdx(FILE PACKAGE_FILE PROGRAM LINK DEPENDS): an SPDX 2.3 document in JSON, at FILE, for the
# package file PACKAGE_FILE, whose program PROGRAM is linked as LINK (STATIC: glibc and libgcc
# are in it; DYNAMIC: it needs the system's glibc, as DEPENDS says). Its times are the commit's,
# and its namespace comes from the package's checksum, so the same package always gets the same
# document.
function(spdx file package_file program link depends)
    get_filename_component(package_name "${package_file}" NAME)
    file(SHA256 "${package_file}" package_sum)
    file(SHA256 "${program}" program_sum)
    string(TIMESTAMP created "%Y-%m-%dT%H:%M:%SZ" UTC) # SOURCE_DATE_EPOCH: the commit's time
    set(glibc_licence "LGPL-2.1-or-later")
    set(gcc_licence "GPL-3.0-or-later WITH GCC-exception-3.1")
    set(glibc_name glibc)
    set(gcc_name libgcc)
    if(link STREQUAL "STATIC")
        set(libraries glibc gcc)
        set(relationship STATIC_LINK)
        set(glibc_shown "${glibc_upstream}")
        set(glibc_comment "Debian package ${glibc_package} ${glibc_version}, included in the program")
        set(glibc_origin "built from Debian's source package ${glibc_source} ${glibc_source_version}")
        set(gcc_shown "${gcc_upstream}")
        set(gcc_comment "Debian package ${gcc_package} ${gcc_version}, included in the program")
        set(gcc_origin "built from Debian's source package ${gcc_source} ${gcc_source_version}")
    else()
        set(libraries glibc)
        set(relationship DYNAMIC_LINK)
        set(glibc_shown "${depends}")
        set(glibc_comment "the system's C library, which the package depends on: ${depends}")
        set(glibc_origin "the system's own")
    endif()
    set(library_packages "")
    set(library_relationships "")
    foreach(library IN LISTS libraries)
        string(APPEND library_packages ",
    {
      \"SPDXID\": \"SPDXRef-Package-${library}\",
      \"name\": \"${${library}_name}\",
      \"versionInfo\": \"${${library}_shown}\",
      \"supplier\": \"NOASSERTION\",
      \"downloadLocation\": \"NOASSERTION\",
      \"sourceInfo\": \"${${library}_origin}\",
      \"filesAnalyzed\": false,
      \"licenseConcluded\": \"NOASSERTION\",
      \"licenseDeclared\": \"${${library}_licence}\",
      \"copyrightText\": \"NOASSERTION\",
      \"comment\": \"${${library}_comment}\"
    }")
        string(APPEND library_relationships ",
    { \"spdxElementId\": \"SPDXRef-Package-kun2wyt\", \"relationshipType\": \"${relationship}\", \"relatedSpdxElement\": \"SPDXRef-Package-${library}\" }")
    endforeach()
    file(WRITE "${file}" "{
  \"spdxVersion\": \"SPDX-2.3\",
  \"dataLicense\": \"CC0-1.0\",
  \"SPDXID\": \"SPDXRef-DOCUMENT\",
  \"name\": \"${package_name}\",
  \"documentNamespace\": \"${HOMEPAGE}/spdx/${package_name}-${package_sum}\",
  \"creationInfo\": {
    \"created\": \"${created}\",
    \"creators\": [ \"Organization: The kun2wyt authors\", \"Tool: kun2wyt cmake/dist-contents.cmake\" ]
  },
  \"documentDescribes\": [ \"SPDXRef-Package-file\" ],
  \"packages\": [
    {
      \"SPDXID\": \"SPDXRef-Package-file\",
      \"name\": \"kun2wyt\",
      \"versionInfo\": \"${VERSION}\",
      \"packageFileName\": \"${package_name}\",
      \"supplier\": \"Organization: The kun2wyt authors\",
      \"downloadLocation\": \"NOASSERTION\",
      \"homepage\": \"${HOMEPAGE}\",
      \"filesAnalyzed\": false,
      \"checksums\": [ { \"algorithm\": \"SHA256\", \"checksumValue\": \"${package_sum}\" } ],
      \"licenseConcluded\": \"NOASSERTION\",
      \"licenseDeclared\": \"MIT\",
      \"copyrightText\": \"Copyright (c) 2026 The kun2wyt authors\"
    },
    {
      \"SPDXID\": \"SPDXRef-Package-kun2wyt\",
      \"name\": \"kun2wyt\",
      \"versionInfo\": \"${VERSION}\",
      \"primaryPackagePurpose\": \"APPLICATION\",
      \"supplier\": \"Organization: The kun2wyt authors\",
      \"downloadLocation\": \"NOASSERTION\",
      \"homepage\": \"${HOMEPAGE}\",
      \"filesAnalyzed\": false,
      \"checksums\": [ { \"algorithm\": \"SHA256\", \"checksumValue\": \"${program_sum}\" } ],
      \"licenseConcluded\": \"NOASSERTION\",
      \"licenseDeclared\": \"MIT\",
      \"copyrightText\": \"Copyright (c) 2026 The kun2wyt authors\",
      \"comment\": \"the program, bin/kun2wyt\"
    }${library_packages}
  ],
  \"relationships\": [
    { \"spdxElementId\": \"SPDXRef-DOCUMENT\", \"relationshipType\": \"DESCRIBES\", \"relatedSpdxElement\": \"SPDXRef-Package-file\" },
    { \"spdxElementId\": \"SPDXRef-Package-file\", \"relationshipType\": \"CONTAINS\", \"relatedSpdxElement\": \"SPDXRef-Package-kun2wyt\" }${library_relationships}
  ]
}
")
endfunction()

# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The packages, by CPack from cmake/install-rules.cmake's components as packaging/metadata.json
# picks them; `cmake --build PRESET --target dist` makes them all (cmake/dist.cmake).

set(CPACK_PACKAGE_VERSION "${KUN2WYT_VERSION}")
set(CPACK_PACKAGE_VENDOR "${KUN2WYT_AUTHORS}")
set(CPACK_PACKAGE_CONTACT "${KUN2WYT_MAINTAINER}")
string(JSON CPACK_PACKAGE_DESCRIPTION GET "${KUN2WYT_METADATA}" description)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# Each package takes its components (cmake/cpack-generators.cmake picks them), all in one package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
foreach(kind IN ITEMS DEB RPM archive) # a JSON list of names, as a CMake list
    string(JSON components GET "${KUN2WYT_METADATA}" components ${kind})
    string(REGEX REPLACE "[][\" \n]" "" components "${components}")
    string(REPLACE "," ";" CPACK_KUN2WYT_${kind}_COMPONENTS "${components}")
endforeach()
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/cpack-generators.cmake")

# Named for the machine the program is built for, which a cross build's host is not.
set(KUN2WYT_ARCH "${CMAKE_SYSTEM_PROCESSOR}")
string(JSON CPACK_DEBIAN_PACKAGE_ARCHITECTURE ERROR_VARIABLE unknown GET "${KUN2WYT_METADATA}" architectures ${KUN2WYT_ARCH})
set(CPACK_RPM_PACKAGE_ARCHITECTURE "${KUN2WYT_ARCH}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_LICENSE "${KUN2WYT_LICENCE}")
set(CPACK_RPM_PACKAGE_GROUP "Applications/Engineering")
string(SUBSTRING "${KUN2WYT_SUMMARY}" 0 1 first) # capitalised, as RPM's summaries are
string(TOUPPER "${first}" capital)
string(REGEX REPLACE "^${first}" "${capital}" CPACK_RPM_PACKAGE_SUMMARY "${KUN2WYT_SUMMARY}")
set(CPACK_RPM_CHANGELOG_FILE "${package_docs}/rpm-changelog")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# The system owns the folders the package puts files in: each up to /usr/share, and the licences'.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/licenses)
foreach(folder IN ITEMS "${CMAKE_INSTALL_MANDIR}/man1" "${completions}" "${fish_completions}" "${zsh_completions}")
    while(NOT folder STREQUAL CMAKE_INSTALL_DATAROOTDIR)
        list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION "/usr/${folder}")
        get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
endforeach()
set(CPACK_RPM_USER_FILELIST "%license /usr/share/licenses/kun2wyt/LICENSE" "%doc /usr/${doc_dir}/README.md"
                            "%doc /usr/${doc_dir}/CHANGELOG.md" "%doc /usr/${doc_dir}/converting-many-files.md")
# No clock time and no host name in the package: its build time and file times are the
# release's date, or the commit's (SOURCE_DATE_EPOCH, set by cmake/dist.cmake).
string(CONCAT CPACK_RPM_SPEC_MORE_DEFINE
    "%define packager ${KUN2WYT_MAINTAINER}\n"
    "%define _buildhost reproducible\n"
    "%define use_source_date_epoch_as_buildtime 1\n"
    "%define clamp_mtime_to_source_date_epoch 1\n"
)

set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/cpack-staged-files.cmake")

include(CPack)

set(KUN2WYT_DIST_DIR "${PROJECT_BINARY_DIR}/dist" CACHE PATH "Where the dist target leaves the packages")
add_custom_target(
    dist
    COMMAND "${CMAKE_COMMAND}" "-DCPACK=${CMAKE_CPACK_COMMAND}" "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}"
            "-DBINARY_DIR=${PROJECT_BINARY_DIR}" "-DOUT=${KUN2WYT_DIST_DIR}" "-DVERSION=${KUN2WYT_VERSION}"
            "-DARCH=${KUN2WYT_ARCH}" "-DCOMPILER=${CMAKE_C_COMPILER}" "-DPYTHON=${Python3_EXECUTABLE}"
            "-DCOMPONENTS=${CPACK_KUN2WYT_archive_COMPONENTS}" -P "${PROJECT_SOURCE_DIR}/cmake/dist.cmake"
    DEPENDS kun2wyt man_page $<$<BOOL:${KUN2WYT_PORTABLE}>:kun2wyt_portable>
    USES_TERMINAL
    VERBATIM
    COMMENT "Packages in ${KUN2WYT_DIST_DIR}"
)

# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# The packages: a .deb and an .rpm of the system build, made by CPack, and the portable archive
# of the static one. `cmake --build PRESET --target dist` makes all three and their checksums
# (cmake/dist.cmake).
set(CPACK_PACKAGE_NAME kun2wyt)
set(CPACK_PACKAGE_VENDOR "The kun2wyt authors")
set(CPACK_PACKAGE_CONTACT "${KUN2WYT_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front end of the .kun to .wyt level-scheme converter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "kun2wyt checks that a .kun nuclear level-scheme file opens for reading, checks\n"
    "the conversion options, settles the name of the .wyt output file (given with\n"
    "-o, or derived from the input name), creates it empty and reports both names.\n"
    "It never overwrites its input, and is quiet and fast to start, for batch\n"
    "scripts that run it over thousands of files."
)
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSES/MIT.txt")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# Each package takes the components it needs, all in one package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/cpack-generators.cmake")

# Named for the machine the program is built for, which a cross build's host is not.
set(KUN2WYT_ARCH "${CMAKE_SYSTEM_PROCESSOR}")
if(KUN2WYT_ARCH STREQUAL "x86_64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
elseif(KUN2WYT_ARCH STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
set(CPACK_RPM_PACKAGE_ARCHITECTURE "${KUN2WYT_ARCH}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_RPM_PACKAGE_GROUP "Applications/Engineering")
set(CPACK_RPM_PACKAGE_SUMMARY "Front end of the .kun to .wyt level-scheme converter") # capitalised, as RPM's are
set(CPACK_RPM_CHANGELOG_FILE "${package_docs}/rpm-changelog")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# The system owns these folders; the package only puts files in them.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/share/man /usr/share/man/man1 /usr/share/bash-completion /usr/share/bash-completion/completions
    /usr/share/zsh /usr/share/zsh/site-functions /usr/share/fish /usr/share/fish/vendor_completions.d
    /usr/share/licenses)
set(CPACK_RPM_USER_FILELIST "%license /usr/share/licenses/kun2wyt/LICENSE"
    "%doc /usr/share/doc/kun2wyt/README.md" "%doc /usr/share/doc/kun2wyt/CHANGELOG.md")
# No clock time and no host name in the package: its build time and file times are the
# commit's (SOURCE_DATE_EPOCH, set by cmake/dist.cmake).
string(CONCAT CPACK_RPM_SPEC_MORE_DEFINE
    "%define packager ${KUN2WYT_MAINTAINER}\n"
    "%define _buildhost reproducible\n"
    "%define use_source_date_epoch_as_buildtime 1\n"
    "%define clamp_mtime_to_source_date_epoch 1\n"
)

set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/cpack-staged-files.cmake")

include(CPack)

find_package(Python3 COMPONENTS Interpreter) # for the bills of materials
set(KUN2WYT_DIST_DIR "${PROJECT_BINARY_DIR}/dist" CACHE PATH "Where the dist target leaves the packages")
add_custom_target(
    dist
    COMMAND "${CMAKE_COMMAND}" "-DCPACK=${CMAKE_CPACK_COMMAND}" "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}"
            "-DBINARY_DIR=${PROJECT_BINARY_DIR}" "-DOUT=${KUN2WYT_DIST_DIR}" "-DVERSION=${PROJECT_VERSION}"
            "-DARCH=${KUN2WYT_ARCH}" "-DDEB_ARCH=${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}"
            "-DCOMPILER=${CMAKE_C_COMPILER}" "-DHOMEPAGE=${PROJECT_HOMEPAGE_URL}" "-DPYTHON=${Python3_EXECUTABLE}" -P
            "${PROJECT_SOURCE_DIR}/cmake/dist.cmake"
    DEPENDS kun2wyt docs $<$<BOOL:${KUN2WYT_PORTABLE}>:kun2wyt_portable>
    USES_TERMINAL
    VERBATIM
    COMMENT "Packages in ${KUN2WYT_DIST_DIR}"
)

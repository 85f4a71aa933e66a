# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# What is installed, in components that the packages pick from (cmake/cpack-generators.cmake):
# program          the program: as the system packages carry it, or, from the portable build
#                  tree (cmake/portable.cmake), as the portable archive does
# manuals          the man page, and the bash and fish completion
# zsh_completion   the zsh completion where zsh looks for it outside Debian (site-functions)
# zsh_debian       the zsh completion where Debian's zsh looks for it (vendor-completions)
# docs, license    README, CHANGELOG and the licence beside them, as the archive and a plain
#                  install from source carry them
# debian_docs      the copyright file and changelog in Debian's formats
# rpm_license      the licence where RPM-based systems keep licences
# examples         the example input, as every package and a plain install carry it
# modulefile       the modulefile for environment modules and Lmod, as the archive and a plain
#                  install carry it
# uninstall        the uninstall script and the list of what a plain install put where
include(GNUInstallDirs)

set(KUN2WYT_MAINTAINER "kun2wyt maintainers <maintainers@users.noreply.c-seed-0cc01bab.example>")
set(doc_dir "${CMAKE_INSTALL_DATAROOTDIR}/doc/kun2wyt")
# Folders made by an install are readable and searchable by all, whatever the installer's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)

# Before any file: which of the folders below are not there yet (cmake/install-list.cmake).
set(completions "${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions")
set(fish_completions "${CMAKE_INSTALL_DATAROOTDIR}/fish/vendor_completions.d")
set(zsh_completions "${CMAKE_INSTALL_DATAROOTDIR}/zsh/site-functions")
set(folders "${CMAKE_INSTALL_BINDIR}" "${CMAKE_INSTALL_MANDIR}/man1" "${completions}" "${fish_completions}"
            "${zsh_completions}" "${doc_dir}/examples" "${CMAKE_INSTALL_DATAROOTDIR}/modulefiles/kun2wyt")
install(CODE "set(kun2wyt_folders \"${folders}\")
set(kun2wyt_binary_dir \"${PROJECT_BINARY_DIR}\")
set(kun2wyt_doc_dir \"${doc_dir}\")" COMPONENT uninstall)
install(SCRIPT cmake/install-list.cmake COMPONENT uninstall)

# Distributions keep man pages and changelogs compressed; gzip -n leaves out the name and time
# that would make two builds differ.
find_program(GZIP gzip REQUIRED)
set(man_page "${PROJECT_BINARY_DIR}/kun2wyt.1.gz")
add_custom_command(
    OUTPUT "${man_page}"
    COMMAND "${GZIP}" -9 -n -c "${PROJECT_SOURCE_DIR}/docs/kun2wyt.1" > "${man_page}"
    DEPENDS docs/kun2wyt.1
    VERBATIM
)
set(package_docs "${PROJECT_BINARY_DIR}/package-docs")
add_custom_command(
    OUTPUT "${package_docs}/changelog.gz" "${package_docs}/rpm-changelog" "${package_docs}/copyright"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${package_docs}"
    COMMAND "${CMAKE_COMMAND}" "-DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md"
            "-DLICENSE=${PROJECT_SOURCE_DIR}/LICENSES/MIT.txt" "-DMAINTAINER=${KUN2WYT_MAINTAINER}"
            "-DHOMEPAGE=${PROJECT_HOMEPAGE_URL}" "-DOUT=${package_docs}" -P
            "${PROJECT_SOURCE_DIR}/cmake/package-docs.cmake"
    DEPENDS CHANGELOG.md LICENSES/MIT.txt cmake/package-docs.cmake
    VERBATIM
)
add_custom_target(docs ALL DEPENDS "${man_page}" "${package_docs}/changelog.gz")

install(TARGETS kun2wyt RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT program)

install(FILES "${man_page}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT manuals)
install(FILES completion/kun2wyt.bash DESTINATION "${completions}" RENAME kun2wyt COMPONENT manuals)
install(FILES completion/kun2wyt.fish DESTINATION "${fish_completions}" COMPONENT manuals)
install(FILES completion/kun2wyt.zsh DESTINATION "${zsh_completions}" RENAME _kun2wyt COMPONENT zsh_completion)
install(FILES completion/kun2wyt.zsh DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions"
        RENAME _kun2wyt COMPONENT zsh_debian EXCLUDE_FROM_ALL)

install(FILES README.md CHANGELOG.md DESTINATION "${doc_dir}" COMPONENT docs)
install(FILES LICENSES/MIT.txt DESTINATION "${doc_dir}" RENAME LICENSE COMPONENT license)
install(FILES "${package_docs}/copyright" "${package_docs}/changelog.gz" DESTINATION "${doc_dir}"
        COMPONENT debian_docs EXCLUDE_FROM_ALL)
install(FILES LICENSES/MIT.txt DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/licenses/kun2wyt" RENAME LICENSE
        COMPONENT rpm_license EXCLUDE_FROM_ALL)
install(FILES examples/run1.kun DESTINATION "${doc_dir}/examples" COMPONENT examples)
configure_file(packaging/modulefile.in "${PROJECT_BINARY_DIR}/modulefile" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/modulefile" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/modulefiles/kun2wyt"
        RENAME "${PROJECT_VERSION}" COMPONENT modulefile)

# Last: the uninstall script, and the list of all this install put where, beside it.
install(FILES packaging/uninstall.sh DESTINATION "${doc_dir}" COMPONENT uninstall)
install(SCRIPT cmake/install-list.cmake COMPONENT uninstall)

# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# What is installed, in components that the packages pick (packaging/metadata.json): program
# (also from the portable build, cmake/portable.cmake); manuals (man page, bash and fish
# completion); zsh_completion (site-functions) or zsh_debian (vendor-completions); docs and
# license (README, CHANGELOG, the batch guide, the licence); debian_docs and rpm_license (where
# those keep them); examples; modulefile; uninstall (its script, and a plain install's list).
include(GNUInstallDirs)

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

# The man page names the version built, a development one too. Distributions keep man pages
# compressed; gzip -n leaves out the name and time that would make two builds differ.
configure_file(docs/kun2wyt.1 kun2wyt.1 COPYONLY) # reconfigures when the page changes
file(READ "${PROJECT_BINARY_DIR}/kun2wyt.1" page)
string(REPLACE "\"kun2wyt ${PROJECT_VERSION}\"" "\"kun2wyt ${KUN2WYT_VERSION}\"" page "${page}")
file(WRITE "${PROJECT_BINARY_DIR}/kun2wyt.1" "${page}")
find_program(GZIP gzip REQUIRED)
set(man_page "${PROJECT_BINARY_DIR}/kun2wyt.1.gz")
add_custom_command(
    OUTPUT "${man_page}"
    COMMAND "${GZIP}" -9 -n -c "${PROJECT_BINARY_DIR}/kun2wyt.1" > "${man_page}"
    DEPENDS "${PROJECT_BINARY_DIR}/kun2wyt.1"
    VERBATIM
)
add_custom_target(man_page ALL DEPENDS "${man_page}")

install(TARGETS kun2wyt RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT program)

install(FILES "${man_page}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT manuals)
install(FILES completion/kun2wyt.bash DESTINATION "${completions}" RENAME kun2wyt COMPONENT manuals)
install(FILES completion/kun2wyt.fish DESTINATION "${fish_completions}" COMPONENT manuals)
install(FILES completion/kun2wyt.zsh DESTINATION "${zsh_completions}" RENAME _kun2wyt COMPONENT zsh_completion)
install(FILES completion/kun2wyt.zsh DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions"
        RENAME _kun2wyt COMPONENT zsh_debian EXCLUDE_FROM_ALL)

install(FILES README.md CHANGELOG.md docs/converting-many-files.md DESTINATION "${doc_dir}" COMPONENT docs)
install(FILES LICENSES/MIT.txt DESTINATION "${doc_dir}" RENAME LICENSE COMPONENT license)
# The packages' own texts, written when a package takes them in (its changelog, in Debian's or
# RPM's form, and Debian's copyright file): a plain install needs neither them nor Python.
find_package(Python3 COMPONENTS Interpreter)
set(package_docs "${PROJECT_BINARY_DIR}/package-docs")
# The rule's reading of CHANGELOG.md's headings goes with them, one argument each.
string(REPLACE ";" "\" \"" entries "\"${KUN2WYT_ENTRIES}\"")
foreach(component IN ITEMS debian_docs rpm_license)
    install(CODE "execute_process(COMMAND \"${Python3_EXECUTABLE}\" \"${PROJECT_SOURCE_DIR}/packaging/generate.py\" docs
                                          \"${package_docs}\" \"${KUN2WYT_VERSION}\" ${entries} COMMAND_ERROR_IS_FATAL ANY)"
            COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()
install(FILES "${package_docs}/copyright" "${package_docs}/changelog.gz" DESTINATION "${doc_dir}"
        COMPONENT debian_docs EXCLUDE_FROM_ALL)
install(FILES LICENSES/MIT.txt DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/licenses/kun2wyt" RENAME LICENSE
        COMPONENT rpm_license EXCLUDE_FROM_ALL)
install(FILES examples/run1.kun examples/Makefile examples/convert.sh DESTINATION "${doc_dir}/examples" COMPONENT examples)
configure_file(packaging/modulefile.in "${PROJECT_BINARY_DIR}/modulefile" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/modulefile" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/modulefiles/kun2wyt"
        RENAME "${KUN2WYT_VERSION}" COMPONENT modulefile)

# Last: the uninstall script, and the list of all this install put where, beside it.
install(FILES packaging/uninstall.sh DESTINATION "${doc_dir}" COMPONENT uninstall)
install(SCRIPT cmake/install-list.cmake COMPONENT uninstall)

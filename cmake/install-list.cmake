# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Run twice by a plain install, for the uninstall script: first it notes which of kun2wyt's
# folders (kun2wyt_folders) are not there yet; last it writes share/doc/kun2wyt/files, every
# file the install put there and every folder it made, relative to the prefix.
set(kun2wyt_root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
if(NOT DEFINED kun2wyt_made)
    set(kun2wyt_made "")
    foreach(folder IN LISTS kun2wyt_folders)
        if(IS_ABSOLUTE "${folder}") # a folder set outside the prefix is not the install's to remove
            continue()
        endif()
        while(NOT folder STREQUAL "" AND NOT EXISTS "${kun2wyt_root}/${folder}")
            list(APPEND kun2wyt_made "${folder}/")
            get_filename_component(folder "${folder}" DIRECTORY)
        endwhile()
    endforeach()
    list(REMOVE_DUPLICATES kun2wyt_made)
    # The build folder's install_manifest.txt is rewritten by every install; one left by another
    # user (a root install before this one) would fail this install at its very end.
    file(REMOVE "${kun2wyt_binary_dir}/install_manifest.txt")
else()
    set(list_file "${kun2wyt_root}/${kun2wyt_doc_dir}/files")
    set(entries "")
    foreach(path IN LISTS CMAKE_INSTALL_MANIFEST_FILES list_file)
        file(RELATIVE_PATH path "${kun2wyt_root}" "${path}")
        string(APPEND entries "${path}\n")
    endforeach()
    foreach(folder IN LISTS kun2wyt_made)
        string(APPEND entries "${folder}\n")
    endforeach()
    file(WRITE "${list_file}" "${entries}")
    file(CHMOD "${list_file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${list_file}")
endif()

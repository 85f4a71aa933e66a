# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# source_release(FILE): the source release, kun2wyt-VERSION.tar.gz, at FILE (included by
# cmake/dist.cmake). It holds the committed source as `git archive` gives it, without what
# .gitattributes marks export-ignore: the Spack and EasyBuild recipes, which hold this file's
# checksum. GNU tar packs it in name order with fixed owners and modes, and every time in it is
# the release's date in CHANGELOG.md, not the commit's: a commit that only writes the recipes'
# checksums leaves the release as it was, and any other change to the source changes it.
function(source_release file)
    file(STRINGS "${SOURCE_DIR}/CHANGELOG.md" released REGEX "^## \\[${VERSION}\\] - ")
    if(NOT released MATCHES " - ([0-9]+-[0-9]+-[0-9]+)$")
        message(FATAL_ERROR "CHANGELOG.md gives no date for version ${VERSION}")
    endif()
    execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%s OUTPUT_VARIABLE released
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(top "kun2wyt-${VERSION}")
    file(REMOVE_RECURSE "${work}/source")
    file(MAKE_DIRECTORY "${work}/source")
    execute_process(COMMAND git archive --format=tar "--prefix=${top}/" HEAD
                    COMMAND tar -x -C "${work}/source"
                    WORKING_DIRECTORY "${SOURCE_DIR}" COMMAND_ERROR_IS_FATAL ANY)
    # Modes from the owner's alone, so that the unpacking umask leaves no trace.
    execute_process(
        COMMAND tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner --mode=u+w,go=u-w
                --mtime=@${released} --directory "${work}/source" "${top}"
        COMMAND gzip -9 -n
        OUTPUT_FILE "${file}"
        COMMAND_ERROR_IS_FATAL ANY
    )
endfunction()

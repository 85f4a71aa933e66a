# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
#
# Building against musl with Debian's musl-dev (musl-dev:arm64 for aarch64) and the g++ that the
# including toolchain file names: musl's static start is a few thousand instructions; glibc's
# picks string functions with cpuid, which traps to the hypervisor on a virtual machine.
# musl's headers would come before libstdc++'s, which then cannot #include_next them, so every
# compile names the folders itself (-nostdinc): libstdc++'s, GCC's, then musl's. Only headers of
# libstdc++ are used; the link names musl's start files and C library and libgcc, no glibc file.
#
# With CMAKE_SYSTEM_PROCESSOR, CMAKE_C_COMPILER and CMAKE_CXX_COMPILER set.
set(CMAKE_SYSTEM_NAME Linux)
set(musl_include "/usr/include/${CMAKE_SYSTEM_PROCESSOR}-linux-musl")
set(musl_lib "/usr/lib/${CMAKE_SYSTEM_PROCESSOR}-linux-musl")
if(NOT EXISTS "${musl_lib}/libc.a")
    message(FATAL_ERROR "musl for ${CMAKE_SYSTEM_PROCESSOR} is not installed (Debian: musl-dev, or musl-dev:arm64)")
endif()

# libstdc++'s header folders, as the compiler searches them.
execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -xc++ -E -v /dev/null OUTPUT_QUIET ERROR_VARIABLE search
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "\n [^\n]*/c\\+\\+/[^\n]*" cxx_folders "${search}")
set(cxx_includes "")
foreach(folder IN LISTS cxx_folders)
    string(STRIP "${folder}" folder)
    get_filename_component(folder "${folder}" ABSOLUTE)
    string(APPEND cxx_includes " -isystem ${folder}")
endforeach()
foreach(file IN ITEMS include crtbeginT.o crtend.o)
    execute_process(COMMAND "${CMAKE_C_COMPILER}" -print-file-name=${file} OUTPUT_VARIABLE gcc_${file}
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND "${CMAKE_C_COMPILER}" -print-libgcc-file-name OUTPUT_VARIABLE libgcc
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

set(c_includes "-nostdinc -isystem ${gcc_include} -isystem ${musl_include}")
# libstdc++'s headers ask glibc's version test, which musl does not define: no glibc feature.
set(CMAKE_C_COMPILE_OBJECT "<CMAKE_C_COMPILER> <DEFINES> <INCLUDES> <FLAGS> ${c_includes} -o <OBJECT> -c <SOURCE>")
set(CMAKE_CXX_COMPILE_OBJECT
    "<CMAKE_CXX_COMPILER> <DEFINES> <INCLUDES> <FLAGS> -nostdinc${cxx_includes} -isystem ${gcc_include} -isystem ${musl_include} '-D__GLIBC_PREREQ(major,minor)=0' -o <OBJECT> -c <SOURCE>")
foreach(language IN ITEMS C CXX)
    set(CMAKE_${language}_LINK_EXECUTABLE
        "<CMAKE_${language}_COMPILER> <FLAGS> <CMAKE_${language}_LINK_FLAGS> <LINK_FLAGS> -static -nostdlib ${musl_lib}/crt1.o ${musl_lib}/crti.o ${gcc_crtbeginT.o} <OBJECTS> -o <TARGET> <LINK_LIBRARIES> ${musl_lib}/libc.a ${libgcc} ${gcc_crtend.o} ${musl_lib}/crtn.o")
endforeach()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The shipped tool for 32-bit little-endian MIPS: Debian's mipsel-linux-gnu
# compilers pointed at musl's headers, start files and C library by explicit
# flags, linked statically with those alone: no C++ library, and no
# compiler runtime (libgcc, crtbegin/crtend), which the tool does not use.
# The tool uses the C library and the Linux headers only; the unit tests,
# which need the C++ library, are built with mipsel-linux-gnu.cmake instead.
#
# Built for MIPS32 release 1 (-march=mips32), which every MIPS32 core runs:
# Debian's compilers and musl-dev:mipsel default to release 2.  musl is
# built for it by scripts/build-mipsel-musl, which must have run first
# (docs/target-build.md tells the whole story).  This file
# only names what that step installed: it is read again for every compiler
# check, and so builds, downloads and writes nothing.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)
set(CMAKE_STRIP mipsel-linux-gnu-strip)

# Where scripts/build-mipsel-musl installed musl and the links to the Linux
# headers.  The compiler checks read this file in projects of their own:
# they are handed the same prefix.
set(BLINDSCAN_MUSL_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build/cache/musl-mips32"
    CACHE PATH "musl for MIPS32 release 1, as installed by scripts/build-mipsel-musl")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BLINDSCAN_MUSL_PREFIX)
cmake_path(ABSOLUTE_PATH BLINDSCAN_MUSL_PREFIX NORMALIZE OUTPUT_VARIABLE musl_prefix)
# A prefix built before the script kept musl's COPYRIGHT is built again.
if(NOT EXISTS "${musl_prefix}/build-mipsel-musl.stamp" OR NOT EXISTS "${musl_prefix}/COPYRIGHT")
  cmake_path(ABSOLUTE_PATH CMAKE_CURRENT_LIST_DIR NORMALIZE OUTPUT_VARIABLE source_dir)
  cmake_path(GET source_dir PARENT_PATH source_dir)
  message(FATAL_ERROR "No musl for MIPS32 release 1 in ${musl_prefix}.  Build it first with:\n"
                      "  ${source_dir}/scripts/build-mipsel-musl ${musl_prefix}")
endif()

# The static tool carries musl's code: its licence notice is installed with it.
set(BLINDSCAN_LIBC_NOTICE "${musl_prefix}/COPYRIGHT" CACHE FILEPATH "musl's licence notice")

# musl's headers in place of the C library's, the compiler's own headers,
# and of the other system directories only the Linux headers (linked into
# the prefix), so that no glibc header can stand in for a missing musl one.
execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=include OUTPUT_VARIABLE compiler_headers
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(musl_flags "-march=mips32 -nostdinc -isystem ${musl_prefix}/include -isystem ${compiler_headers}")
string(APPEND musl_flags " -idirafter ${musl_prefix}/linux-headers -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "${musl_flags}")
set(CMAKE_CXX_FLAGS_INIT "${musl_flags}")
# No default start files or libraries, and no library directory but musl's:
# the link rules below name musl's start files and its libc.a explicitly.
# The compiler's libgcc is release-2 code and is not linked: should the code
# come to need one of its helpers (a 64-bit division, say), the link fails
# on that symbol (docs/target-build.md says what to do then).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -nostdlib -Wl,-nostdlib -Wl,--gc-sections")

set(musl_lib ${musl_prefix}/lib)
set(start_files "${musl_lib}/crt1.o ${musl_lib}/crti.o")
set(libraries "-L${musl_lib} -lc")
set(end_files "${musl_lib}/crtn.o")

# C and C++ objects alike are linked by the C driver: musl's C library
# only.  The linked executable, with its symbols, is kept as
# <TARGET>.debug, so that a crash on a box can be symbolised; <TARGET>
# itself is the stripped copy that is shipped and installed.
set(link "<LINK_FLAGS> ${start_files} <OBJECTS> -o <TARGET>.debug <LINK_LIBRARIES> ${libraries} ${end_files}")
set(strip "${CMAKE_STRIP} --strip-all -o <TARGET> <TARGET>.debug")
set(CMAKE_C_LINK_EXECUTABLE "<CMAKE_C_COMPILER> <FLAGS> <CMAKE_C_LINK_FLAGS> ${link}" "${strip}")
set(CMAKE_CXX_LINK_EXECUTABLE "<CMAKE_C_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> ${link}" "${strip}")

set(CMAKE_FIND_ROOT_PATH ${musl_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

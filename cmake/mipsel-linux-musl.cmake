# The shipped tool for 32-bit little-endian MIPS: Debian's mipsel-linux-gnu
# compilers pointed at musl's headers, start files and C library by explicit
# flags, linked statically by the C driver so that no C++ library comes in.  The tool uses the C library and
# the Linux headers only; the unit tests, which need the C++ library, are
# built with mipsel-linux-gnu.cmake instead.
#
# The tool and its C library are built for MIPS32 release 1 (-march=mips32,
# the o32 hard-float ABI of Debian's compilers), so that it runs on every
# MIPS32 core: Debian's compilers default to release 2, and its
# musl-dev:mipsel is built for it, whose ext, seb, mfhc1 and the like raise
# SIGILL on a release-1 core.  scripts/build-mipsel-musl builds that musl
# from Debian's source into build/cache/ the first time.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)

set(musl_cache ${CMAKE_CURRENT_LIST_DIR}/../build/cache)
cmake_path(NORMAL_PATH musl_cache)
set(musl_prefix ${musl_cache}/musl-mips32)
if(NOT EXISTS ${musl_prefix}/build-mipsel-musl.stamp)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-mipsel-musl ${musl_prefix} ${musl_cache}/musl-source
                  RESULT_VARIABLE musl_result)
  if(NOT musl_result EQUAL 0)
    message(FATAL_ERROR "scripts/build-mipsel-musl failed: no musl for MIPS32 release 1 in ${musl_prefix}")
  endif()
endif()

# musl's headers in place of the C library's, the compiler's own headers,
# and of the other system directories only the Linux headers, so that no
# glibc header can stand in for a missing musl one.
set(kernel_headers ${CMAKE_BINARY_DIR}/mipsel-linux-headers)
file(MAKE_DIRECTORY ${kernel_headers})
foreach(dir linux asm asm-generic)
  file(CREATE_LINK /usr/mipsel-linux-gnu/include/${dir} ${kernel_headers}/${dir} SYMBOLIC)
endforeach()
execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=include OUTPUT_VARIABLE compiler_headers
                OUTPUT_STRIP_TRAILING_WHITESPACE)

set(musl_flags "-march=mips32 -nostdinc -isystem ${musl_prefix}/include -isystem ${compiler_headers}")
string(APPEND musl_flags " -idirafter ${kernel_headers} -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "${musl_flags}")
set(CMAKE_CXX_FLAGS_INIT "${musl_flags}")
# No default start files or libraries, and no library directory but musl's:
# the link rules below name musl's start files, its libc.a and the
# release-1 libgcc.a explicitly.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -nostdlib -Wl,-nostdlib -Wl,--gc-sections -s")

set(musl_lib ${musl_prefix}/lib)
set(start_files "${musl_lib}/Scrt1.o ${musl_lib}/crti.o ${musl_lib}/crtbeginS.o")
set(libraries "-L${musl_lib} -Wl,--start-group ${musl_lib}/libgcc.a -lc -Wl,--end-group")
set(end_files "${musl_lib}/crtendS.o ${musl_lib}/crtn.o")

# C and C++ objects alike are linked by the C driver: musl's C library and
# libgcc only.
set(CMAKE_C_LINK_EXECUTABLE
    "<CMAKE_C_COMPILER> <FLAGS> <CMAKE_C_LINK_FLAGS> <LINK_FLAGS> ${start_files} <OBJECTS> -o <TARGET> <LINK_LIBRARIES> ${libraries} ${end_files}")
set(CMAKE_CXX_LINK_EXECUTABLE
    "<CMAKE_C_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> ${start_files} <OBJECTS> -o <TARGET> <LINK_LIBRARIES> ${libraries} ${end_files}")

set(CMAKE_FIND_ROOT_PATH ${musl_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

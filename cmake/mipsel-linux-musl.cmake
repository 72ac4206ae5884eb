# The shipped tool for 32-bit little-endian MIPS: Debian's mipsel-linux-gnu
# compilers pointed at musl through its specs file, linked statically by the
# C driver so that no C++ library comes in.  The tool uses the C library and
# the Linux headers only; the unit tests, which need the C++ library, are
# built with mipsel-linux-gnu.cmake instead.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)

set(musl_specs /usr/lib/mipsel-linux-musl/musl-gcc.specs)
if(NOT EXISTS ${musl_specs})
  message(FATAL_ERROR "${musl_specs} is missing: install musl-dev:mipsel")
endif()

# The specs put musl's headers in place of the C library's and drop every
# other system directory, the Linux headers with them.  Bring back only
# those, so that no glibc header can stand in for a missing musl one.
set(kernel_headers ${CMAKE_BINARY_DIR}/mipsel-linux-headers)
file(MAKE_DIRECTORY ${kernel_headers})
foreach(dir linux asm asm-generic)
  file(CREATE_LINK /usr/mipsel-linux-gnu/include/${dir} ${kernel_headers}/${dir} SYMBOLIC)
endforeach()

set(musl_flags "-specs=${musl_specs} -idirafter ${kernel_headers} -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "${musl_flags}")
set(CMAKE_CXX_FLAGS_INIT "${musl_flags}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--gc-sections -s")

# C++ objects, C driver: the link takes musl's C library and libgcc only.
set(CMAKE_CXX_LINK_EXECUTABLE
    "<CMAKE_C_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")

set(CMAKE_FIND_ROOT_PATH /usr/lib/mipsel-linux-musl)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# 32-bit little-endian MIPS with Debian's glibc cross toolchain, linked
# statically so that the programs run under qemu-mipsel and on a bare
# initramfs.  Used for the unit tests and the driver stand-in; the shipped
# tool is built with mipsel-linux-musl.cmake.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(qemu_mipsel qemu-mipsel REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${qemu_mipsel})

# Libraries for the target come from the cross toolchain and from the
# Debian mipsel packages unpacked by scripts/fetch-mipsel-packages.
# pkg-config looks there only, never at the build machine's own libraries.
# The compiler checks read this file again, in this same process, and set
# pkg-config's environment again: hand them the sysroot too, or they would
# point pkg-config at nothing for the rest of the configure.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BLINDSCAN_MIPSEL_SYSROOT)
list(APPEND CMAKE_FIND_ROOT_PATH /usr/mipsel-linux-gnu)
if(BLINDSCAN_MIPSEL_SYSROOT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${BLINDSCAN_MIPSEL_SYSROOT})
endif()
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${BLINDSCAN_MIPSEL_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR} "${BLINDSCAN_MIPSEL_SYSROOT}/usr/lib/mipsel-linux-gnu/pkgconfig")
set(CMAKE_LIBRARY_ARCHITECTURE mipsel-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

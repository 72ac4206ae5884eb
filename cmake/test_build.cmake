# The second build tree of a cross build: the whole project again, with
# BLINDSCAN_TEST_TOOLCHAIN_FILE, for the unit tests and the driver stand-in.
# It is configured and built as part of this tree's build, and ctest
# descends into it, so one configure, build and ctest run covers both
# toolchains.  The Debian mipsel packages the tests need (kernel, busybox,
# libfuse3) are fetched into BLINDSCAN_PACKAGE_CACHE first.
include(ExternalProject)

set(BLINDSCAN_PACKAGE_CACHE ${PROJECT_SOURCE_DIR}/build/cache
    CACHE PATH "Where scripts/fetch-mipsel-packages keeps the Debian mipsel packages")

set(mipsel_sysroot ${BLINDSCAN_PACKAGE_CACHE}/sysroot)

# Fetched on every build; only what is missing is downloaded.
add_custom_target(mipsel_packages
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-mipsel-packages --if-possible ${BLINDSCAN_PACKAGE_CACHE}
  USES_TERMINAL)

set(test_build_dir ${PROJECT_BINARY_DIR}/test-build)
cmake_host_system_information(RESULT test_build_jobs QUERY NUMBER_OF_LOGICAL_CORES)

ExternalProject_Add(test_build
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${test_build_dir}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${BLINDSCAN_TEST_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DBLINDSCAN_GOOGLETEST_SOURCE_DIR=/usr/src/googletest
    -DBLINDSCAN_MIPSEL_SYSROOT=${mipsel_sysroot}
    -DBLINDSCAN_EMULATOR=ON
    -DBLINDSCAN_EMULATOR_STATIC=ON
    -DCMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel ${test_build_jobs}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  TEST_COMMAND ""
  DEPENDS mipsel_packages
  USES_TERMINAL_CONFIGURE ON
  USES_TERMINAL_BUILD ON)

# ctest reads this file along with this directory's tests and goes on into
# the second tree's own test files.
set(test_build_include ${PROJECT_BINARY_DIR}/test_build_tests.cmake)
file(WRITE ${test_build_include} "subdirs(\"${test_build_dir}\")\n")
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${test_build_include})

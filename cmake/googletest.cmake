# GoogleTest for the test suites: the installed one, or, in a cross build
# where none is installed for the target, one built from the sources Debian
# ships in the googletest package.
set(BLINDSCAN_GOOGLETEST_SOURCE_DIR "" CACHE PATH "GoogleTest sources to build instead of an installed GoogleTest")
if(BLINDSCAN_GOOGLETEST_SOURCE_DIR)
  set(INSTALL_GTEST OFF)
  add_subdirectory(${BLINDSCAN_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest)
  if(NOT GTest_FOUND)
    message(FATAL_ERROR "The tests need GoogleTest (Debian: apt-get install libgtest-dev, or run "
                        "scripts/install-deps); to build and install the tool alone, configure with "
                        "-DBUILD_TESTING=OFF")
  endif()
endif()
include(GoogleTest)

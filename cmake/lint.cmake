# Static analysis of the tool's sources as a test (label "lint"):
# scripts/lint runs clang-tidy on this tree's compile commands, and cppcheck.
option(BLINDSCAN_LINT "Add the static analysis of the tool's sources as a test" OFF)
if(BLINDSCAN_LINT)
  if(NOT CMAKE_EXPORT_COMPILE_COMMANDS)
    message(FATAL_ERROR "BLINDSCAN_LINT needs CMAKE_EXPORT_COMPILE_COMMANDS=ON: clang-tidy reads them")
  endif()
  add_test(NAME lint COMMAND ${PROJECT_SOURCE_DIR}/scripts/lint ${PROJECT_BINARY_DIR})
  set_tests_properties(lint PROPERTIES LABELS lint TIMEOUT 600)
endif()

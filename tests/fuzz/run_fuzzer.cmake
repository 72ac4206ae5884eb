# Runs a libFuzzer target and sums its run up in one line: the inputs
# executed, and the edges covered out of all the edges instrumented in the
# fuzzer (its harness included).  The fuzzer's whole output goes to LOG,
# and is shown as well when the run fails.
#   cmake -DNAME=name -DLOG=path -P run_fuzzer.cmake -- FUZZER [ARGUMENTS...]
set(command "")
set(in_command FALSE)
foreach(index RANGE ${CMAKE_ARGC})
  if(in_command)
    list(APPEND command "${CMAKE_ARGV${index}}")
  elseif("${CMAKE_ARGV${index}}" STREQUAL "--")
    set(in_command TRUE)
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "usage: cmake -DNAME=name -DLOG=path -P run_fuzzer.cmake -- FUZZER [ARGUMENTS...]")
endif()

execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(WRITE ${LOG} "${output}")
if(NOT status EQUAL 0)
  message("${output}")
  message(FATAL_ERROR "${NAME}: the fuzzer stopped with ${status} (log: ${LOG})")
endif()

# "INFO: Loaded 1 modules   (1234 inline 8-bit counters): ..." and, at the
# end, "#56789	DONE   cov: 321 ft: ...".
string(REGEX MATCH "\\(([0-9]+) inline 8-bit counters\\)" edges_line "${output}")
set(edges ${CMAKE_MATCH_1})
string(REGEX MATCH "#([0-9]+)[ \t]+DONE +cov: ([0-9]+)" done_line "${output}")
set(executions ${CMAKE_MATCH_1})
set(covered ${CMAKE_MATCH_2})
if(NOT edges OR NOT done_line)
  message("${output}")
  message(FATAL_ERROR "${NAME}: no coverage figures in the fuzzer's output (log: ${LOG})")
endif()
message("${NAME}: ${executions} executions, ${covered} of ${edges} edges covered")

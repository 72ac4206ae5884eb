# Checks the shipped target executable: at most LIMIT bytes, and what
# `file` calls a static MIPS32 little-endian executable of release 1 (a
# release-2 one is "MIPS32 rel2").
#   cmake -DBINARY=path -DLIMIT=bytes -P check_size.cmake
file(SIZE ${BINARY} size)
message(STATUS "${BINARY}: ${size} bytes (limit ${LIMIT})")
if(size GREATER LIMIT)
  message(FATAL_ERROR "${BINARY} is ${size} bytes, over the limit of ${LIMIT}")
endif()

execute_process(COMMAND file -b ${BINARY} OUTPUT_VARIABLE kind OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "file: ${kind}")
foreach(expected "^ELF 32-bit LSB executable, MIPS, MIPS32 version " ", statically linked")
  if(NOT kind MATCHES "${expected}")
    message(FATAL_ERROR "`file` does not match \"${expected}\": ${kind}")
  endif()
endforeach()

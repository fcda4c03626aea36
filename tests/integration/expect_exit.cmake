# cmake -DSTATUS=N -DPATTERN=REGEX -P expect_exit.cmake PROGRAM [ARGUMENTS...]
#
# Runs the program and fails unless it exits with status N and what it
# writes (standard output and error together) matches REGEX.
set(command "")
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 5 ${last})
  list(APPEND command "${CMAKE_ARGV${i}}")
endforeach()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE out TIMEOUT 120)
if(NOT status STREQUAL STATUS OR NOT out MATCHES "${PATTERN}")
  message(FATAL_ERROR "expected exit status ${STATUS} and a match of\n  ${PATTERN}\n"
                      "got status ${status} and:\n${out}")
endif()
message(STATUS "exit status ${status}, as expected")

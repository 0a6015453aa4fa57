# cmake -DCOMMAND="a|b" -DEXPECT="re1|re2" -P expect_faults.cmake: COMMAND
# must fail (exit 1) and its output must match every expression of EXPECT.
string(REPLACE "|" ";" COMMAND "${COMMAND}")
string(REPLACE "|" ";" EXPECT "${EXPECT}")
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT status EQUAL 1)
  message(FATAL_ERROR "exit ${status}, expected 1: the faults were not found")
endif()
foreach(expression ${EXPECT})
  if(NOT out MATCHES "${expression}")
    message(FATAL_ERROR "no line matches: ${expression}")
  endif()
endforeach()

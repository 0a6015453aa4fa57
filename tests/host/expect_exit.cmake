# cmake -DCOMMAND="a|b" -DEXPECTED=N -P expect_exit.cmake: runs COMMAND and
# checks its exit status; Wine's skip is passed on for ctest to see.
string(REPLACE "|" ";" COMMAND "${COMMAND}")
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_VARIABLE out)
if(err MATCHES "wine-run: skipped")
  message("${err}")
  return()
endif()
if(NOT status EQUAL EXPECTED)
  message(FATAL_ERROR "exit ${status}, expected ${EXPECTED}\n${out}\n${err}")
endif()

# Runs kvmarkup once and checks its exit status (STATUS, 0 unless given)
# and, when EXPECTED names a file, that its output equals that file (the
# output lands in ACTUAL). Variables: KVMARKUP, ARGS (a list), STATUS,
# EXPECTED, ACTUAL.
if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()
execute_process(COMMAND ${KVMARKUP} ${ARGS} RESULT_VARIABLE rc OUTPUT_VARIABLE actual
                ERROR_VARIABLE errors)
if(NOT rc EQUAL STATUS)
  message(FATAL_ERROR "kvmarkup ${ARGS}: exit status ${rc}, expected ${STATUS}\n${errors}")
endif()
if(STATUS EQUAL 2 AND NOT errors MATCHES "^kvmarkup: ")
  message(FATAL_ERROR "kvmarkup ${ARGS}: no message for a bad command line")
endif()
if(EXPECTED)
  file(WRITE ${ACTUAL} "${actual}")
  file(READ ${EXPECTED} expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "kvmarkup ${ARGS}: expected ${EXPECTED}, got ${ACTUAL}")
  endif()
endif()

# Runs one script test: vke -O LEVEL SCRIPT, whose standard output and error
# (merged in the order written) followed by "[exit N]" must equal EXPECTED.
# A first line "%! ARGS" gives the runner further arguments (such as a
# memory ceiling, -m SIZE); with -i among them the script is piped in as
# command lines instead. No limit of its own: ctest's per-test limit stands,
# so that a script slowed by the sanitizers or a loaded machine still passes.
file(STRINGS ${SCRIPT} first LIMIT_COUNT 1)
set(extra "")
if(first MATCHES "^%! (.*)$")
  separate_arguments(extra UNIX_COMMAND "${CMAKE_MATCH_1}")
endif()
if(extra MATCHES "(^|;)-i(;|$)")
  # Interactive: the script's lines are piped in one by one, and libraries
  # and help files are found beside it.
  get_filename_component(dir ${SCRIPT} DIRECTORY)
  execute_process(COMMAND ${VKE} -O ${LEVEL} ${extra} -L ${dir} INPUT_FILE ${SCRIPT}
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
else()
  execute_process(COMMAND ${VKE} -O ${LEVEL} ${extra} ${SCRIPT}
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
endif()
string(APPEND out "[exit ${rc}]\n")
file(READ ${EXPECTED} expected)
if(NOT out STREQUAL expected)
  file(WRITE ${ACTUAL} "${out}")
  message(FATAL_ERROR "output of ${SCRIPT} at -O ${LEVEL} differs (written to ${ACTUAL}):\n"
                      "${out}--- expected ---\n${expected}")
endif()

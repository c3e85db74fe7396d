# Runs one check script of the packing tool: packs the script's application
# into an image, runs the script on the image, and compares the output with
# the script's .out file (files it writes land in WORK). Variables: KVPACK,
# SCRIPT, WORK.
get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(name ${SCRIPT} NAME_WE)
set(app ${dir}/${name}.kvd)
file(STRINGS ${SCRIPT} first LIMIT_COUNT 1)
if(first MATCHES "^# app: *(.+)$")
  set(app ${dir}/${CMAKE_MATCH_1})
endif()
file(MAKE_DIRECTORY ${WORK})
set(image ${WORK}/${name}.img)
execute_process(COMMAND ${KVPACK} --bare -o ${image} ${app}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "packing ${app} failed (${rc}):\n${out}")
endif()
execute_process(COMMAND ${KVPACK} check ${image} ${SCRIPT} WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE rc OUTPUT_VARIABLE actual ERROR_VARIABLE errors)
file(WRITE ${WORK}/${name}.actual "${actual}")
file(READ ${dir}/${name}.out expected)
if(NOT rc EQUAL 0 OR NOT actual STREQUAL expected)
  message(FATAL_ERROR "${SCRIPT}: exit status ${rc}\n${errors}\n"
                      "expected ${dir}/${name}.out, got ${WORK}/${name}.actual:\n${actual}")
endif()

# Runs one check script of the packing tool: packs the script's application
# into an image, runs the script on the image, and compares the output with
# the script's .out file (files it writes land in WORK). Variables: KVPACK,
# SCRIPT, WORK.
#
# When a picture NAME.png lies beside the script, the script's own png step
# must have drawn WORK/NAME.png like it: at most 0.5 % of the pixels may
# differ by more than a faint shade (ImageMagick's compare, as installed by
# scripts/install-deps.sh). With VKE_UPDATE_GOLDENS=1 in the environment the
# drawn picture replaces the committed one first.
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

set(golden ${dir}/${name}.png)
if(EXISTS ${golden})
  set(drawn ${WORK}/${name}.png)
  if(NOT EXISTS ${drawn})
    message(FATAL_ERROR "${SCRIPT} drew no ${name}.png to compare with ${golden}")
  endif()
  if(DEFINED ENV{VKE_UPDATE_GOLDENS} AND NOT "$ENV{VKE_UPDATE_GOLDENS}" STREQUAL "")
    file(COPY_FILE ${drawn} ${golden})
  endif()
  find_program(COMPARE compare)
  if(NOT COMPARE)
    message(FATAL_ERROR "ImageMagick's compare is missing (scripts/install-deps.sh installs it)")
  endif()
  # AE counts the pixels that differ by more than the fuzz (16 % of full scale,
  # about 40 of 255); it writes the count to standard error.
  execute_process(COMMAND ${COMPARE} -metric AE -fuzz 16% ${drawn} ${golden} null:
                  RESULT_VARIABLE rc OUTPUT_VARIABLE ignored ERROR_VARIABLE differing)
  string(STRIP "${differing}" differing)
  execute_process(COMMAND identify -format "%w %h" ${golden} OUTPUT_VARIABLE size)
  separate_arguments(size)
  list(GET size 0 width)
  list(GET size 1 height)
  math(EXPR allowed "${width} * ${height} / 200")
  if(rc GREATER 1 OR NOT differing MATCHES "^[0-9]+$" OR differing GREATER allowed)
    message(FATAL_ERROR "${drawn} differs from ${golden} in ${differing} pixels "
                        "(at most ${allowed}); VKE_UPDATE_GOLDENS=1 ctest -R kvpack_${name} "
                        "takes the new picture")
  endif()
endif()

# Packs tests/extensions/packed.kvd with the "current" fixture library named
# as an extension, from a "KVRuntimeExt" folder beside the image, and runs
# its check script on the image; then again without the library, where the
# image must fail to load. Variables: KVPACK, FIXTURES, DIR, WORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/KVRuntimeExt)
file(COPY ${FIXTURES}/current.so DESTINATION ${WORK}/KVRuntimeExt)
set(image ${WORK}/packed.img)
execute_process(COMMAND ${KVPACK} --bare --extension current -o ${image} ${DIR}/packed.kvd
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "packing failed (${rc}):\n${out}")
endif()
execute_process(COMMAND ${KVPACK} check ${image} ${DIR}/packed.script
                RESULT_VARIABLE rc OUTPUT_VARIABLE actual ERROR_VARIABLE errors)
file(READ ${DIR}/packed.out expected)
if(NOT rc EQUAL 0 OR NOT actual STREQUAL expected)
  message(FATAL_ERROR "check: exit status ${rc}\n${errors}\ngot:\n${actual}")
endif()
file(REMOVE_RECURSE ${WORK}/KVRuntimeExt)
execute_process(COMMAND ${KVPACK} check ${image} ${DIR}/packed.script
                RESULT_VARIABLE rc OUTPUT_VARIABLE actual ERROR_VARIABLE errors)
if(rc EQUAL 0 OR NOT errors MATCHES "Initialization error")
  message(FATAL_ERROR "without the library: exit status ${rc}\n${errors}")
endif()

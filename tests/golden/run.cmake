# Runs COMMAND in DIR with its standard output kept in DIR/STDOUT; COPY, if
# given, is copied into DIR first. Fails on a non-zero exit status.
file(MAKE_DIRECTORY ${DIR})
if(COPY)
  file(COPY ${COPY} DESTINATION ${DIR})
endif()
execute_process(COMMAND ${COMMAND} WORKING_DIRECTORY ${DIR} OUTPUT_FILE ${DIR}/${STDOUT}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${COMMAND} ended with status ${status}")
endif()

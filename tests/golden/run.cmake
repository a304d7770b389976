# Runs COMMAND in DIR with its standard output kept in DIR/STDOUT; COPY, if
# given, is copied into DIR first. STDOUT and the OUTPUTS are removed before
# the run, so that only this run's files are compared. Fails on a non-zero
# exit status.
file(MAKE_DIRECTORY ${DIR})
foreach(file ${STDOUT} ${OUTPUTS})
  file(REMOVE ${DIR}/${file})
endforeach()
if(COPY)
  file(COPY ${COPY} DESTINATION ${DIR})
endif()
execute_process(COMMAND ${COMMAND} WORKING_DIRECTORY ${DIR} OUTPUT_FILE ${DIR}/${STDOUT}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${COMMAND} ended with status ${status}")
endif()

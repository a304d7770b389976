# Compares ACTUAL with EXPECTED byte for byte.
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${ACTUAL} ${EXPECTED} RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "${ACTUAL} differs from ${EXPECTED}.\n"
          "If the change is intended, rewrite the expected files with:\n"
          "  cmake --build build --target expected")
endif()

# add_converter_tests(NAME SOURCES... [LIBS libs...] [DEFS defs...])
# Builds NAME from the given sources with GoogleTest and the shared test
# support, and registers every test case it holds; GTEST_SKIP shows as skipped.
function(add_converter_tests name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEFS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} test_support GTest::gtest_main)
  if(ARG_DEFS)
    target_compile_definitions(${name} PRIVATE ${ARG_DEFS})
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${ARG_ENV}")
endfunction()

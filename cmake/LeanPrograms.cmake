# make_lean(TARGET...): the converters' code is built without exceptions
# and run-time type information, and their programs link with --as-needed,
# so that a run loads neither libstdc++ nor libgcc_s: loading them is a
# good part of a small run's start-up.
function(make_lean)
  foreach(target ${ARGN})
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -Wl,--as-needed)
    endif()
  endforeach()
endfunction()

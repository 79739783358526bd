# The layer rule, checked the way the build applies it: every header of a
# layer above is out of sight from a layer's include root (the compiler does
# not find it), and every header of the layer itself and of those below is
# found. Run by ctest with CXX (the compiler), ROOTS (the build's
# src/layers), SOURCE (the source tree) and LAYERS (lowest first, ";"-joined
# with "," in their place, as ctest passes lists).
string(REPLACE "," ";" LAYERS "${LAYERS}")
set(failures "")
set(checked 0)
list(LENGTH LAYERS count)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  list(GET LAYERS ${i} layer)
  foreach(j RANGE ${last})
    list(GET LAYERS ${j} other)
    file(GLOB headers RELATIVE ${SOURCE}/src ${SOURCE}/src/${other}/*.h)
    foreach(header IN LISTS headers)
      file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/layer_rule_probe.cc "#include \"${header}\"\n")
      execute_process(
        COMMAND ${CXX} -std=c++17 -fsyntax-only -I${ROOTS}/${layer} -I${SOURCE}/include
                -I${SOURCE}/platform ${CMAKE_CURRENT_BINARY_DIR}/layer_rule_probe.cc
        RESULT_VARIABLE status ERROR_VARIABLE output OUTPUT_QUIET)
      # gcc says "HEADER: No such file or directory", clang "'HEADER' file
      # not found".
      string(FIND "${output}" "${header}: No such file" missing)
      if(missing EQUAL -1)
        string(FIND "${output}" "'${header}' file not found" missing)
      endif()
      math(EXPR checked "${checked} + 1")
      if(j GREATER i AND missing EQUAL -1)
        list(APPEND failures "${layer} sees ${header}, a layer above it")
      elseif(NOT j GREATER i AND NOT status EQUAL 0)
        list(APPEND failures "${layer} cannot build with ${header}: ${output}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "${checked} includes checked against the layer rule")

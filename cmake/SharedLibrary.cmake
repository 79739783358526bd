# zk_install_shared_library(target): installs one of the project's shared
# libraries. On Windows, the DLL and its import library; elsewhere the
# versioned library libNAME.so.MAJOR (its SONAME) with libNAME.so beside it,
# in the build folder as in the installation (libzksql loads libjxengine.so
# from its own folder, the shell loads both by those names), exported with
# the CMake package's targets, with the C++ runtime linked in privately
# (cmake/CxxRuntime.cmake).
function(zk_install_shared_library target)
  zk_private_cxx_runtime(${target})
  if(WIN32)
    install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
                              RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  else()
    set_target_properties(${target} PROPERTIES
      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    install(TARGETS ${target} EXPORT zksqlTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endfunction()

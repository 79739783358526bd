# zk_private_cxx_runtime(target): links the C++ runtime (libstdc++ and
# libgcc) into a shipped library or program, its symbols hidden, instead of
# loading the shared runtime.
#
# Every shipped library speaks C at its boundary (the exports of
# include/), so no C++ object, exception or allocation crosses from one
# copy of the runtime to another. What a process gains: only the runtime
# parts a library uses are mapped, not the whole shared runtime with its
# relocations and start-up (half a megabyte less resident memory for the
# shell, a quicker start), and a host built with another C++ runtime does
# not meet ours. Left out where it cannot hold: sanitizer and fuzz builds
# (their runtimes replace the allocator and must see every call), Windows
# (the cross build links its own runtime) and compilers other than GCC.
option(ZKSQL_PRIVATE_CXX_RUNTIME
       "Link the C++ runtime, hidden, into the shipped libraries and the shell" ON)

function(zk_private_cxx_runtime target)
  if(NOT ZKSQL_PRIVATE_CXX_RUNTIME OR ZKSQL_SANITIZED OR WIN32
     OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "SHARED_LIBRARY" OR kind STREQUAL "MODULE_LIBRARY")
    # The runtime's symbols stay inside the library: exported, they would
    # stand in for the host's own runtime.
    target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL)
  endif()
endfunction()

# zk_windows_dll(target NAME def-file): makes `target` the Windows DLL
# NAME.DLL exporting the __stdcall functions listed (decorated, "name@n") in
# the .def file under their plain names, as hosts and GetProcAddress expect.
#
# The linker exports the plain names (--kill-at). Its import library would
# then define the plain symbols too, which callers compiled with the header
# (who reference "name@n") cannot link against; so the import library is
# made again from the .def file by dlltool, whose --kill-at keeps the
# decorated symbols while importing the plain names.
find_program(ZK_DLLTOOL NAMES ${CMAKE_DLLTOOL} ${ZK_MINGW_PREFIX}-dlltool dlltool REQUIRED)

function(zk_windows_dll target name def)
  target_sources(${target} PRIVATE ${def})
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} PREFIX "" SUFFIX ".DLL")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${ZK_DLLTOOL} --kill-at --input-def ${def} --dllname ${name}.DLL
            --output-lib $<TARGET_LINKER_FILE:${target}>
    COMMENT "Import library of ${name}.DLL"
    VERBATIM)
endfunction()

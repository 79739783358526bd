# Cross build for 32-bit Windows with Debian's mingw-w64 toolchain.
#
# The posix thread model of the compiler is used because the engine and
# GoogleTest rely on std::mutex and std::thread. Everything is linked
# statically (libgcc, libstdc++, winpthread), so ZKSQL.DLL and JXENGINE.DLL
# depend on nothing but the system's own DLLs, as a host installation needs.
#
# Test programs run through wine (CMAKE_CROSSCOMPILING_EMULATOR), both for
# GoogleTest's test discovery and for ctest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZK_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Floating point in SSE2 registers, as on x86-64: the x87 unit's 80-bit
# intermediates would make comparisons, rounding and the reading of numbers
# differ from the Linux build (a value that is zero as a double need not be
# zero in a register). Every processor a 32-bit Windows of today runs on
# has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(ZK_WINE NAMES wine)
if(ZK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZK_WINE})
endif()

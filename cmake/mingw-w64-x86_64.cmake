# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads flavour, which
# std::thread and std::mutex need). The runtime is linked statically, so that kavrel.exe and
# the test programs run on a bare Windows (or Wine) without MinGW's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KAVREL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KAVREL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVREL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVREL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs the Windows programs through Wine.
find_program(KAVREL_WINE NAMES wine wine64)
if(KAVREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KAVREL_WINE})
endif()

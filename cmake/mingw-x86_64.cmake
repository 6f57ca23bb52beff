# Cross-building for 64-bit Windows with MinGW-w64 (Debian g++-mingw-w64-x86-64).
# The POSIX-threads flavour of the compiler carries std::thread and std::mutex;
# its run-time is linked statically, so the binaries need only system DLLs.
# Tests run under Wine: ctest prefixes each Windows program with it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KAVREL_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KAVREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVREL_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${KAVREL_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(KAVREL_WINE NAMES wine wine64)
if(KAVREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KAVREL_WINE})
endif()

# Cross build for 64-bit Windows with mingw-w64 on Linux:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The tests run under Wine (CTest starts each .exe through the emulator).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(IRTICK_MINGW_TRIPLE x86_64-w64-mingw32)
# The compilers with the POSIX thread model: GoogleTest needs std::mutex,
# which GCC 12's win32 thread model does not have.  The plain names point
# at either model, depending on the machine's alternatives.
set(CMAKE_C_COMPILER ${IRTICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${IRTICK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${IRTICK_MINGW_TRIPLE}-windres)

# Headers and libraries from the mingw-w64 tree only; programs (Wine, the
# build tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${IRTICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The GCC runtime, the C++ library and the POSIX threads library linked
# in, so that irtick.exe and the test programs need no DLL beside them
# (under Wine or on a PC), only the system's own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Wine runs the programs: CTest's tests and the test discovery after each
# build, through wine-run.sh beside this file.  Wine's state lives in
# IRTICK_WINEPREFIX: the WINEPREFIX of the configuring shell, or else a
# folder in the build tree, so that a build never touches ~/.wine.
find_program(IRTICK_WINE NAMES wine wine64)
if(NOT IRTICK_WINE)
  # The programs still build; the tests cannot run (configure them off).
  message(WARNING "wine not found: the Windows tests cannot run here "
    "(apt-get install wine64, or configure with -DBUILD_TESTING=OFF)")
  return()
endif()
if(NOT IRTICK_WINEPREFIX)
  if(DEFINED ENV{WINEPREFIX})
    set(IRTICK_WINEPREFIX "$ENV{WINEPREFIX}" CACHE PATH "Wine prefix for the tests")
  else()
    set(IRTICK_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for the tests")
  endif()
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
  /usr/bin/env WINEPREFIX=${IRTICK_WINEPREFIX} IRTICK_WINE=${IRTICK_WINE}
  /bin/sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)

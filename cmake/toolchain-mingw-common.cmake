# SPDX-License-Identifier: MIT
# What both mingw-w64 toolchain files share; they set ZMR_MINGW_TRIPLE first.
set(CMAKE_C_COMPILER ${ZMR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZMR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_ASM_COMPILER ${ZMR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_RC_COMPILER ${ZMR_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${ZMR_MINGW_TRIPLE}-dlltool)
set(CMAKE_OBJDUMP ${ZMR_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${ZMR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs the test programs (64-bit only). The launcher script keeps a private prefix under
# the build folder; see cmake/Windows.cmake.
if(ZMR_MINGW_TRIPLE STREQUAL "x86_64-w64-mingw32")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
endif()

# SPDX-License-Identifier: MIT
# Cross build for 32-bit Windows with Debian's mingw-w64 (posix thread model), for the
# `windows-x86` preset. Built and linked only: this machine cannot run 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZMR_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# SPDX-License-Identifier: MIT
# GoogleTest built for the target from Debian's sources (package googletest), for the cross builds
# (Windows, 32-bit Linux), where the build machine's libgtest does not fit.
if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in /usr/src/googletest (package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own code is built with its own flags, not with our warnings as errors.
foreach(target gtest gtest_main gmock gmock_main)
  set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS "")
endforeach()

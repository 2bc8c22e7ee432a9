# SPDX-License-Identifier: MIT
# A cross build for another Linux (preset `linux-x86`: 32-bit x86): the core, the simulated
# printer and their test suites, run under the toolchain's user-mode emulator.
#
# The target has no Qt, libusb or libsystemd installed here, and the emulator runs the one program
# it is given but cannot start another from it: no programs, no desktop tool, no libusb drivers,
# no benchmarks and no process tests (tests/CMakeLists.txt picks the suites).
foreach(option ZMR_BUILD_PROGRAMS ZMR_BUILD_GUI ZMR_BUILD_DRIVERS ZMR_BUILD_BENCH ZMR_FUZZ
               ZMR_SANITIZE)
  if(${option})
    message(STATUS "${option} is not available for a Linux cross build: turned off")
    set(${option} OFF CACHE BOOL "" FORCE)
  endif()
endforeach()

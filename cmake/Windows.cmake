# SPDX-License-Identifier: MIT
# The Windows build (mingw-w64 cross build, presets `windows` and `windows-x86`).
#
# No Qt, no libusb, no benchmarks and no fuzzers exist for this target. Programs and DLLs link
# the compiler's run-time libraries statically, so that an .exe needs only Windows' own DLLs and
# the driver library it imports (TUsbPrIf.dll).
foreach(option ZMR_BUILD_GUI ZMR_BUILD_DRIVERS ZMR_BUILD_BENCH ZMR_FUZZ ZMR_SANITIZE)
  if(${option})
    message(STATUS "${option} is not available for Windows: turned off")
    set(${option} OFF CACHE BOOL "" FORCE)
  endif()
endforeach()

add_link_options(-static)
# A DLL of ours that exports everything (the model of the simulated printer, for the tests) does
# not pass on what it took from static libraries (threads, the C++ library).
string(APPEND CMAKE_SHARED_LINKER_FLAGS " -Wl,--exclude-libs,ALL")
# The sources are UTF-8 and so are the program's texts; the console is switched to UTF-8 output.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

# Test programs run under Wine, with a private prefix in the build folder (scripts/wine-run.sh).
set(ZMR_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${ZMR_WINEPREFIX})
endif()

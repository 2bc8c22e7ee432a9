# SPDX-License-Identifier: MIT
# Tests of the Windows build: GoogleTest built for the target from Debian's sources, and every
# test program run under Wine through CTest (CMAKE_CROSSCOMPILING_EMULATOR).
#
# A process start under Wine costs up to a few seconds, so each test program is one CTest test
# (no discovery of cases), and one persistent wineserver serves the whole run (fixture `wine`).
include(${CMAKE_CURRENT_LIST_DIR}/GoogleTestSources.cmake)
include(GoogleTest)

if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(ZMR_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${ZMR_WINEPREFIX})
  add_test(NAME wine.start COMMAND ${ZMR_WINE_RUN} --start-server)
  add_test(NAME wine.stop COMMAND ${ZMR_WINE_RUN} --stop-server)
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
  # One private X display (Xvfb with a window manager) for every program of the run: Wine's
  # desktop process stays bound to the display of the first program that needed one. Its number
  # comes from the build folder, so that two build folders do not share one.
  string(MD5 build_hash ${CMAKE_BINARY_DIR})
  string(SUBSTRING ${build_hash} 0 3 build_hash)
  math(EXPR ZMR_WINE_DISPLAY "0x${build_hash} % 400 + 100")
  set(display_dir ${CMAKE_BINARY_DIR}/wine-display)
  add_test(NAME wine.display.start COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-display.sh
                                           ${display_dir} start :${ZMR_WINE_DISPLAY})
  add_test(NAME wine.display.stop
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-display.sh ${display_dir} stop)
  set_tests_properties(wine.display.start PROPERTIES FIXTURES_SETUP wine_display)
  set_tests_properties(wine.display.stop PROPERTIES FIXTURES_CLEANUP wine_display)
  set_tests_properties(wine.start wine.stop PROPERTIES FIXTURES_REQUIRED wine_display
                                                      ENVIRONMENT DISPLAY=:${ZMR_WINE_DISPLAY})
endif()

# A Windows path of the build machine's folder as Wine sees it (drive Z: is the root).
function(zmr_wine_path out path)
  string(REPLACE "/" "\\" path "${path}")
  set(${out} "Z:${path}" PARENT_SCOPE)
endfunction()
zmr_wine_path(ZMR_SIM_LIB_WINE_PATH ${ZMR_SIM_LIB_DIR})

# What every test of this build needs: the Wine server, and the simulated driver libraries on
# the DLL search path (as the library path does on Linux).
function(zmr_windows_test name)
  set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED wine wine_display)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "WINEPATH=${ZMR_SIM_LIB_WINE_PATH}"
                                                        "DISPLAY=:${ZMR_WINE_DISPLAY}")
endfunction()

# Replaces GoogleTest's discovery: the whole program is one test.
function(gtest_discover_tests target)
  cmake_parse_arguments(ARG "" "DISCOVERY_TIMEOUT;TEST_PREFIX;TEST_SUFFIX" "PROPERTIES;EXTRA_ARGS"
                        ${ARGN})
  target_compile_options(${target} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/windows/posix_env.h)
  add_test(NAME ${target} COMMAND ${target} ${ARG_EXTRA_ARGS})
  if(ARG_PROPERTIES)
    set_tests_properties(${target} PROPERTIES ${ARG_PROPERTIES})
  endif()
  zmr_windows_test(${target})
endfunction()

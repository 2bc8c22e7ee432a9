# SPDX-License-Identifier: MIT
# Installs the build in BUILD_DIR under a scratch DESTDIR and prefix, first as a plain install and
# then the simulator component, and checks what arrives and that the installed programs run.
#   cmake -DBUILD_DIR=... -DSCRATCH=... -DGUI=0|1 -P check_install.cmake
set(prefix /opt/zmr-check)
set(root "${SCRATCH}${prefix}")
file(REMOVE_RECURSE "${SCRATCH}")

function(install_build)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${SCRATCH}
            ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} ${ARGN}
    RESULT_VARIABLE result OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install ${ARGN} failed: ${result}")
  endif()
endfunction()

# Files (globs under the prefix) that must be there, or with "!" must not.
function(expect)
  foreach(pattern IN LISTS ARGN)
    set(absent FALSE)
    if(pattern MATCHES "^!(.*)")
      set(absent TRUE)
      set(pattern "${CMAKE_MATCH_1}")
    endif()
    file(GLOB_RECURSE found "${root}/${pattern}")
    if(absent AND found)
      message(FATAL_ERROR "installed, but must not be: ${found}")
    elseif(NOT absent AND NOT found)
      message(FATAL_ERROR "not installed: ${pattern}")
    endif()
  endforeach()
endfunction()

# A plain install: the tool without the simulated printer.
install_build()
expect(bin/zmr470-update-cli share/man/man1/zmr470-update-cli.1.gz
       */zmr470-update/libTUsbPrIf.so */zmr470-update/libZUsbXpIf.so
       share/doc/zmr470-update/copyright
       !*/sim/* !bin/zmr470-update-demo !*/libzmr_sim.so)
if(GUI)
  expect(bin/zmr470-update share/applications/*.desktop share/metainfo/*.metainfo.xml
         share/icons/hicolor/16x16/apps/*.png share/icons/hicolor/256x256/apps/*.png
         share/man/man1/zmr470-update.1.gz)
endif()

# The installed terminal tool finds its own libraries, and with no library path the real drivers:
# no printer on this machine.
execute_process(COMMAND ${root}/bin/zmr470-update-cli --version
                RESULT_VARIABLE result OUTPUT_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out MATCHES "^zmr470-update-cli [0-9.]+\n")
  message(FATAL_ERROR "installed zmr470-update-cli --version: ${result}\n${out}")
endif()

# The simulator component: its libraries and the launcher, which starts the installed tool on
# them. Only the simulated bus can have two printers.
install_build(--component simulator)
expect(*/zmr470-update/sim/libTUsbPrIf.so */zmr470-update/sim/libZUsbXpIf.so
       */zmr470-update/sim/libzmr_sim.so bin/zmr470-update-demo)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env ZMR470_SIM=listed=2 XDG_STATE_HOME=${SCRATCH}
          ${root}/bin/zmr470-update-demo --cli
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 11 OR NOT out MATCHES "Error: Two or more printers are connected.")
  message(FATAL_ERROR "zmr470-update-demo --cli: ${result}\n${out}${err}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")

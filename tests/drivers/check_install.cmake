# SPDX-License-Identifier: MIT
# Installs the drivers component of the build in BUILD_DIR under a scratch DESTDIR and prefix, and
# checks that the udev rule and both driver libraries arrive.
#   cmake -DBUILD_DIR=... -DSCRATCH=... -DRULE_SOURCE=... -P check_install.cmake
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${SCRATCH}
          ${CMAKE_COMMAND} --install ${BUILD_DIR} --component drivers --prefix /opt/zmr-check
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(rule "${SCRATCH}/opt/zmr-check/lib/udev/rules.d/70-zmr470.rules")
if(NOT EXISTS "${rule}")
  message(FATAL_ERROR "the udev rule is not at ${rule}")
endif()
file(READ "${rule}" installed)
file(READ "${RULE_SOURCE}" source)
if(NOT installed STREQUAL source)
  message(FATAL_ERROR "the installed udev rule differs from ${RULE_SOURCE}")
endif()
string(FIND "${installed}"
       "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"04cb\", ATTRS{idProduct}==\"5006\", TAG+=\"uaccess\""
       at)
if(at LESS 0)
  message(FATAL_ERROR "the udev rule does not give the seat's user the printer")
endif()

foreach(name TUsbPrIf ZUsbXpIf)
  file(GLOB_RECURSE found "${SCRATCH}/opt/zmr-check/*/zmr470-update/lib${name}.so")
  if(NOT found)
    message(FATAL_ERROR "lib${name}.so was not installed beside the tool")
  endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")

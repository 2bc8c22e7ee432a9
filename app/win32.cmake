# SPDX-License-Identifier: MIT
# The desktop tool on Windows: the Win32 dialogs of ui/win32/ with their resources.
add_executable(zmr470-update WIN32 ${CMAKE_CURRENT_LIST_DIR}/main_win32.cpp
                                   $<TARGET_OBJECTS:zmr_ui_win32_resources>)
target_link_libraries(zmr470-update PRIVATE zmr_ui_win32 zmr_update zmr_startup zmr_link_imports
                                            zmr_import_TUsbPrIf)
target_compile_definitions(zmr470-update PRIVATE ZMR_VERSION="${PROJECT_VERSION}")
add_dependencies(zmr470-update zmr_ui_win32_resources)
# Building the tool alone also builds the simulated printer's loaded library, for the demo.
if(TARGET sim_ZUsbXpIf)
  add_dependencies(zmr470-update sim_ZUsbXpIf)
endif()

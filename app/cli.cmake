# SPDX-License-Identifier: MIT
# The terminal tool: the same update as the desktop tool, with the progress on a terminal.
add_executable(zmr470-update-cli ${CMAKE_CURRENT_LIST_DIR}/main_cli.cpp)
target_link_libraries(zmr470-update-cli PRIVATE zmr_ui_cli zmr_update zmr_startup zmr_link_imports
                                                zmr_import_TUsbPrIf)
install(TARGETS zmr470-update-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installed, the tool finds its libraries (and the driver libraries) beside each other.
set_target_properties(zmr470-update-cli PROPERTIES INSTALL_RPATH "\$ORIGIN/../${ZMR_INSTALL_LIBDIR}")
# Building the tool alone also builds the simulated printer's two driver libraries, for the demo
# (without the linked one the import stub, which lists no printer, would be found instead).
if(TARGET sim_ZUsbXpIf)
  add_dependencies(zmr470-update-cli sim_ZUsbXpIf sim_TUsbPrIf)
endif()

# SPDX-License-Identifier: MIT
# The desktop tool.
add_executable(zmr470-update ${CMAKE_CURRENT_LIST_DIR}/main_gui.cpp)
target_link_libraries(zmr470-update PRIVATE zmr_ui_qt zmr_update zmr_startup zmr_link_imports
                                            zmr_import_TUsbPrIf)
install(TARGETS zmr470-update RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installed, the tool finds its libraries (and the driver libraries) beside each other.
set_target_properties(zmr470-update PROPERTIES INSTALL_RPATH "\$ORIGIN/../${ZMR_INSTALL_LIBDIR}")
# Building the tool alone also builds the simulated printer's two driver libraries, for the demo
# (without the linked one the import stub, which lists no printer, would be found instead).
if(TARGET sim_ZUsbXpIf)
  add_dependencies(zmr470-update sim_ZUsbXpIf sim_TUsbPrIf)
endif()

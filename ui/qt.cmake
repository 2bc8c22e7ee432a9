# The Qt desktop front end: main window, about box, progress window, message boxes, icon.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(zmr_ui_qt STATIC
  ${CMAKE_CURRENT_LIST_DIR}/about_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_units.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qt_key_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/update_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icons/icons.qrc)
set_target_properties(zmr_ui_qt PROPERTIES AUTOMOC ON AUTORCC ON)
target_include_directories(zmr_ui_qt PUBLIC ${PROJECT_SOURCE_DIR})
# The images name a member "slots", so Qt's keyword macros stay off (Q_SLOTS etc. instead).
target_compile_definitions(zmr_ui_qt PUBLIC QT_NO_KEYWORDS)
target_link_libraries(zmr_ui_qt PUBLIC Qt6::Widgets zmr_update zmr_link zmr_platform)

# Redraws the icon's PNGs (ui/icons/draw_icon.cpp says how); not part of a normal build.
add_executable(zmr_draw_icon EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/icons/draw_icon.cpp)
target_link_libraries(zmr_draw_icon PRIVATE Qt6::Gui)

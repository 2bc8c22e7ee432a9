# SPDX-License-Identifier: MIT
# zmr_fill_texts(<template> <output> [XML] [CRLF]): writes <output> at build time from <template>
# (a path in the build folder, as configure_file left it) with the texts of the string table and
# the terminal tool's exit statuses (fill_texts.cpp says which placeholders). The writer is built
# for and run on the build machine, also when the build is for another (Windows).
find_program(ZMR_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(ZMR_FILL_TEXTS ${CMAKE_CURRENT_BINARY_DIR}/fill_texts)
add_custom_command(
  OUTPUT ${ZMR_FILL_TEXTS}
  COMMAND ${ZMR_HOST_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR} -MD -MF ${ZMR_FILL_TEXTS}.d
          -o ${ZMR_FILL_TEXTS} ${PROJECT_SOURCE_DIR}/packaging/fill_texts.cpp
          ${PROJECT_SOURCE_DIR}/ui/cli/exit_status.cpp ${PROJECT_SOURCE_DIR}/update/string_table.cpp
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/fill_texts.cpp
          ${PROJECT_SOURCE_DIR}/ui/cli/exit_status.cpp ${PROJECT_SOURCE_DIR}/update/string_table.cpp
  DEPFILE ${ZMR_FILL_TEXTS}.d
  COMMENT "Building the writer of the packages' texts for the build machine"
  VERBATIM)

function(zmr_fill_texts template output)
  cmake_parse_arguments(ARG "XML;CRLF" "" "" ${ARGN})
  set(options)
  if(ARG_XML)
    list(APPEND options --xml)
  endif()
  if(ARG_CRLF)
    list(APPEND options --crlf)
  endif()
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${ZMR_FILL_TEXTS} ${options} ${template} ${output}
    DEPENDS ${template} ${ZMR_FILL_TEXTS}
    COMMENT "Writing ${output} with the string table's texts"
    VERBATIM)
endfunction()

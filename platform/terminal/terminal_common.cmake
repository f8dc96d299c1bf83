# What both terminal programs share: the option grammar driven by the control models, Ctrl-C,
# exit statuses and outcome lines.
add_library(terminal_common STATIC ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
                                   ${CMAKE_CURRENT_LIST_DIR}/cli_common.cpp)
target_include_directories(terminal_common PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(terminal_common PUBLIC common)
target_compile_definitions(terminal_common PRIVATE
                           SEVRANE_QUORVEL_VERSION="${PROJECT_VERSION}")

# Quorvel's terminal front end: command-line options as the converter window's controls.
add_library(quorvel_terminal STATIC ${CMAKE_CURRENT_LIST_DIR}/quorvel_terminal.cpp)
target_include_directories(quorvel_terminal PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorvel_terminal PUBLIC midibuilder analyser terminal_common)
target_link_libraries(quorvel_terminal PRIVATE live_play)

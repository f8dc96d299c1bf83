# Sevrane's terminal front end: argv as the window's controls, stderr progress, SIGINT as cancel.
add_library(sevrane_terminal STATIC ${CMAKE_CURRENT_LIST_DIR}/sevrane_terminal.cpp)
target_include_directories(sevrane_terminal PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(sevrane_terminal PUBLIC analyser terminal_common)

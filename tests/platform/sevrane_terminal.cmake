# Unit tests of Sevrane's terminal front end (option mapping and the progress line).
add_gtest(sevrane_terminal_tests ${CMAKE_CURRENT_LIST_DIR}/sevrane_terminal_test.cpp)
target_link_libraries(sevrane_terminal_tests PRIVATE sevrane_terminal)

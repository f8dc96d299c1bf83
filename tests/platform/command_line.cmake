# Unit tests of the command-line grammar both terminal programs share, on their control models.
add_gtest(command_line_tests ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp)
target_link_libraries(command_line_tests PRIVATE terminal_common analyser midibuilder)

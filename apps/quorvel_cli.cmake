# quorvel-cli: converts a DAT note-frame file into a Standard MIDI File from the terminal.
add_executable(quorvel-cli ${CMAKE_CURRENT_LIST_DIR}/quorvel_cli.cpp)
target_link_libraries(quorvel-cli PRIVATE quorvel_terminal)

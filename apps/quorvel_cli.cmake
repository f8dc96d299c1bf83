# quorvel-cli: converts a DAT note-frame file into a Standard MIDI File from the terminal;
# --render and --plot when the media layer is built.
add_executable(quorvel-cli ${CMAKE_CURRENT_LIST_DIR}/quorvel_cli.cpp)
target_link_libraries(quorvel-cli PRIVATE quorvel_terminal)
if(TARGET media)
  target_link_libraries(quorvel-cli PRIVATE media)
  target_compile_definitions(quorvel-cli PRIVATE QUORVEL_CLI_WITH_MEDIA)
endif()

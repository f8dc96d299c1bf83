# sevrane-cli: Sevrane's convert command on the command line.
add_executable(sevrane-cli ${CMAKE_CURRENT_LIST_DIR}/sevrane_cli.cpp)
target_link_libraries(sevrane-cli PRIVATE sevrane_terminal)

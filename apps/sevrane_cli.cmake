# sevrane-cli: Sevrane's convert command on the command line; --convert and --plot when the
# media layer is built.
add_executable(sevrane-cli ${CMAKE_CURRENT_LIST_DIR}/sevrane_cli.cpp)
target_link_libraries(sevrane-cli PRIVATE sevrane_terminal)
if(TARGET media)
  target_link_libraries(sevrane-cli PRIVATE media)
  target_compile_definitions(sevrane-cli PRIVATE SEVRANE_CLI_WITH_MEDIA)
endif()

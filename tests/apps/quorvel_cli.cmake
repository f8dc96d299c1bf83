# End-to-end runs of quorvel-cli on DAT files the tests write.
add_gtest(quorvel_cli_tests ${CMAKE_CURRENT_LIST_DIR}/quorvel_cli_test.cpp)
target_include_directories(quorvel_cli_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../midibuilder)
target_link_libraries(quorvel_cli_tests PRIVATE midibuilder)
target_compile_definitions(quorvel_cli_tests PRIVATE QUORVEL_CLI="$<TARGET_FILE:quorvel-cli>")
add_dependencies(quorvel_cli_tests quorvel-cli)
if(TARGET media)
  target_compile_definitions(quorvel_cli_tests PRIVATE CLI_WITH_MEDIA)
endif()

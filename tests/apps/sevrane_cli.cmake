# End-to-end tests of sevrane-cli on WAVE files that the tests write themselves.
add_gtest(sevrane_cli_tests ${CMAKE_CURRENT_LIST_DIR}/sevrane_cli_test.cpp)
target_link_libraries(sevrane_cli_tests PRIVATE common)
target_include_directories(sevrane_cli_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/analyser)
target_compile_definitions(sevrane_cli_tests PRIVATE SEVRANE_CLI="$<TARGET_FILE:sevrane-cli>")
add_dependencies(sevrane_cli_tests sevrane-cli)
if(TARGET media)
  target_compile_definitions(sevrane_cli_tests PRIVATE CLI_WITH_MEDIA)
endif()

# Test support shared by the test programs and the fuzz harnesses: a strict Standard MIDI File
# reader, the checks every MIDI file of the builder must pass, and a scripted environment for
# driving the convert commands. Also the command-line form of the reader: smf-check [-v] FILE...
add_library(testkit STATIC ${CMAKE_CURRENT_LIST_DIR}/testkit/smf_check.cpp
                           ${CMAKE_CURRENT_LIST_DIR}/testkit/builder_check.cpp)
target_include_directories(testkit PUBLIC ${CMAKE_CURRENT_LIST_DIR}/testkit)
target_link_libraries(testkit PUBLIC common)
add_executable(smf-check ${CMAKE_CURRENT_LIST_DIR}/testkit/smf_check_main.cpp)
target_link_libraries(smf-check PRIVATE testkit)

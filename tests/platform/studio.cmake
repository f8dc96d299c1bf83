# Qt Test program for Sevrane Studio (platform/qt/studio/), on the offscreen platform; it
# compares the studio's files with the command-line twins'.
if(TARGET studio AND TARGET sevrane-cli AND TARGET quorvel-cli AND TARGET sevrane-studio)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(qt_studio_test ${CMAKE_CURRENT_LIST_DIR}/studio/studio_test.cpp)
  set_target_properties(qt_studio_test PROPERTIES AUTOMOC ON)
  target_include_directories(qt_studio_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/qt)
  target_link_libraries(qt_studio_test PRIVATE studio Qt6::Test)
  target_compile_definitions(qt_studio_test PRIVATE SEVRANE_CLI="$<TARGET_FILE:sevrane-cli>"
                                                    QUORVEL_CLI="$<TARGET_FILE:quorvel-cli>"
                                                    SEVRANE_STUDIO="$<TARGET_FILE:sevrane-studio>")
  add_dependencies(qt_studio_test sevrane-cli quorvel-cli sevrane-studio)
  add_test(NAME qt_studio_test COMMAND qt_studio_test)
  set_tests_properties(qt_studio_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                                                 TIMEOUT 300)
endif()
# The studio's Listen panel playing to a MIDI port of a JACK server of its own (label "live").
if(TARGET studio AND TARGET midi_player_tests)
  add_executable(qt_listen_port_test ${CMAKE_CURRENT_LIST_DIR}/studio/listen_port_test.cpp)
  set_target_properties(qt_listen_port_test PROPERTIES AUTOMOC ON)
  target_include_directories(qt_listen_port_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ports)
  target_link_libraries(qt_listen_port_test PRIVATE studio Qt6::Test PkgConfig::TEST_JACK)
  add_test(NAME qt_listen_port_test COMMAND qt_listen_port_test)
  set_tests_properties(qt_listen_port_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                                                      TIMEOUT 120 LABELS live)
endif()

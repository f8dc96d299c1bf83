# The MIDI player and quorvel-cli's live output against a JACK server of the tests' own
# (label "live": they need jackd and measure time, so a sanitizer run may leave them out).
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(TEST_JACK QUIET IMPORTED_TARGET jack)
endif()
if(TEST_JACK_FOUND AND TARGET midiports)
  add_executable(midi_player_tests ${CMAKE_CURRENT_LIST_DIR}/ports/midi_player_test.cpp)
  target_link_libraries(midi_player_tests PRIVATE midiports quorvel_terminal PkgConfig::TEST_JACK
                                                  GTest::gtest_main)
  gtest_discover_tests(midi_player_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS live TIMEOUT 60)
endif()

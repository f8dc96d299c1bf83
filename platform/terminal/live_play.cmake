# quorvel-cli's live MIDI output: --list-ports and --play over the MIDI ports and their player.
add_library(live_play STATIC ${CMAKE_CURRENT_LIST_DIR}/live_play.cpp)
target_include_directories(live_play PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(live_play PUBLIC midiports terminal_common)

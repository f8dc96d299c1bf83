# live-timing: how punctually the MIDI player delivers to a JACK MIDI input (scripts/measure-live).
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(TOOL_JACK QUIET IMPORTED_TARGET jack)
endif()
if(TOOL_JACK_FOUND AND TARGET midiports)
  add_executable(live-timing ${CMAKE_CURRENT_LIST_DIR}/live/live_timing.cpp)
  target_link_libraries(live-timing PRIVATE midiports midibuilder PkgConfig::TOOL_JACK)
endif()

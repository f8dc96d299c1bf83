# The sine-wave SoundFont for listening to the MIDI files: the program, and the file itself in
# the build tree (${CMAKE_BINARY_DIR}/sine.sf2), from the writer library beside the renderer
# (media/sine_soundfont.cmake).

add_executable(make-sine-soundfont ${CMAKE_CURRENT_LIST_DIR}/soundfont/make_sine_soundfont.cpp)
target_link_libraries(make-sine-soundfont PRIVATE sine_soundfont)

set(SINE_SOUNDFONT ${CMAKE_BINARY_DIR}/sine.sf2)
add_custom_command(OUTPUT ${SINE_SOUNDFONT}
  COMMAND make-sine-soundfont ${SINE_SOUNDFONT}
  DEPENDS make-sine-soundfont
  COMMENT "Writing the sine-wave SoundFont")
add_custom_target(sine_soundfont_file ALL DEPENDS ${SINE_SOUNDFONT})

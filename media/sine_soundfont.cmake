# The sine SoundFont writer, standard library only: the renderer builds the SoundFont into the
# media library with it, and the tools write it as a file (tools/soundfont.cmake).
add_library(sine_soundfont STATIC ${CMAKE_CURRENT_LIST_DIR}/sine_soundfont.cpp)
target_include_directories(sine_soundfont PUBLIC ${CMAKE_CURRENT_LIST_DIR})

# Tests of the demo's own tools: the sine SoundFont writer (also rendered with FluidSynth when
# it is installed) and the spectrogram comparison.
# The spectrogram tools are built with the media layer (FFTW).
if(NOT TARGET spectrogram_tools)
  return()
endif()
file(GLOB DEMO_TOOLS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/demo_tools/*_test.cpp)
add_gtest(demo_tools_tests ${DEMO_TOOLS_TEST_SOURCES})
target_link_libraries(demo_tools_tests PRIVATE sine_soundfont spectrogram_tools)
find_program(FLUIDSYNTH_EXECUTABLE fluidsynth)
if(NOT FLUIDSYNTH_EXECUTABLE)
  set(FLUIDSYNTH_EXECUTABLE "")
endif()
target_compile_definitions(demo_tools_tests PRIVATE
  FLUIDSYNTH_EXECUTABLE="${FLUIDSYNTH_EXECUTABLE}"
  TEST_SCRATCH_DIR="${CMAKE_CURRENT_BINARY_DIR}")

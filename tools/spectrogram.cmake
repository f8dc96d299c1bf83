# Spectrogram comparison of an original recording with its rendering (used by the end-to-end
# test of the demo pipeline). Its transforms are the media layer's (FFTW).
if(WITH_MEDIA)
  add_library(spectrogram_tools STATIC ${CMAKE_CURRENT_LIST_DIR}/spectrogram/spectrogram.cpp)
  target_include_directories(spectrogram_tools PUBLIC ${CMAKE_CURRENT_LIST_DIR}/spectrogram)
  target_link_libraries(spectrogram_tools PUBLIC media)

  add_executable(spectrogram-compare ${CMAKE_CURRENT_LIST_DIR}/spectrogram/spectrogram_compare.cpp)
  target_link_libraries(spectrogram-compare PRIVATE spectrogram_tools)
endif()

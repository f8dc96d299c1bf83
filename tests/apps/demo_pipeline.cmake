# The demo chain end to end on the bundled recordings (English mono, Japanese stereo): the
# rendering of the MIDI file (quorvel-cli --render) must resemble the recording clearly better
# than the recording resembles a copy of itself shuffled in time. Built with the media layer.
# The required margin of the rendering's correlation over the shuffled baseline. Measured with
# device sc-8850: English 0.722 against 0.378, Japanese 0.729 against 0.382 (the same with the
# FluidSynth program as with quorvel-cli --render) (margins 0.34 and
# 0.35); the linear levels of halvoran still give 0.24. Two unrelated recordings (the English
# sample against the Japanese one) reach a margin of 0.11, so 0.2 tells a resemblance apart.
set(DEMO_PIPELINE_MIN_MARGIN 0.2)
if(TARGET sevrane-cli AND TARGET quorvel-cli AND TARGET spectrogram-compare AND TARGET media)
  foreach(sample english japanese)
    add_test(NAME demo_pipeline_${sample}
      COMMAND ${CMAKE_CURRENT_LIST_DIR}/demo_pipeline_test.sh
        ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/demo_pipeline_${sample}
        ${CMAKE_SOURCE_DIR}/samples/${sample}.wav ${DEMO_PIPELINE_MIN_MARGIN})
    set_tests_properties(demo_pipeline_${sample} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
  endforeach()
else()
  message(STATUS "demo_pipeline tests need sevrane-cli, quorvel-cli, spectrogram-compare and media")
endif()

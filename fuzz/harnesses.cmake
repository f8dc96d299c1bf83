# libFuzzer harnesses. The top-level WITH_FUZZ option instruments every layer for coverage and
# with address and undefined-behaviour sanitizers; each harness links libFuzzer's main.
# `cmake --build DIR --target fuzzers` builds all of them and the seed generator; scripts/fuzz
# runs them.
add_custom_target(fuzzers)

# The estimator's inner loops compare nothing but loop counters: tracing those comparisons
# would make every estimate a hundred times slower and guide the fuzzer nowhere.
file(GLOB ESTIMATOR_SOURCES ${PROJECT_SOURCE_DIR}/analyser/kernels/*.cpp)
list(APPEND ESTIMATOR_SOURCES ${PROJECT_SOURCE_DIR}/analyser/partial_estimator.cpp
     ${PROJECT_SOURCE_DIR}/analyser/coarse_plan.cpp)
set_property(SOURCE ${ESTIMATOR_SOURCES} TARGET_DIRECTORY analyser APPEND
             PROPERTY COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)

function(add_fuzzer name source)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${source})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(${name} PRIVATE ${ARGN})
  add_dependencies(fuzzers ${name})
endfunction()

add_fuzzer(fuzz-wave-loader wave_loader_fuzz.cpp analyser)
add_fuzzer(fuzz-dat-to-midi dat_to_midi_fuzz.cpp midibuilder testkit)
add_fuzzer(fuzz-number-fields number_fields_fuzz.cpp common)
add_fuzzer(fuzz-estimator estimator_fuzz.cpp analyser)
add_fuzzer(fuzz-wide-reader wide_reader_fuzz.cpp midibuilder)
add_fuzzer(fuzz-smf-reader smf_reader_fuzz.cpp midibuilder)

# Writes the seed corpora: fuzz-seeds DIR.
add_executable(fuzz-seeds ${CMAKE_CURRENT_LIST_DIR}/make_seeds.cpp)
target_link_libraries(fuzz-seeds PRIVATE midibuilder)
add_dependencies(fuzzers fuzz-seeds)
target_include_directories(fuzz-seeds PRIVATE ${CMAKE_CURRENT_LIST_DIR})

# The recording decoder and its mixing, with seeds written by libsndfile itself.
if(WITH_MEDIA)
  add_fuzzer(fuzz-recording recording_fuzz.cpp media)
  add_executable(fuzz-recording-seeds ${CMAKE_CURRENT_LIST_DIR}/make_recording_seeds.cpp)
  target_link_libraries(fuzz-recording-seeds PRIVATE PkgConfig::MEDIA_DEPS)
  add_dependencies(fuzzers fuzz-recording-seeds)
endif()

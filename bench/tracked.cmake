# The tracking analysis on 60 seconds of speech-like signal, one thread, against real time and
# against the seed's one-pass extraction on one thread.
if(WITH_MEDIA)
  find_package(benchmark REQUIRED)
  add_executable(tracked_bench ${CMAKE_CURRENT_LIST_DIR}/tracked_bench.cpp)
  target_include_directories(tracked_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/analyser)
  target_link_libraries(tracked_bench PRIVATE media analyser benchmark::benchmark
                        benchmark::benchmark_main)
endif()

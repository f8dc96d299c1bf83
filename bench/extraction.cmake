# Whole-extraction benchmark: 60 seconds of speech-like signal at 1/60 s, one and four passes.
find_package(benchmark REQUIRED)
add_executable(extraction_bench ${CMAKE_CURRENT_LIST_DIR}/extraction_bench.cpp)
target_include_directories(extraction_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/analyser)
target_link_libraries(extraction_bench PRIVATE analyser benchmark::benchmark)

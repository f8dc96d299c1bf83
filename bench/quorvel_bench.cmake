# Benchmarks of Quorvel's conversion (Google Benchmark).
find_package(benchmark REQUIRED)
add_executable(quorvel_bench ${CMAKE_CURRENT_LIST_DIR}/quorvel_bench.cpp)
target_link_libraries(quorvel_bench PRIVATE midibuilder benchmark::benchmark benchmark::benchmark_main)

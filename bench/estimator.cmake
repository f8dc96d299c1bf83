# Estimator benchmark: the literal kernel against every fast path, per window length.
find_package(benchmark REQUIRED)
add_executable(estimator_bench ${CMAKE_CURRENT_LIST_DIR}/estimator_bench.cpp)
target_include_directories(estimator_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/analyser)
target_link_libraries(estimator_bench PRIVATE analyser benchmark::benchmark)

# How often the fast estimator paths change a stored value of a whole extraction of a real
# recording, against the literal fine search and synthesis.
add_executable(extraction-agreement ${CMAKE_CURRENT_LIST_DIR}/agreement/extraction_agreement.cpp)
target_link_libraries(extraction-agreement PRIVATE analyser)

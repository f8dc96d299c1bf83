# In-process robustness tests (failure paths, invariants, fuzz findings) form one test program
# built from tests/robustness/*_test.cpp.
file(GLOB ROBUSTNESS_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/robustness/*_test.cpp)
if(ROBUSTNESS_TEST_SOURCES)
  add_gtest(robustness_tests ${ROBUSTNESS_TEST_SOURCES})
  target_link_libraries(robustness_tests PRIVATE analyser midibuilder testkit)
endif()

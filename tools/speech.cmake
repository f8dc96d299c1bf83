# intelligibility: STOI and ESTOI of a rendering against its recording.
# analyse-method: runs an analysis method by name on a recording and writes its DAT file, with
# the tracking analysis's numeric choices open to experiments.
if(WITH_MEDIA)
  add_executable(intelligibility ${CMAKE_CURRENT_LIST_DIR}/speech/intelligibility_main.cpp)
  target_link_libraries(intelligibility PRIVATE media)
  add_executable(analyse-method ${CMAKE_CURRENT_LIST_DIR}/speech/analyse_method.cpp)
  target_link_libraries(analyse-method PRIVATE media)
endif()

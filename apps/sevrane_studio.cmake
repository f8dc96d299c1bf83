# sevrane-studio: the all-in-one window, from a recording to a MIDI file you can see and hear.
if(TARGET studio)
  add_executable(sevrane-studio ${CMAKE_CURRENT_LIST_DIR}/sevrane_studio.cpp)
  target_link_libraries(sevrane-studio PRIVATE studio terminal_common)
  include(GNUInstallDirs)
  install(TARGETS sevrane-studio RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/sevrane-studio.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/sevrane-studio.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The two window programs, `sevrane` and `quorvel`, with their desktop entries and icons.
if(WITH_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  add_executable(sevrane ${CMAKE_CURRENT_LIST_DIR}/sevrane.cpp)
  target_link_libraries(sevrane PRIVATE qtfront)
  add_executable(quorvel ${CMAKE_CURRENT_LIST_DIR}/quorvel.cpp)
  target_link_libraries(quorvel PRIVATE qtfront)

  include(GNUInstallDirs)
  install(TARGETS sevrane quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/sevrane.desktop
                ${PROJECT_SOURCE_DIR}/resources/desktop/quorvel.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # The MIME type of DAT note-frame files, for the Quorvel entry's MimeType.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/mime/note-frames.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/sevrane.svg
                ${PROJECT_SOURCE_DIR}/resources/icons/quorvel.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

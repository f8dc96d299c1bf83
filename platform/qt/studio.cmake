# Sevrane Studio's window layer (platform/qt/studio/): the all-in-one window on the core and the
# media layer, with Qt Multimedia for playing and Qt Linguist translations compiled at build
# time. Built only where the media layer is.
if(TARGET media)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Multimedia LinguistTools)
  file(GLOB STUDIO_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/studio/*.cpp)
  add_library(studio STATIC ${STUDIO_SOURCES})
  set_target_properties(studio PROPERTIES AUTOMOC ON)
  target_include_directories(studio PUBLIC ${CMAKE_CURRENT_LIST_DIR}/studio)
  target_link_libraries(studio PUBLIC qtfront media midiports Qt6::Widgets Qt6::Multimedia)
  qt_add_translations(studio
    TS_FILES ${PROJECT_SOURCE_DIR}/resources/translations/studio_en.ts
             ${PROJECT_SOURCE_DIR}/resources/translations/studio_ja.ts
    RESOURCE_PREFIX /i18n)
  qt_add_resources(studio "studio_resources"
    PREFIX "/"
    BASE ${PROJECT_SOURCE_DIR}/resources
    FILES ${PROJECT_SOURCE_DIR}/resources/icons/sevrane-studio.svg)
endif()

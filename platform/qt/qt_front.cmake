# The Qt window layer of both programs: dialog templates, message boxes, file dialog, clocks,
# and the two windows. Every .cpp in this folder is part of it.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

file(GLOB QTFRONT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(qtfront STATIC ${QTFRONT_SOURCES})
set_target_properties(qtfront PROPERTIES AUTOMOC ON)
target_include_directories(qtfront PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qtfront PUBLIC Qt6::Widgets analyser midibuilder common)
# The core headers use names such as `slots` that Qt would otherwise take as keywords.
target_compile_definitions(qtfront PUBLIC QT_NO_KEYWORDS)

set(QTFRONT_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)
qt_add_resources(qtfront "qtfront_resources"
  PREFIX "/"
  BASE ${QTFRONT_RESOURCE_DIR}
  FILES
    ${QTFRONT_RESOURCE_DIR}/dialogs/sevrane.json
    ${QTFRONT_RESOURCE_DIR}/dialogs/sevrane_progress.json
    ${QTFRONT_RESOURCE_DIR}/dialogs/quorvel.json
    ${QTFRONT_RESOURCE_DIR}/icons/sevrane.svg
    ${QTFRONT_RESOURCE_DIR}/icons/quorvel.svg)

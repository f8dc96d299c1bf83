# Qt Test programs for the window layer, one per *_test.cpp in qt/, run on the offscreen platform.
if(WITH_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  file(GLOB QT_GUI_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/qt/*_test.cpp)
  foreach(source IN LISTS QT_GUI_TESTS)
    get_filename_component(name ${source} NAME_WE)
    set(target qt_${name})
    add_executable(${target} ${source})
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/qt)
    target_link_libraries(${target} PRIVATE qtfront Qt6::Test)
    # Conversion tests compare the windows' files with the command-line twins'.
    if(TARGET sevrane-cli AND TARGET quorvel-cli)
      target_compile_definitions(${target} PRIVATE SEVRANE_CLI="$<TARGET_FILE:sevrane-cli>"
                                                   QUORVEL_CLI="$<TARGET_FILE:quorvel-cli>")
      add_dependencies(${target} sevrane-cli quorvel-cli)
    endif()
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
      TIMEOUT 300)
  endforeach()
endif()

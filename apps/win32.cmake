# Windows: the native windows sevrane.exe and quorvel.exe (where no Qt build is asked for), and
# the resources of all four programs (icon, version information, manifest).
if(WIN32)
  if(NOT WITH_GUI)
    add_executable(sevrane_win32 WIN32 ${CMAKE_CURRENT_LIST_DIR}/sevrane_win32.cpp)
    set_target_properties(sevrane_win32 PROPERTIES OUTPUT_NAME sevrane)
    target_link_libraries(sevrane_win32 PRIVATE win32front)
    win32_resources(sevrane_win32 "Sevrane: WAVE to DAT note frames" ${WIN32_ICON_sevrane})

    add_executable(quorvel_win32 WIN32 ${CMAKE_CURRENT_LIST_DIR}/quorvel_win32.cpp)
    set_target_properties(quorvel_win32 PROPERTIES OUTPUT_NAME quorvel)
    target_link_libraries(quorvel_win32 PRIVATE win32front)
    win32_resources(quorvel_win32 "Quorvel: DAT note frames to MIDI" ${WIN32_ICON_quorvel})
  endif()
  target_link_libraries(sevrane-cli PRIVATE win32console)
  target_link_libraries(quorvel-cli PRIVATE win32console)
  win32_resources(sevrane-cli "Sevrane command line: WAVE to DAT note frames"
                  ${WIN32_ICON_sevrane})
  win32_resources(quorvel-cli "Quorvel command line: DAT note frames to MIDI"
                  ${WIN32_ICON_quorvel})
endif()

# What a Debian package installs beyond the windows' own rules (apps/gui.cmake,
# apps/sevrane_studio.cmake): the two command lines, their manual pages made from --help with
# help2man, and their bash completion. `cpack -G DEB` in a build folder makes the package
# (scripts/package-deb).
if(CMAKE_CROSSCOMPILING OR WIN32)
  return()
endif()
include(GNUInstallDirs)

install(TARGETS sevrane-cli quorvel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(program sevrane-cli quorvel-cli)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/sevrane-quorvel.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
endforeach()

find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(summary_sevrane-cli "analyse a WAVE recording into DAT note frames")
  set(summary_quorvel-cli "turn DAT note frames into a Standard MIDI File")
  set(pages)
  foreach(program sevrane-cli quorvel-cli)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
              ${HELP2MAN} --no-info --no-discard-stderr "--name=${summary_${program}}"
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program}
      COMMENT "Writing the manual page of ${program}")
    list(APPEND pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no manual pages (scripts/setup package installs it)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sevrane-quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Sevrane and Quorvel developers <sevrane-quorvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make a MIDI sound module speak: recordings to sine notes")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Sevrane analyses a recording into six sinusoidal partials per 1/60 s frame and\n"
       "writes a DAT note-frame file; Quorvel turns that file into a Standard MIDI File of\n"
       "held sine notes for one of four sound modules. Both come as windows and as command\n"
       "lines, with Sevrane Studio, the all-in-one window.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The libraries' packages, found by dpkg-shlibdeps from what the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)
include(CPack)

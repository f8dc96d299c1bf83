# End-to-end limits and failures through both command-line programs: one test per case of
# cli_limits_test.sh. The full 600-second analysis is labelled slow.
if(TARGET sevrane-cli AND TARGET quorvel-cli)
  set(CLI_LIMIT_CASES wave-too-long wave-claims-4gib wave-beyond-2gib input-failures dat-longest
                      dat-int32-extremes extreme-timing full-disk read-only-folder full-600-seconds)
  foreach(case IN LISTS CLI_LIMIT_CASES)
    add_test(NAME cli_limits.${case}
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/cli_limits_test.sh ${case})
    set_tests_properties(cli_limits.${case} PROPERTIES
      ENVIRONMENT "SEVRANE=$<TARGET_FILE:sevrane-cli>;QUORVEL=$<TARGET_FILE:quorvel-cli>;SMFCHECK=$<TARGET_FILE:smf-check>"
      SKIP_RETURN_CODE 77 TIMEOUT 120)
  endforeach()
  set_tests_properties(cli_limits.full-600-seconds PROPERTIES LABELS slow TIMEOUT 900)
endif()

# Every command of the project answers --help and --version and refuses a
# bad option with exit status 2.
add_test(NAME command_line_conventions
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/command_line_test.sh ${VARLO_FILE_VERSION}
          $<TARGET_FILE:orbsim> $<TARGET_FILE:varlo-cli> $<TARGET_FILE:link_bench>
          $<TARGET_FILE:serial_bench> $<TARGET_FILE:startup_bench> $<TARGET_FILE:ui_bench>
          $<TARGET_FILE:cli_bench> $<TARGET_FILE:soak_bench>)
set_tests_properties(command_line_conventions PROPERTIES TIMEOUT 60)

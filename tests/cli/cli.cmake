varlo_add_gtest(varlo_cli_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/cli_devices_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/backup_set_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/backup_folder_test.cpp
  LIBS varlo_cli_core varlo_testsupport)
target_compile_definitions(varlo_cli_tests PRIVATE VARLO_CLI_PATH="$<TARGET_FILE:varlo-cli>")
add_dependencies(varlo_cli_tests varlo-cli)

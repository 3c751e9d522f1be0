# An executable that carries a version record of another build (flags
# pre-release and special build), for the reader and the about box.
varlo_add_version_record(varlo_probe_version_record VERSION 2.5.7.1234
  FLAGS 34 FLAGS_MASK 63 COMMENTS "Probe build")
add_executable(version_probe ${CMAKE_CURRENT_LIST_DIR}/version_probe.cpp)
target_link_libraries(version_probe PRIVATE varlo_probe_version_record)

varlo_add_gtest(version_record_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/version_record_test.cpp
  LIBS varlo_version)
target_compile_definitions(version_record_tests PRIVATE
  VERSION_PROBE_PATH="$<TARGET_FILE:version_probe>")
add_dependencies(version_record_tests version_probe)

# The dialogs; the test program carries the program's own version record.
varlo_add_qtest(dialogs_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dialogs_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/com_port_dialogs_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/options_dialog_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/about_box_test.cpp
  LIBS varlo_ui varlo_version_record)
target_compile_definitions(dialogs_tests PRIVATE
  VERSION_PROBE_PATH="$<TARGET_FILE:version_probe>")
add_dependencies(dialogs_tests version_probe)

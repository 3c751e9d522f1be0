varlo_add_gtest(serial_component_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/component_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/component_files_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/component_output_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/triggers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_names_test.cpp
  LIBS varlo_serial varlo_testsupport)

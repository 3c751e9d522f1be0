varlo_add_gtest(settings_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ini_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_location_test.cpp
  LIBS varlo_settings)

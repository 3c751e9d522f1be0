varlo_add_gtest(eq_files_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/files_test.cpp
  LIBS varlo_eq)

varlo_add_gtest(eq_document_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/document_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/device_block_test.cpp
  LIBS varlo_eq)

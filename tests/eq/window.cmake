varlo_add_qtest(eq_window_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp ${CMAKE_CURRENT_LIST_DIR}/WindowFixture.h
  LIBS varlo_eqwindow varlo_ui varlo_testsupport)

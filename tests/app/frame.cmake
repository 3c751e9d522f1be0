varlo_add_qtest(frame_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_test.cpp ${CMAKE_CURRENT_LIST_DIR}/FakeEqualizerWindow.h
  LIBS varlo_ui varlo_testsupport)

# Local serial ports through termios, exercised over pseudo-terminals.
varlo_add_gtest(termios_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/termios_line_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/termios_watcher_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/termios_pty_test.cpp
  LIBS varlo_serial)

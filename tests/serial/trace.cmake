# Trace and log recording of the serial port component.
varlo_add_gtest(trace_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/trace_ring_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trace_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trace_dump_test.cpp
  LIBS varlo_serial)

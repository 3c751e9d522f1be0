varlo_add_gtest(link_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/messages_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/message_logger_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/engine_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/line_loss_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/operations_test.cpp
  LIBS varlo_link varlo_testsupport)

# The program's own controls: the slider, form scaling, the sunken frame.
varlo_add_qtest(controls_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/controls_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trackbar_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trackbar_accessible_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scale_frame_test.cpp
  LIBS varlo_controls)

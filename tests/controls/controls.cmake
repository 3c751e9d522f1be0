# The program's own controls: the slider, form scaling, the sunken frame.
varlo_add_qtest(controls_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/controls_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trackbar_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trackbar_accessible_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scale_frame_test.cpp
  LIBS varlo_controls)

# The slider on screens Qt scales itself: run at ratio 1 as registered, then
# at 2 and at a fractional 1.5.
varlo_add_qtest(trackbar_ratio_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/trackbar_ratio_test.cpp
  LIBS varlo_controls)
foreach(ratio 2 1.5)
  add_test(NAME trackbar_ratio_tests_${ratio} COMMAND trackbar_ratio_tests)
  set_tests_properties(trackbar_ratio_tests_${ratio} PROPERTIES TIMEOUT 600 ENVIRONMENT
    "QT_SCALE_FACTOR=${ratio};QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu")
endforeach()

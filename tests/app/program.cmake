# The real program on a virtual X display, driven with xdotool.
add_test(NAME program_under_xvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/program_under_xvfb.sh $<TARGET_FILE:varlo95> $<TARGET_FILE:orbsim>)
set_tests_properties(program_under_xvfb PROPERTIES TIMEOUT 120)
# The same against orbsim: an equalizer window connected and a band moved.
add_test(NAME window_under_xvfb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/window_under_xvfb.sh $<TARGET_FILE:varlo95> $<TARGET_FILE:orbsim>)
set_tests_properties(window_under_xvfb PROPERTIES TIMEOUT 120)

# Form scaling against offscreen screens of other sizes and resolutions.
# "large-fonts" is a 120 dpi screen that Qt does not scale itself;
# "qt-scaled" is the same screen with Qt's device pixel ratio of 1.25, which
# Qt reports as a 640 by 480 screen at 96 dpi.
add_executable(primary_screen_tests ${CMAKE_CURRENT_LIST_DIR}/primary_screen_test.cpp)
set_target_properties(primary_screen_tests PROPERTIES AUTOMOC ON)
target_link_libraries(primary_screen_tests PRIVATE varlo_controls Qt6::Test Qt6::Widgets)
foreach(screen "design 800 600 96" "xga 1024 768 96" "large-fonts 800 600 120" "qt-scaled 640 480 96")
  string(REPLACE " " ";" screen "${screen}")
  list(GET screen 0 name)
  list(SUBLIST screen 1 3 expected)
  add_test(NAME primary_screen_${name} COMMAND primary_screen_tests ${expected})
  set_tests_properties(primary_screen_${name} PROPERTIES TIMEOUT 60 ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_LIST_DIR}/screens/${name}.json")
endforeach()

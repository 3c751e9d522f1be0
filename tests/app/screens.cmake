# The program on the screens people have, one run per offscreen screen:
# "RUN SCREEN [VARIABLE=VALUE]", the screen from screens/SCREEN.json. A
# screen whose dots per inch exceed its base gets Qt's own scaling (1920 by
# 1080 at 144 dpi is a 1280 by 720 screen at ratio 1.5);
# QT_ENABLE_HIGHDPI_SCALING=0 turns that off, leaving a dense screen to the
# program's scaling alone.
varlo_add_qtest(screens_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/screens_test.cpp
  LIBS varlo_eqwindow varlo_ui varlo_testsupport)
set_tests_properties(screens_tests PROPERTIES ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_LIST_DIR}/screens/design.json;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu")
foreach(run "xga xga" "wxga wxga" "hd hd" "fhd fhd" "qhd qhd" "uhd uhd"
            "fhd_ratio1.5 fhd-144dpi" "uhd_ratio2 uhd-192dpi" "fhd_scale2 fhd QT_SCALE_FACTOR=2"
            "fhd_144dpi_unscaled fhd-144dpi QT_ENABLE_HIGHDPI_SCALING=0"
            "uhd_192dpi_unscaled uhd-192dpi QT_ENABLE_HIGHDPI_SCALING=0")
  string(REPLACE " " ";" run "${run}")
  list(GET run 0 name)
  list(GET run 1 screen)
  set(extra "")
  list(LENGTH run parts)
  if(parts GREATER 2)
    list(GET run 2 extra)
  endif()
  add_test(NAME screens_${name} COMMAND screens_tests)
  set_tests_properties(screens_${name} PROPERTIES TIMEOUT 300 ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_LIST_DIR}/screens/${screen}.json;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu;${extra}")
endforeach()

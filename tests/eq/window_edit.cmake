# The equalizer window's preset files, Edit menu and printing, against
# windows of a real program and orbsim. Printed pages are checked with
# poppler's pdfinfo and pdftoppm.
varlo_add_qtest(eq_window_edit_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/window_edit_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WindowEditTests.h
    ${CMAKE_CURRENT_LIST_DIR}/PdfProbe.h
    ${CMAKE_CURRENT_LIST_DIR}/curve_editing_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/printing_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window_files_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window_print_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WindowFixture.h
  LIBS varlo_eqwindow varlo_ui varlo_testsupport)

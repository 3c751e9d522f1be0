# The equalizer window's preset files, Edit menu and printing.
target_sources(varlo_eqwindow PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CurveEditing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CurveEditing.h
  ${CMAKE_CURRENT_LIST_DIR}/EqualizerPrinting.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EqualizerPrinting.h
  ${CMAKE_CURRENT_LIST_DIR}/TMDIChildEdit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TMDIChildFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowCurve.h
)

# The equalizer window's creation, layout and controller.
target_sources(varlo_eqwindow PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TMDIChild.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TMDIChildControl.cpp
)

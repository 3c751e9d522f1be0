# The slider control and its accessibility interface.
target_sources(varlo_controls PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TzkTrackBar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TzkTrackBar.h
  ${CMAKE_CURRENT_LIST_DIR}/TzkTrackBarAccessible.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TzkTrackBarAccessible.h)

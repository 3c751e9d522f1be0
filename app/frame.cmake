# The frame, its tool bar, menus and hints, and the program that ties the
# long-lived objects together.
target_sources(varlo_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ApplicationHint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuMerge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramIcon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunVarlo95.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TApplication.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TMainForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ToolBarImages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VarloProgram.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowPlacement.cpp
)

add_executable(varlo95 ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(varlo95 PRIVATE varlo_ui varlo_eqwindow)
if(TARGET varlo_version_record)
  target_link_libraries(varlo95 PRIVATE varlo_version_record)
endif()

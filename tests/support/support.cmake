# Test helpers: child processes, orbsim on loopback, clocks.
add_library(varlo_testsupport STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ChildProcess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrbSimProcess.cpp)
target_link_libraries(varlo_testsupport PUBLIC Threads::Threads)
target_include_directories(varlo_testsupport PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_compile_definitions(varlo_testsupport PRIVATE ORBSIM_PATH="$<TARGET_FILE:orbsim>")
add_dependencies(varlo_testsupport orbsim)

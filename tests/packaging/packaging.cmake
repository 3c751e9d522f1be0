# The Debian package built from this build, unpacked into a scratch root.
add_test(NAME debian_package
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(debian_package PROPERTIES TIMEOUT 180)

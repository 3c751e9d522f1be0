# The network serial line: codec, client device, and the client against
# orbsim, misbehaving servers and pyserial's server.
varlo_add_gtest(rfc2217_codec_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/rfc2217_codec_test.cpp
  LIBS varlo_telnet)

varlo_add_gtest(rfc2217_device_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/rfc2217_device_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/rfc2217_hostile_server_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/rfc2217_pyserial_test.cpp
  LIBS varlo_serial varlo_testsupport)

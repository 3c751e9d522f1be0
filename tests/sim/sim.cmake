# orbsim: its RFC 2217 server, control channel and robustness, the bus of
# simulated devices (in-process and over the wire), and pyserial's client
# against it.
varlo_add_gtest(orbsim_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/orbsim_session_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/orbsim_robustness_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/orbsim_bus_test.cpp
  LIBS varlo_serial varlo_testsupport varlo_pa422)

varlo_add_gtest(orbsim_device_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/orbsim_device_test.cpp
  LIBS orbsim_core)

add_test(NAME OrbSimPyserial.PyserialClientAgainstOrbsim
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/orbsim_pyserial_client.py $<TARGET_FILE:orbsim>)
set_tests_properties(OrbSimPyserial.PyserialClientAgainstOrbsim PROPERTIES TIMEOUT 60)

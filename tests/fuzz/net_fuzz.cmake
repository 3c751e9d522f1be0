# What comes from the network under libFuzzer: the RFC 2217 client's
# decoding of a server, orbsim's RFC 2217 server with its bus of devices,
# and orbsim's control channel.
include(${CMAKE_CURRENT_LIST_DIR}/fuzz.cmake)

file(GLOB rfc2217_client_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/seeds/rfc2217_client/*)
varlo_add_fuzzer(fuzz_rfc2217_client
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/rfc2217_client_fuzz.cpp
    ${CMAKE_SOURCE_DIR}/serial/TelnetCodec.cpp
    ${CMAKE_SOURCE_DIR}/serial/Rfc2217Options.cpp
    ${CMAKE_SOURCE_DIR}/serial/Rfc2217Receiver.cpp
  INCLUDES ${CMAKE_SOURCE_DIR}/serial
  SEEDS ${rfc2217_client_fuzz_seeds})

# orbsim in simulated time: the fuzzers supply its clock.
set(orbsim_fuzz_sources
  ${CMAKE_SOURCE_DIR}/sim/BusCommands.cpp
  ${CMAKE_SOURCE_DIR}/sim/DeviceBus.cpp
  ${CMAKE_SOURCE_DIR}/sim/DeviceFaults.cpp
  ${CMAKE_SOURCE_DIR}/sim/DeviceMemory.cpp
  ${CMAKE_SOURCE_DIR}/sim/Handshake.cpp
  ${CMAKE_SOURCE_DIR}/sim/Hex.cpp
  ${CMAKE_SOURCE_DIR}/sim/InboundWire.cpp
  ${CMAKE_SOURCE_DIR}/sim/Observed.cpp
  ${CMAKE_SOURCE_DIR}/sim/OrbDevice.cpp
  ${CMAKE_SOURCE_DIR}/sim/OutboundWire.cpp
  ${CMAKE_SOURCE_DIR}/sim/SimLine.cpp
  ${CMAKE_SOURCE_DIR}/sim/StateFile.cpp
  ${CMAKE_SOURCE_DIR}/sim/TimerQueue.cpp
  ${CMAKE_SOURCE_DIR}/sim/TransactionLog.cpp
  ${CMAKE_SOURCE_DIR}/link/PA422Messages.cpp)
set(orbsim_fuzz_includes ${CMAKE_SOURCE_DIR}/sim ${CMAKE_SOURCE_DIR}/serial ${CMAKE_SOURCE_DIR}/link)

file(GLOB orbsim_server_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/seeds/orbsim_server/*)
varlo_add_fuzzer(fuzz_orbsim_server
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/orbsim_server_fuzz.cpp
    ${CMAKE_SOURCE_DIR}/sim/ClientSession.cpp
    ${orbsim_fuzz_sources}
    ${CMAKE_SOURCE_DIR}/serial/TelnetCodec.cpp
    ${CMAKE_SOURCE_DIR}/serial/Rfc2217Options.cpp
    ${CMAKE_SOURCE_DIR}/serial/Rfc2217OutputQueue.cpp
  INCLUDES ${orbsim_fuzz_includes}
  DEFINES ORBSIM_SIMULATED_CLOCK
  SEEDS ${orbsim_server_fuzz_seeds})

file(GLOB orbsim_control_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/seeds/orbsim_control/*)
varlo_add_fuzzer(fuzz_orbsim_control
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/orbsim_control_fuzz.cpp
    ${CMAKE_SOURCE_DIR}/sim/ControlCommands.cpp
    ${CMAKE_SOURCE_DIR}/sim/ControlConnection.cpp
    ${orbsim_fuzz_sources}
  INCLUDES ${orbsim_fuzz_includes}
  DEFINES ORBSIM_SIMULATED_CLOCK
  SEEDS ${orbsim_control_fuzz_seeds})

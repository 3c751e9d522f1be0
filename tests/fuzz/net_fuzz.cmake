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

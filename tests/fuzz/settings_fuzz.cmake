# The settings file reader and key writer under libFuzzer.
include(${CMAKE_CURRENT_LIST_DIR}/fuzz.cmake)

file(GLOB settings_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/seeds/settings/*)
varlo_add_fuzzer(fuzz_settings
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings_fuzz.cpp
    ${CMAKE_SOURCE_DIR}/app/IniFile.cpp
    ${CMAKE_SOURCE_DIR}/app/AtomicFile.cpp
  INCLUDES ${CMAKE_SOURCE_DIR}/app
  SEEDS ${settings_fuzz_seeds})

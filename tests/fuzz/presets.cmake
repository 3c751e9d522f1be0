# The two preset file readers under libFuzzer.
include(${CMAKE_CURRENT_LIST_DIR}/fuzz.cmake)

set(preset_fuzz_sources
  ${CMAKE_CURRENT_LIST_DIR}/preset_fuzzer.cpp
  ${CMAKE_SOURCE_DIR}/eq/PresetFormats.cpp
  ${CMAKE_SOURCE_DIR}/eq/EqualizerDocument.cpp
  ${CMAKE_SOURCE_DIR}/link/PA422Messages.cpp)
file(GLOB preset_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/seeds/presets/*)

varlo_add_fuzzer(fuzz_mac_preset
  SOURCES ${preset_fuzz_sources}
  INCLUDES ${CMAKE_SOURCE_DIR}/eq ${CMAKE_SOURCE_DIR}/link
  DEFINES VARLO_FUZZ_MAC
  SEEDS ${preset_fuzz_seeds})
varlo_add_fuzzer(fuzz_equ_preset
  SOURCES ${preset_fuzz_sources}
  INCLUDES ${CMAKE_SOURCE_DIR}/eq ${CMAKE_SOURCE_DIR}/link
  SEEDS ${preset_fuzz_seeds})

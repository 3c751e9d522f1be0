# libFuzzer targets. The main build may use g++, so fuzzers are compiled
# with clang++ directly (-fsanitize=fuzzer,address,undefined) from the few
# plain source files they need, and only when that compiler links a fuzzer.
#
#   varlo_add_fuzzer(NAME
#     SOURCES file.cpp...        sources compiled into the fuzzer, harness included
#     [INCLUDES dir...]          include folders
#     [DEFINES NAME[=VALUE]...]  preprocessor definitions
#     [SEEDS file...]            seed corpus, copied to a fresh folder each run
#     [SECONDS n])               how long the CTest test fuzzes (default 10)
#
# Each fuzzer is built with the rest (target NAME) and run by the CTest test
# NAME for a bounded time with at most 1024 MB of memory.
include_guard(GLOBAL)

find_program(VARLO_FUZZ_CXX NAMES clang++-14 clang++)

set(VARLO_FUZZ_FLAGS -std=c++20 -O1 -g -fno-omit-frame-pointer
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

# Whether the compiler found links a fuzzer (libFuzzer's runtime comes from
# a separate package), checked once per compiler.
if(VARLO_FUZZ_CXX AND NOT VARLO_FUZZ_CHECKED STREQUAL VARLO_FUZZ_CXX)
  set(check_dir ${CMAKE_BINARY_DIR}/fuzz-check)
  file(MAKE_DIRECTORY ${check_dir})
  file(WRITE ${check_dir}/check.cpp
       "#include <cstddef>\n#include <cstdint>\n"
       "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
  execute_process(
    COMMAND ${VARLO_FUZZ_CXX} ${VARLO_FUZZ_FLAGS} ${check_dir}/check.cpp -o ${check_dir}/check
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(result EQUAL 0)
    set(works TRUE)
  else()
    set(works FALSE)
  endif()
  set(VARLO_FUZZ_WORKS ${works} CACHE INTERNAL "clang++ links libFuzzer targets")
  set(VARLO_FUZZ_CHECKED ${VARLO_FUZZ_CXX} CACHE INTERNAL "compiler VARLO_FUZZ_WORKS was checked for")
endif()
if(NOT VARLO_FUZZ_CXX OR NOT VARLO_FUZZ_WORKS)
  message(STATUS "Fuzzers: not built (needs clang++ with libFuzzer: packages clang, libclang-rt-14-dev)")
endif()

function(varlo_add_fuzzer name)
  cmake_parse_arguments(ARG "" "SECONDS" "SOURCES;INCLUDES;DEFINES;SEEDS" ${ARGN})
  if(NOT VARLO_FUZZ_CXX OR NOT VARLO_FUZZ_WORKS)
    return()
  endif()
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 10)
  endif()
  set(dir ${CMAKE_BINARY_DIR}/fuzz/${name})
  # Ninja creates an output's folder itself; the Makefile generator does not.
  file(MAKE_DIRECTORY ${dir})
  set(flags ${VARLO_FUZZ_FLAGS})
  foreach(include ${ARG_INCLUDES})
    list(APPEND flags -I${include})
  endforeach()
  foreach(define ${ARG_DEFINES})
    list(APPEND flags -D${define})
  endforeach()

  # One object per source, each with its header dependencies.
  set(objects)
  set(index 0)
  foreach(source ${ARG_SOURCES})
    get_filename_component(base ${source} NAME_WE)
    set(object ${dir}/${index}_${base}.o)
    add_custom_command(
      OUTPUT ${object}
      COMMAND ${VARLO_FUZZ_CXX} ${flags} -MD -MF ${object}.d -c ${source} -o ${object}
      DEPENDS ${source}
      DEPFILE ${object}.d
      COMMENT "Compiling ${base} for fuzzer ${name}"
      VERBATIM COMMAND_EXPAND_LISTS)
    list(APPEND objects ${object})
    math(EXPR index "${index} + 1")
  endforeach()

  set(binary ${dir}/${name})
  add_custom_command(
    OUTPUT ${binary}
    COMMAND ${VARLO_FUZZ_CXX} ${VARLO_FUZZ_FLAGS} ${objects} -o ${binary}
    DEPENDS ${objects}
    COMMENT "Linking fuzzer ${name}"
    VERBATIM COMMAND_EXPAND_LISTS)
  add_custom_target(${name} ALL DEPENDS ${binary})

  add_test(NAME ${name}
    COMMAND sh ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run_fuzzer.sh ${binary} ${ARG_SECONDS} ${ARG_SEEDS}
    WORKING_DIRECTORY ${dir})
  math(EXPR timeout "${ARG_SECONDS} * 3 + 60")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} LABELS fuzz)
endfunction()

# The dialogs of the desktop program: com port setup, select port, options
# and the about box, with the version record the about box shows.

# Reads the version record of an executable file (plain C++, no Qt).
add_library(varlo_version STATIC ${CMAKE_CURRENT_LIST_DIR}/VersionRecord.cpp)
target_include_directories(varlo_version PUBLIC ${CMAKE_CURRENT_LIST_DIR})

# varlo_add_version_record(TARGET VERSION a.b.c.d [FLAGS n] [FLAGS_MASK n]
#                          [COMMENTS text]): an OBJECT library whose one object
# holds a version record; linking it into an executable embeds the record.
function(varlo_add_version_record target)
  cmake_parse_arguments(ARG "" "VERSION;FLAGS;FLAGS_MASK;COMMENTS" "" ${ARGN})
  string(REPLACE "." ";" parts "${ARG_VERSION}")
  list(LENGTH parts count)
  if(NOT count EQUAL 4)
    message(FATAL_ERROR "version ${ARG_VERSION} is not major.minor.release.build")
  endif()
  list(GET parts 0 major)
  list(GET parts 1 minor)
  list(GET parts 2 release)
  list(GET parts 3 build)
  add_library(${target} OBJECT ${Varlo95_SOURCE_DIR}/app/VersionRecordData.cpp)
  target_include_directories(${target} PRIVATE ${Varlo95_SOURCE_DIR}/app)
  target_compile_definitions(${target} PRIVATE
    VARLO_VERSION_MAJOR=${major} VARLO_VERSION_MINOR=${minor}
    VARLO_VERSION_RELEASE=${release} VARLO_VERSION_BUILD=${build})
  if(DEFINED ARG_FLAGS)
    target_compile_definitions(${target} PRIVATE VARLO_VERSION_FLAGS=${ARG_FLAGS})
  endif()
  if(DEFINED ARG_FLAGS_MASK)
    target_compile_definitions(${target} PRIVATE VARLO_VERSION_FLAGS_MASK=${ARG_FLAGS_MASK})
  endif()
  if(DEFINED ARG_COMMENTS)
    target_compile_definitions(${target} PRIVATE "VARLO_VERSION_COMMENTS=\"${ARG_COMMENTS}\"")
  endif()
endfunction()

# This release: flags and mask 0.
varlo_add_version_record(varlo_version_record VERSION ${VARLO_FILE_VERSION})

target_sources(varlo_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AboutBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AboutBox.h
  ${CMAKE_CURRENT_LIST_DIR}/ComPortDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComPortDlg.h
  ${CMAKE_CURRENT_LIST_DIR}/ComSelectForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComSelectForm.h
  ${CMAKE_CURRENT_LIST_DIR}/FormSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormSupport.h
  ${CMAKE_CURRENT_LIST_DIR}/OptionsDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OptionsDlg.h
)
target_link_libraries(varlo_ui PUBLIC varlo_version)

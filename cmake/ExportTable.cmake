# The export table has one source: exports/sumwright.def. Everything else is derived from it
# at configure time:
#   SUMWRIGHT_EXPORT_DEF      the .def both modules link with. 32-bit standard-call symbols
#                             carry their argument size (NAME@bytes) and the .def maps them to
#                             the plain names; 64-bit Windows has one calling convention and no
#                             such decoration, so there the same file loses the "@bytes".
#   export_table.inc          {"NAME", ordinal, argument bytes}, one per routine, for the
#                             tests that call the routines through the real binary interface
#                             (#include "generated/export_table.inc", from the build folder).
# scripts/check-modules.sh reads the .def itself.

set(SUMWRIGHT_EXPORT_DEF_SOURCE ${PROJECT_SOURCE_DIR}/exports/sumwright.def)
set(SUMWRIGHT_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${SUMWRIGHT_EXPORT_DEF_SOURCE})

file(STRINGS ${SUMWRIGHT_EXPORT_DEF_SOURCE} _sw_def_lines)
set(_sw_table "// Generated from exports/sumwright.def by cmake/ExportTable.cmake.\n")
set(_sw_count 0)
foreach(_line IN LISTS _sw_def_lines)
  if(_line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]*=[ \t]*[A-Za-z_][A-Za-z0-9_]*@([0-9]+)[ \t]+@([0-9]+)[ \t]*$")
    string(APPEND _sw_table "{\"${CMAKE_MATCH_1}\", ${CMAKE_MATCH_3}, ${CMAKE_MATCH_2}},\n")
    math(EXPR _sw_count "${_sw_count} + 1")
  elseif(NOT _line MATCHES "^[ \t]*(;.*)?$" AND NOT _line MATCHES "^EXPORTS[ \t]*$")
    message(FATAL_ERROR "sumwright.def: cannot read the line '${_line}'")
  endif()
endforeach()
if(_sw_count EQUAL 0)
  message(FATAL_ERROR "sumwright.def lists no routines")
endif()
# configure_file rewrites its output only when the content changed, so nothing relinks needlessly.
file(WRITE ${SUMWRIGHT_GENERATED_DIR}/export_table.inc.in "${_sw_table}")
configure_file(${SUMWRIGHT_GENERATED_DIR}/export_table.inc.in
  ${SUMWRIGHT_GENERATED_DIR}/export_table.inc COPYONLY)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  file(READ ${SUMWRIGHT_EXPORT_DEF_SOURCE} _sw_def)
  string(REGEX REPLACE "(=[ \t]*[A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" _sw_def "${_sw_def}")
  file(WRITE ${SUMWRIGHT_GENERATED_DIR}/sumwright.def.in "${_sw_def}")
  configure_file(${SUMWRIGHT_GENERATED_DIR}/sumwright.def.in
    ${SUMWRIGHT_GENERATED_DIR}/sumwright.def COPYONLY)
  set(SUMWRIGHT_EXPORT_DEF ${SUMWRIGHT_GENERATED_DIR}/sumwright.def)
else()
  set(SUMWRIGHT_EXPORT_DEF ${SUMWRIGHT_EXPORT_DEF_SOURCE})
endif()

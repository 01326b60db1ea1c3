# SPDX-License-Identifier: Apache-2.0
# Reads the export and import tables of a DLL with objdump -p and fails unless
#   - the export table names the module eurocall.dll,
#   - it has exactly nine entries, all named, undecorated, with ordinals 1-9 in the
#     order of the names sorted by character code (upper case before lower case),
#   - the DLL imports from KERNEL32.dll and msvcrt.dll only (the C++ runtime and the
#     compiler's support library are linked in, so no MinGW DLL has to travel with it).
# Usage: cmake -DOBJDUMP=<objdump> -DDLL=<eurocall.dll> -P CheckExportTable.cmake
cmake_minimum_required(VERSION 3.25)

set(expected
  "1 BSCall" "2 BSVol" "3 HestonCall_exact" "4 HestonCall_fast" "5 HestonVol_exact"
  "6 HestonVol_fast" "7 RealIntegrand_j0" "8 RealIntegrand_j1" "9 theIntegrand")
set(allowed_imports "KERNEL32.dll" "msvcrt.dll")

execute_process(COMMAND ${OBJDUMP} -p ${DLL}
  OUTPUT_VARIABLE dump RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed: ${errors}")
endif()

set(failures "")

if(NOT dump MATCHES "\nName[ \t]+[0-9a-fA-F]+ eurocall\\.dll\n")
  string(APPEND failures "  the export table does not name eurocall.dll\n")
endif()
if(NOT dump MATCHES "\nOrdinal Base[ \t]+([0-9]+)\n")
  message(FATAL_ERROR "no export table in ${DLL}")
endif()
set(base ${CMAKE_MATCH_1})
if(dump MATCHES "\n[ \t]*Export Address Table[ \t]+([0-9a-fA-F]+)\n")
  math(EXPR address_count "0x${CMAKE_MATCH_1}")
  if(NOT address_count EQUAL 9)
    string(APPEND failures "  the export address table has ${address_count} entries, not 9\n")
  endif()
else()
  string(APPEND failures "  no export address table count\n")
endif()

# "[Ordinal/Name Pointer] Table" lists one "[index] name" line per name; the ordinal
# is index + base.
string(REPLACE ";" "\\;" dump_escaped "${dump}")
string(REPLACE "\n" ";" lines "${dump_escaped}")
set(in_names FALSE)
set(found "")
set(imports "")
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]*\\[ *([0-9]+)\\] (.+)$")
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
    list(APPEND found "${ordinal} ${CMAKE_MATCH_2}")
  elseif(in_names)
    set(in_names FALSE)
  endif()
  if(line MATCHES "^[ \t]*DLL Name: (.+)$")
    list(APPEND imports "${CMAKE_MATCH_1}")
  endif()
endforeach()

if(NOT found STREQUAL expected)
  string(REPLACE ";" ", " found_text "${found}")
  string(REPLACE ";" ", " expected_text "${expected}")
  string(APPEND failures "  exports (ordinal name): ${found_text}\n  expected:               ${expected_text}\n")
endif()
foreach(import IN LISTS imports)
  if(NOT import IN_LIST allowed_imports)
    string(APPEND failures "  imports from ${import}\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${DLL}:\n${failures}")
endif()
message(STATUS "${DLL}: nine exports, ordinals 1-9; imports: ${imports}")

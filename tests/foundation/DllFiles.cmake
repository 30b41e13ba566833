# cmake -DOBJDUMP=<objdump> -DDLL=<Varquel.dll> -DARCH=x64|x86 -DDEF=<server/Varquel.def> -P DllFiles.cmake
# What a DLL file shows without running it: it is built for its machine, it
# imports system DLLs only, and it exports what the .def names under the
# .def's ordinals.
cmake_minimum_required(VERSION 3.20)
set(SYSTEM_DLLS advapi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll)
set(FORMAT_x64 pei-x86-64)
set(FORMAT_x86 pei-i386)

execute_process(COMMAND ${OBJDUMP} -p "${DLL}" RESULT_VARIABLE rc OUTPUT_VARIABLE text)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# The machine type, as the file format objdump reads from the PE header.
string(REGEX MATCH "file format ([^\n]+)" format "${text}")
if(NOT CMAKE_MATCH_1 STREQUAL FORMAT_${ARCH})
  message(FATAL_ERROR "${DLL} is ${CMAKE_MATCH_1}, not ${FORMAT_${ARCH}}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${text}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
list(TRANSFORM imports TOLOWER)
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST SYSTEM_DLLS)
    message(FATAL_ERROR "${DLL} imports ${dll}, which is not a system DLL")
  endif()
endforeach()

# "[   n] Name": n is the name's ordinal less the ordinal base (1).
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" named "${text}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_]+" rows "${named}")
set(exports)
foreach(row IN LISTS rows)
  string(REGEX REPLACE "\\[ *([0-9]+)\\] (.*)" "\\2 @\\1" row "${row}")
  string(REGEX MATCH "@([0-9]+)$" at "${row}")
  math(EXPR ordinal "${CMAKE_MATCH_1} + 1")
  string(REGEX REPLACE "@[0-9]+$" "@${ordinal}" row "${row}")
  list(APPEND exports "${row}")
endforeach()
file(STRINGS "${DEF}" lines REGEX "^ +[A-Za-z_]+ +@[0-9]+")
set(expected)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^ +([A-Za-z_]+) +(@[0-9]+).*" "\\1 \\2" line "${line}")
  list(APPEND expected "${line}")
endforeach()
list(SORT exports)
list(SORT expected)
if(NOT expected OR NOT exports STREQUAL expected)
  message(FATAL_ERROR "${DLL} exports\n  ${exports}\nand ${DEF} names\n  ${expected}")
endif()
message(STATUS "${DLL}: ${FORMAT_${ARCH}}, imports ${imports}, exports ${exports}")

# cmake -DOBJDUMP=<objdump> -DDLL64=<x64 DLL> -DDLL32=<x86 DLL> -P DllFiles.cmake
# Both DLLs import system DLLs only, and export the same entry points under
# the same ordinals.
cmake_minimum_required(VERSION 3.20)
set(SYSTEM_DLLS advapi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll)

function(read_dll dll imports exports)
  execute_process(COMMAND ${OBJDUMP} -p "${dll}" RESULT_VARIABLE rc OUTPUT_VARIABLE text)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${dll} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${text}")
  list(TRANSFORM names REPLACE "DLL Name: " "")
  list(TRANSFORM names TOLOWER)
  # "[   n] Name": n is the name's ordinal less the ordinal base (1).
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" named "${text}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_]+" rows "${named}")
  list(TRANSFORM rows REPLACE "\\[ *([0-9]+)\\] " "\\1 ")
  set(${imports} "${names}" PARENT_SCOPE)
  set(${exports} "${rows}" PARENT_SCOPE)
endfunction()

read_dll("${DLL64}" imports64 exports64)
read_dll("${DLL32}" imports32 exports32)
foreach(dll IN LISTS imports64 imports32)
  if(NOT dll IN_LIST SYSTEM_DLLS)
    message(FATAL_ERROR "a DLL imports ${dll}, which is not a system DLL")
  endif()
endforeach()
set(expected "0 DllCanUnloadNow;1 DllGetClassObject;2 DllMain;3 DllRegisterServer;4 DllUnregisterServer")
if(NOT exports64 STREQUAL expected OR NOT exports32 STREQUAL expected)
  message(FATAL_ERROR "exports differ:\n  x64 ${exports64}\n  x86 ${exports32}\n  expected ${expected}")
endif()

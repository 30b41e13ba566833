# cmake -DWINE_PREFIX=<prefix> -DDLL=<Windows path of Varquel.dll> -P Regsvr32Check.cmake
# Registers with regsvr32 /s, checks entries with reg query, unregisters with
# regsvr32 /u /s, checks they are gone, and registers again.
# The path arrives with its backslashes doubled, as C string literals need them.
string(REPLACE "\\\\" "\\" DLL "${DLL}")
set(ENV{WINEPREFIX} "${WINE_PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
set(ENV{WINEARCH} "win64")

set(ADDRESS_LIST_KEY "HKCR\\CLSID\\{73E6CC70-61CB-46B0-BB10-8F7822CC24F0}")
set(LIBID "{28144162-4E7B-47B8-890A-BE726AC3DC93}")

# Output goes through a file: Wine's background processes inherit pipes and
# would hold execute_process until they exit.
function(wine_run result output)
  set(file "${WINE_PREFIX}/regsvr32-check.out")
  execute_process(COMMAND wine ${ARGN} RESULT_VARIABLE rc OUTPUT_FILE "${file}" ERROR_FILE "${file}.err")
  file(READ "${file}" out)
  file(READ "${file}.err" err)
  file(REMOVE "${file}" "${file}.err")
  set(${result} "${rc}" PARENT_SCOPE)
  set(${output} "${out}${err}" PARENT_SCOPE)
endfunction()

function(expect_registered key value expected)
  if(value STREQUAL "")
    wine_run(rc out reg query "${key}" /ve)
  else()
    wine_run(rc out reg query "${key}" /v "${value}")
  endif()
  string(FIND "${out}" "${expected}" at)
  if(NOT rc EQUAL 0 OR at LESS 0)
    message(FATAL_ERROR "reg query ${key} ${value}: expected '${expected}', got (rc ${rc}):\n${out}")
  endif()
endfunction()

function(expect_missing key)
  wine_run(rc out reg query "${key}")
  if(rc EQUAL 0)
    message(FATAL_ERROR "${key} is still registered:\n${out}")
  endif()
endfunction()

wine_run(rc out regsvr32 /s "${DLL}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "regsvr32 /s failed (${rc}): ${out}")
endif()
expect_registered("${ADDRESS_LIST_KEY}\\InprocServer32" "" "${DLL}")
expect_registered("${ADDRESS_LIST_KEY}\\InprocServer32" ThreadingModel "apartment")
expect_registered("${ADDRESS_LIST_KEY}" AppID "${LIBID}")
expect_registered("HKCR\\Brenzik.AddressList\\CurVer" "" "Brenzik.AddressList.1")
expect_registered("HKCR\\Varquel.NetProfilesList\\CLSID" "" "{9033ED92-6DA5-41E4-BD84-CC563B4B5BDD}")
expect_registered("HKCR\\AppID\\Varquel.DLL" AppID "${LIBID}")
expect_registered("HKCR\\TypeLib\\${LIBID}\\1.0" "" "Varquel 1.0 Type Library")

wine_run(rc out regsvr32 /u /s "${DLL}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "regsvr32 /u /s failed (${rc}): ${out}")
endif()
expect_missing("${ADDRESS_LIST_KEY}")
expect_missing("HKCR\\Brenzik.AddressList")
expect_missing("HKCR\\Varquel.NetProfilesList.1")
expect_missing("HKCR\\AppID\\Varquel.DLL")
expect_missing("HKCR\\AppID\\${LIBID}")
expect_missing("HKCR\\TypeLib\\${LIBID}\\1.0")
expect_registered("HKCR\\CLSID" "" "")

# Leave the server registered, as a build's tests expect to find it.
wine_run(rc out regsvr32 /s "${DLL}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "regsvr32 /s (again) failed (${rc}): ${out}")
endif()

# cmake -DWINE_PREFIX=<prefix> -DDLL64=<x64 DLL> -DDLL32=<x86 DLL> -DSCRIPT=<TypeNames.vbs>
#       -DEXPECTED=<its expected output> -P SideBySide.cmake
# Registers both DLLs, unregisters one, and runs the script on the other's
# side: it must still create and type every class. Then the other way round.
# Last, unregistering both leaves nothing of either. The paths arrive with
# their backslashes doubled.
string(REPLACE "\\\\" "\\" DLL64 "${DLL64}")
string(REPLACE "\\\\" "\\" DLL32 "${DLL32}")
include(${CMAKE_CURRENT_LIST_DIR}/../support/WinePrefix.cmake)
file(READ "${EXPECTED}" expected)

# wine_run on one side of the prefix.
function(on_side bitness result output)
  set(WINE_LOADER ${WINE${bitness}_LOADER})
  set(ENV{WINELOADER} "${WINE_LOADER}")
  wine_run(rc out ${ARGN})
  set(${result} "${rc}" PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

function(must_succeed bitness)
  on_side(${bitness} rc out ${ARGN})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${bitness}-bit ${ARGN} failed (${rc}): ${out}")
  endif()
endfunction()

function(expect_types bitness what)
  on_side(${bitness} rc out cscript //nologo "${SCRIPT}")
  string(REPLACE "\r\n" "\n" out "${out}")
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "${what}: the ${bitness}-bit client saw\n${out}\ninstead of\n${expected}")
  endif()
endfunction()

# Fails when `key` is in either registry view.
function(expect_in_neither_view key when)
  foreach(bitness 64 32)
    on_side(${bitness} rc out reg query "${key}")
    if(rc EQUAL 0)
      message(FATAL_ERROR "${key} is there ${when} (${bitness}-bit view):\n${out}")
    endif()
  endforeach()
endfunction()

# The other tests leave neither registered; this one leaves it so too.
expect_in_neither_view("${VARQUEL_CLASS_KEY}" "before the test")

must_succeed(64 regsvr32 /s "${DLL64}")
must_succeed(32 regsvr32 /s "${DLL32}")
must_succeed(32 regsvr32 /u /s "${DLL32}")
expect_types(64 "x64 left registered")

must_succeed(32 regsvr32 /s "${DLL32}")
must_succeed(64 regsvr32 /u /s "${DLL64}")
expect_types(32 "x86 left registered")

must_succeed(32 regsvr32 /u /s "${DLL32}")
foreach(key "HKCR\\Varquel.NetProfile" "HKCR\\AppID\\Varquel.DLL" "HKCR\\TypeLib\\{28144162-4E7B-47B8-890A-BE726AC3DC93}")
  expect_in_neither_view("${key}" "after both were unregistered")
endforeach()

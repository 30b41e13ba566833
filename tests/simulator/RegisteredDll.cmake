# Registers VarquelSim.dll in a scratch Wine prefix of the build tree, runs the
# RegisteredDll tests twice against it (the machine must last from one run to
# the next), then unregisters it and checks that the previous server is back.
# Arguments: PREFIX, DLL, TEST_EXE, MACHINE (the description to start from), WORK.
set(WINE_PREFIX ${PREFIX})
include(${CMAKE_CURRENT_LIST_DIR}/../support/WinePrefix.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/MakeWinePrefix.cmake)
varquel_make_wine_prefix(${PREFIX})

set(machine ${WORK}/registered-machine.json)
set(journal ${WORK}/registered-journal.txt)
configure_file(${MACHINE} ${machine} COPYONLY)
file(REMOVE ${journal})

set(server_key "HKCR\\CLSID\\{76A64158-CB41-11D1-8B02-00600806D9B6}\\InprocServer32")
wine_run(rc original reg query ${server_key} /ve)

wine_run(rc out regsvr32 /s ${DLL})
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "regsvr32 failed: ${rc}")
endif()

set(ENV{VARQUEL_SIM_MACHINE} ${machine})
set(ENV{VARQUEL_SIM_JOURNAL} ${journal})
set(ENV{VARQUEL_SIM_REGISTERED} 1)
foreach(run 1 2)
  wine_run(rc out ${TEST_EXE} --gtest_filter=RegisteredDll.*)
  if(NOT rc EQUAL 0 OR out MATCHES "SKIPPED")
    wine_run(rc ignored regsvr32 /s /u ${DLL})
    message(FATAL_ERROR "run ${run} failed:\n${out}")
  endif()
endforeach()

wine_run(rc out regsvr32 /s /u ${DLL})
wine_run(unused restored reg query ${server_key} /ve)
if(NOT rc EQUAL 0 OR NOT restored STREQUAL original)
  message(FATAL_ERROR "unregistering did not restore the previous server:\n${restored}")
endif()

# The example's default printer is the second; two runs move it to the first.
file(READ ${machine} state)
string(JSON first GET "${state}" Win32_Printer 0 Default)
string(JSON third GET "${state}" Win32_Printer 2 Default)
if(NOT first STREQUAL "ON" OR NOT third STREQUAL "OFF")
  message(FATAL_ERROR "the machine did not last between runs:\n${state}")
endif()
file(READ ${journal} lines)
if(NOT lines MATCHES "exec Win32_Printer\\[2\\]\\.SetDefaultPrinter\\(\\)")
  message(FATAL_ERROR "no journal of the first run:\n${lines}")
endif()
message(STATUS "VarquelSim.dll registered, served two runs and was unregistered")

# Included by the cmake -P scripts that run programs in the test prefix
# WINE_PREFIX: the environment, wine_run, and what such a script must leave as
# it found it (the server's registration, the profile store).
# BITNESS (64 by default, or 32) chooses the side of the prefix: its loader,
# and so its regsvr32, reg and cscript and the registry view they see.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/WineLoaders.cmake)
if(NOT BITNESS)
  set(BITNESS 64)
endif()
set(WINE_LOADER ${WINE${BITNESS}_LOADER})
if(BITNESS EQUAL 64)
  set(SYSKIND win64)
else()
  set(SYSKIND win32)
endif()
set(ENV{WINEPREFIX} "${WINE_PREFIX}")
foreach(assignment ${WINE_COMMON_ENV} WINELOADER=${WINE_LOADER})
  string(REGEX MATCH "^[^=]+" name "${assignment}")
  string(LENGTH "${name}=" skip)
  string(SUBSTRING "${assignment}" ${skip} -1 value)
  set(ENV{${name}} "${value}")
endforeach()

set(VARQUEL_CLASS_KEY "HKCR\\CLSID\\{73E6CC70-61CB-46B0-BB10-8F7822CC24F0}")  # the address list's
set(VARQUEL_STORE_KEY "HKCU\\Software\\Ostrel2")

# Output goes through files: Wine's background processes inherit pipes and
# would hold execute_process until they exit.
# Each call has files of its own, as tests without a common lock run at once.
function(wine_run result output)
  string(RANDOM LENGTH 12 tag)
  set(file "${WINE_PREFIX}/wine-run-${tag}.out")
  execute_process(COMMAND ${WINE_LOADER} ${ARGN} RESULT_VARIABLE rc OUTPUT_FILE "${file}" ERROR_FILE "${file}.err"
                  TIMEOUT ${WINE_CALL_TIMEOUT})
  file(READ "${file}" out)
  file(READ "${file}.err" err)
  file(REMOVE "${file}" "${file}.err")
  set(${result} "${rc}" PARENT_SCOPE)
  set(${output} "${out}${err}" PARENT_SCOPE)
endfunction()

# Sets `out` to TRUE when the prefix holds the server's registration.
function(server_registered out)
  wine_run(rc text reg query "${VARQUEL_CLASS_KEY}\\InprocServer32")
  if(rc EQUAL 0)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Notes the registration and keeps a copy of the profile store, if any, for
# restore_prefix_state.
function(keep_prefix_state)
  server_registered(registered)
  set(VARQUEL_WAS_REGISTERED ${registered} PARENT_SCOPE)
  set(kept "${WINE_PREFIX}/kept-store.reg")
  file(REMOVE "${kept}")
  wine_run(rc text reg query "${VARQUEL_STORE_KEY}")
  if(rc EQUAL 0)
    string(REPLACE "/" "\\" windows_path "Z:${kept}")
    wine_run(rc text reg export "${VARQUEL_STORE_KEY}" "${windows_path}" /y)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "reg export ${VARQUEL_STORE_KEY} failed (${rc}): ${text}")
    endif()
  endif()
endfunction()

# Unregisters the server DLL if it was not registered before, and puts the
# profile store back as keep_prefix_state found it (or removes it).
function(restore_prefix_state dll)
  if(NOT VARQUEL_WAS_REGISTERED)
    wine_run(rc text regsvr32 /u /s "${dll}")
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "regsvr32 /u /s ${dll} failed (${rc}): ${text}")
    endif()
  endif()
  wine_run(rc text reg delete "${VARQUEL_STORE_KEY}" /f)
  set(kept "${WINE_PREFIX}/kept-store.reg")
  if(EXISTS "${kept}")
    string(REPLACE "/" "\\" windows_path "Z:${kept}")
    wine_run(rc text reg import "${windows_path}")
    file(REMOVE "${kept}")
  endif()
endfunction()

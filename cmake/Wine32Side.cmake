# Whether this machine runs programs on Wine's 32-bit side. The one answer that
# the build, the prefixes and the scripts share.
#
# The side is there when the 32-bit loader runs: `wine --version` exits 0
# within a time limit. Finding its file is not enough: some kernels cannot
# execute 32-bit programs at all, and there wine32 installs but its loader
# ends with "Exec format error".
#
# VARQUEL_NO_32BIT=1 in the environment forces "no 32-bit side" on a machine
# that has one. It is read at every call and never cached.
#
#   include(Wine32Side.cmake); varquel_wine32_side(runs reason)
#   cmake -P Wine32Side.cmake   prints "runs", or "does not run: <reason>"
include(${CMAKE_CURRENT_LIST_DIR}/WineLoaders.cmake)

function(varquel_wine32_side runs reason)
  set(${runs} OFF PARENT_SCOPE)
  if("$ENV{VARQUEL_NO_32BIT}" STREQUAL "1")
    set(${reason} "VARQUEL_NO_32BIT=1 is set" PARENT_SCOPE)
    return()
  endif()
  if(NOT EXISTS "${WINE32_LOADER}")
    set(${reason} "${WINE32_LOADER} is not installed" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${WINE32_LOADER} --version RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  if(NOT rc STREQUAL "0")
    set(${reason} "${WINE32_LOADER} --version did not run (${rc})" PARENT_SCOPE)
    return()
  endif()
  set(${runs} ON PARENT_SCOPE)
  set(${reason} "" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  varquel_wine32_side(runs reason)
  if(runs)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "runs")
  else()
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "does not run: ${reason}")
  endif()
endif()

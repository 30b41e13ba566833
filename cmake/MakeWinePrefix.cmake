# cmake -DWINE_PREFIX=<dir> -P MakeWinePrefix.cmake
# Makes a 64-bit Wine prefix, or completes one made before wine32 was
# installed: such a prefix has no 32-bit system files, and the 32-bit loader
# stops in it with "could not load kernel32.dll, status c0000135". Where the
# 32-bit side does not run (Wine32Side.cmake), the prefix is 64-bit only.
# Either way it names no debugger for crashes (below).
include(${CMAKE_CURRENT_LIST_DIR}/WineLoaders.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Wine32Side.cmake)

# Wine's debugger, which a crash starts, ends the crashed program with exit
# code 0: a crash would pass for success. With no debugger named, the program
# ends with the exception's code instead. Both sides' settings are cleared.
set(AEDEBUG_KEYS "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug"
                 "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug")

function(varquel_name_no_crash_debugger prefix env)
  file(READ "${prefix}/system.reg" registry)
  string(FIND "${registry}" "\"Debugger\"=\"winedbg" named)
  if(named LESS 0)
    return()
  endif()
  foreach(key ${AEDEBUG_KEYS})
    execute_process(COMMAND ${env} ${WINE64_LOADER} reg add "${key}" /v Debugger /t REG_SZ /d "" /f
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET TIMEOUT ${WINE_CALL_TIMEOUT})
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "reg add ${key} /v Debugger failed (${rc}) in ${prefix}")
    endif()
  endforeach()
  execute_process(COMMAND ${env} wineserver -w TIMEOUT ${WINE_CALL_TIMEOUT})
endfunction()

function(varquel_make_wine_prefix prefix)
  set(env ${CMAKE_COMMAND} -E env WINEPREFIX=${prefix} ${WINE_COMMON_ENV} WINELOADER=${WINE64_LOADER})
  varquel_wine32_side(wine32_runs wine32_reason)
  if(NOT EXISTS "${prefix}/system.reg")
    set(step -i)
  elseif(wine32_runs AND NOT EXISTS "${prefix}/drive_c/windows/syswow64/kernel32.dll")
    set(step -u)
    # Wine updates a prefix only when its stamp is older than Wine itself.
    file(REMOVE "${prefix}/.update-timestamp")
  else()
    varquel_name_no_crash_debugger("${prefix}" "${env}")
    return()
  endif()
  message(STATUS "wineboot ${step}: ${prefix}")
  # wineboot's complaint about syswow64\rundll32.exe is harmless.
  execute_process(COMMAND ${env} ${WINE64_LOADER} wineboot ${step} TIMEOUT ${WINE_CALL_TIMEOUT}
                  OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND ${env} wineserver -w TIMEOUT ${WINE_CALL_TIMEOUT})
  if(NOT EXISTS "${prefix}/system.reg")
    message(FATAL_ERROR "wineboot made no prefix in ${prefix}")
  endif()
  if(wine32_runs AND NOT EXISTS "${prefix}/drive_c/windows/syswow64/kernel32.dll")
    message(FATAL_ERROR "the prefix ${prefix} has no 32-bit side after wineboot ${step}")
  endif()
  varquel_name_no_crash_debugger("${prefix}" "${env}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  varquel_make_wine_prefix("${WINE_PREFIX}")
endif()

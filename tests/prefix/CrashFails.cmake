# cmake -DWINE_PREFIX=<prefix> -DPROGRAM=<crash probe> [-DBITNESS=32] -P CrashFails.cmake
# A program that crashes in the test prefix must end with a failing exit code,
# as on Windows; else a test program that crashed would count as passed.
include(${CMAKE_CURRENT_LIST_DIR}/../support/WinePrefix.cmake)
wine_run(rc out "${PROGRAM}")
if(rc EQUAL 0 OR NOT out MATCHES "Unhandled")
  message(FATAL_ERROR "${PROGRAM} was to crash and fail, and ended with exit code ${rc}:\n${out}")
endif()
message(STATUS "${PROGRAM} crashed and ended with exit code ${rc}")

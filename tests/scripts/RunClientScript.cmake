# cmake -DWINE_PREFIX=<prefix> -DDLL=<Windows path of Varquel.dll> -DSCRIPT=<script>
#       -DEXPECTED=<expected output> -DOUTPUT=<output file> [-DBITNESS=32] -P RunClientScript.cmake
# Registers the server with regsvr32, runs the script with cscript and
# compares what it printed with the expected text. The registration and the
# profile store the script uses are left as they were found.
# The path arrives with its backslashes doubled, as C string literals need them.
string(REPLACE "\\\\" "\\" DLL "${DLL}")
include(${CMAKE_CURRENT_LIST_DIR}/../support/WinePrefix.cmake)

keep_prefix_state()
wine_run(rc out regsvr32 /s "${DLL}")
if(NOT rc EQUAL 0)
  message(SEND_ERROR "regsvr32 /s ${DLL} failed (${rc}): ${out}")
  restore_prefix_state("${DLL}")
  return()
endif()

# Output goes through files: Wine's background processes inherit pipes and
# would hold execute_process until they exit.
execute_process(COMMAND ${WINE_LOADER} cscript //nologo "${SCRIPT}"
                RESULT_VARIABLE rc OUTPUT_FILE "${OUTPUT}" ERROR_FILE "${OUTPUT}.err" TIMEOUT ${WINE_CALL_TIMEOUT})
restore_prefix_state("${DLL}")
file(READ "${OUTPUT}" actual)
file(READ "${OUTPUT}.err" errors)
file(READ "${EXPECTED}" expected)
string(REPLACE "\r\n" "\n" actual "${actual}")
string(REPLACE "\r\n" "\n" expected "${expected}")
if(NOT actual STREQUAL expected)
  execute_process(COMMAND diff -u "${EXPECTED}" "${OUTPUT}" OUTPUT_VARIABLE difference)
  message(FATAL_ERROR "${SCRIPT} printed something else than expected (cscript exit ${rc}):\n"
                      "${difference}\n${errors}")
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cscript ${SCRIPT} exited with ${rc}:\n${errors}")
endif()

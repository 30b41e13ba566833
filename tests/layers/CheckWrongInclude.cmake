# Builds the target that includes an upper layer from com/, and passes only
# when the build fails because that header cannot be found.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target layer_violation
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "com/ could include profiles/: the layers are not enforced")
endif()
if(NOT output MATCHES "profiles/NetProfile.h: No such file or directory")
  message(FATAL_ERROR "the build failed for another reason:\n${output}")
endif()
message(STATUS "com/ cannot include profiles/")

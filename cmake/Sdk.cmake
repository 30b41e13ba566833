# The SDK that `cmake --install build --prefix <dir>` lays out, for client
# developers:
#   bin/x64/, bin/x86/                         the servers (Varquel.dll) and their
#                                              assembly manifests
#   include/Varquel.h, include/Varquel_i.c     early binding from C++
#   include/com/Bstr.h, include/com/ComError.h the BSTR holder the C++ sample uses
#   tlb/x64/Varquel.tlb, tlb/x86/Varquel.tlb   the type libraries
#   samples/, docs/
# The header is staged under its SDK name in the tree, so that the in-tree
# C++ sample includes it as a client of the SDK does.
set(SDK_INCLUDE_DIR ${GEN_DIR}/sdk-include)
add_custom_command(
  OUTPUT ${SDK_INCLUDE_DIR}/Varquel.h
  COMMAND ${CMAKE_COMMAND} -E copy ${GEN_DIR}/Varquel_h.h ${SDK_INCLUDE_DIR}/Varquel.h
  DEPENDS ${GEN_DIR}/Varquel_h.h
  COMMENT "The SDK's Varquel.h")
add_custom_target(varquel_sdk_header ALL DEPENDS ${SDK_INCLUDE_DIR}/Varquel.h)
add_dependencies(varquel_sdk_header varquel_idl)

# The DLLs as distributed (signed where a certificate is given), each with
# the assembly manifest that lets a client use it without registration.
install(FILES ${VARQUEL_DIST}/x64/Varquel.dll ${VARQUEL_DIST}/x64/${VARQUEL_MANIFEST_NAME} DESTINATION bin/x64)
if(VARQUEL_WITH_X86)
  install(FILES ${VARQUEL_DIST}/x86/Varquel.dll ${VARQUEL_DIST}/x86/${VARQUEL_MANIFEST_NAME} DESTINATION bin/x86)
  install(FILES ${VARQUEL_X86_DIR}/generated/Varquel.tlb DESTINATION tlb/x86)
endif()
install(FILES ${SDK_INCLUDE_DIR}/Varquel.h ${GEN_DIR}/Varquel_i.c DESTINATION include)
install(FILES ${CMAKE_SOURCE_DIR}/com/Bstr.h ${CMAKE_SOURCE_DIR}/com/ComError.h DESTINATION include/com)
install(FILES ${GEN_DIR}/Varquel.tlb DESTINATION tlb/x64)
install(FILES ${CMAKE_SOURCE_DIR}/samples/VarquelClient.cpp ${CMAKE_SOURCE_DIR}/samples/varquel.js
              ${CMAKE_SOURCE_DIR}/samples/varquel.vbs ${CMAKE_SOURCE_DIR}/samples/demo.js
        DESTINATION samples)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION docs)

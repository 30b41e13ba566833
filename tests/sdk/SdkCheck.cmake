# cmake -DBUILD=<x64 build tree> -DSDK=<scratch folder> -DCXX64=<x64 g++> -DCXX32=<x86 g++> -DWITH_X86=ON|OFF
#       -P SdkCheck.cmake
# Installs the SDK into a scratch folder, checks its layout, and builds the
# early-bound C++ sample from nothing but that folder, for each bitness built.
file(REMOVE_RECURSE "${SDK}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${SDK}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}")
endif()

set(arches x64)
if(WITH_X86)
  list(APPEND arches x86)
endif()
set(cxx_x64 ${CXX64})
set(cxx_x86 ${CXX32})
set(syskind_x64 3)  # SYS_WIN64
set(syskind_x86 1)  # SYS_WIN32
set(files include/Varquel.h include/Varquel_i.c include/com/Bstr.h
          samples/VarquelClient.cpp samples/varquel.js samples/varquel.vbs samples/demo.js docs/object-model.md)
foreach(arch ${arches})
  list(APPEND files bin/${arch}/Varquel.dll bin/${arch}/Varquel.Server.manifest tlb/${arch}/Varquel.tlb)
endforeach()
foreach(file ${files})
  if(NOT EXISTS "${SDK}/${file}")
    message(FATAL_ERROR "the SDK has no ${file}")
  endif()
endforeach()
# Each manifest names its own bitness, which a client of that bitness binds to.
set(architecture_x64 amd64)
set(architecture_x86 x86)
foreach(arch ${arches})
  file(READ "${SDK}/bin/${arch}/Varquel.Server.manifest" manifest)
  if(NOT manifest MATCHES "processorArchitecture=\"${architecture_${arch}}\"")
    message(FATAL_ERROR "bin/${arch}/Varquel.Server.manifest is not for ${architecture_${arch}}")
  endif()
endforeach()
# Each library is its own bitness's.
foreach(arch ${arches})
  set(syskind ${syskind_${arch}})
  file(READ "${SDK}/tlb/${arch}/Varquel.tlb" header LIMIT 24 HEX)
  # The SLTG/MSFT header: magic, version, GUID offset, LCID, LCID2, var flags (syskind in the low nibble).
  string(SUBSTRING "${header}" 40 2 flags)
  math(EXPR kind "0x${flags} & 0xF")
  if(NOT kind EQUAL syskind)
    message(FATAL_ERROR "tlb/${arch}/Varquel.tlb is for syskind ${kind}, not ${syskind}")
  endif()
endforeach()

foreach(arch ${arches})
  set(cxx ${cxx_${arch}})
  set(exe "${SDK}/VarquelClient-${arch}.exe")
  execute_process(
    COMMAND ${cxx} -std=c++20 -DUNICODE -D_UNICODE -I "${SDK}/include"
            "${SDK}/samples/VarquelClient.cpp" "${SDK}/include/Varquel_i.c" -o "${exe}"
            -static -lole32 -loleaut32 -luuid
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT EXISTS "${exe}")
    message(FATAL_ERROR "the ${arch} sample does not build from the SDK alone (${rc}):\n${out}")
  endif()
endforeach()
message(STATUS "SDK in ${SDK}: layout complete, the C++ sample builds for ${arches}")

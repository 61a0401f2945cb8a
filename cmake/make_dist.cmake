# Builds the release zip from a clean stage, so nothing left over from an earlier run ends up
# in it. SHA256SUMS is in the format `sha256sum -c` reads.
#   cmake -DDLL=... -DTEXTS=... -DSTAGE=... -DZIP=... -P make_dist.cmake
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${DLL} ${TEXTS}/README.txt ${TEXTS}/LICENSE DESTINATION ${STAGE})

set(sums "")
foreach(name Tessoravin.dll README.txt LICENSE)
  file(SHA256 ${STAGE}/${name} hash)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${STAGE}/SHA256SUMS "${sums}")

file(REMOVE ${ZIP})
# A fixed time stamp: the same build gives the same zip.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip "--mtime=2026-01-01 00:00:00"
          Tessoravin.dll README.txt LICENSE SHA256SUMS
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not write ${ZIP}")
endif()
message(STATUS "release: ${ZIP}")

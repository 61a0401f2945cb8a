# Builds the release zip and opens it as a user would: exactly the four files, the DLL byte for
# byte the one that was built, README.txt byte for byte README.md's user guide as it stands, with
# no Markdown left in it, and every checksum in SHA256SUMS right.
#   cmake -DBUILD=<build dir> -DDLL=... -DZIP=... -DPYTHON=... -DMAKER=readme_text.py
#         "-DSOURCES=README.md;README.txt.in" -DVERSION=... -P check_dist.cmake
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target dist RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the dist target failed")
endif()

get_filename_component(zip_name ${ZIP} NAME)
set(out ${BUILD}/dist/check)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${out} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${zip_name} does not open")
endif()

file(GLOB_RECURSE entries RELATIVE ${out} ${out}/*)
list(SORT entries)
if(NOT entries STREQUAL "LICENSE;README.txt;SHA256SUMS;Tessoravin.dll")
  message(FATAL_ERROR "${zip_name} holds: ${entries}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${DLL} ${out}/Tessoravin.dll RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the zipped Tessoravin.dll differs from the built one")
endif()

# One source: the zip's README.txt is what README.md's user guide makes now. A zip whose text
# was made from an older README, or from anything else, fails here.
execute_process(COMMAND ${PYTHON} ${MAKER} ${SOURCES} ${VERSION} ${BUILD}/dist/README.expected.txt RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readme_text.py cannot make README.txt from README.md")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${out}/README.txt ${BUILD}/dist/README.expected.txt
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the zipped README.txt differs from README.md's user guide: run make dist")
endif()
file(READ ${out}/README.txt readme)
foreach(markdown "`" "](" "**" "<!--" "|")
  string(FIND "${readme}" "${markdown}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "README.txt holds Markdown (${markdown})")
  endif()
endforeach()
file(REMOVE ${BUILD}/dist/README.expected.txt)

file(STRINGS ${out}/SHA256SUMS lines)
set(checked "")
foreach(line ${lines})
  if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
    message(FATAL_ERROR "SHA256SUMS line not in sha256sum format: ${line}")
  endif()
  set(name ${CMAKE_MATCH_2})
  set(expected ${CMAKE_MATCH_1})
  file(SHA256 ${out}/${name} actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "checksum of ${name} does not verify")
  endif()
  list(APPEND checked ${name})
endforeach()
list(SORT checked)
if(NOT checked STREQUAL "LICENSE;README.txt;Tessoravin.dll")
  message(FATAL_ERROR "SHA256SUMS covers: ${checked}")
endif()
message(STATUS "${zip_name}: ${entries}")

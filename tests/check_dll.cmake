# Checks the built module as the file manager will see it: only system DLLs imported (the
# runtime is linked in), the five entry points exported by name, undecorated, and the project
# version in the version resource.
#   cmake -DOBJDUMP=... -DDLL=... -DVERSION=... -P check_dll.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

set(allowed kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll advapi32.dll shell32.dll
            msvcrt.dll ucrtbase.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
foreach(line ${imports})
  string(REPLACE "DLL Name: " "" name "${line}")
  string(STRIP "${name}" name)
  string(TOLOWER "${name}" lower)
  if(lower MATCHES "^api-ms-win-crt-")
    continue()
  endif()
  list(FIND allowed "${lower}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "Tessoravin.dll imports ${name}, which is not a system DLL")
  endif()
endforeach()

string(REGEX MATCH "\nName[ \t]+[0-9a-fA-F]+ Tessoravin.dll\n" module_name "${dump}")
if(NOT module_name)
  message(FATAL_ERROR "the export table does not name the module Tessoravin.dll")
endif()
# A name table line is "[   4] DVP_IdentifyW" in binutils 2.40 (Debian 12) and
# "[   4] +base[   5]  0004 DVP_IdentifyW" (ordinal and hint) in 2.44 (Debian 13); a decorated name
# (_DVP_IdentifyW, DVP_IdentifyW@8) matches neither.
foreach(export DVP_IdentifyW DVP_IdentifyFileW DVP_CreateViewer DVP_About DVP_Configure)
  if(NOT dump MATCHES "\\[ *[0-9]+\\]( \\+base\\[ *[0-9]+\\] +[0-9a-fA-F]+)? ${export}\n")
    message(FATAL_ERROR "${export} is not exported by name")
  endif()
endforeach()
# FileVersion and ProductVersion are UTF-16 strings in the version resource.
file(STRINGS ${DLL} versions ENCODING UTF-16LE REGEX "^[0-9.]+$")
list(FILTER versions INCLUDE REGEX "^${VERSION}$")
list(LENGTH versions version_count)
if(NOT version_count EQUAL 2)
  message(FATAL_ERROR "the version resource does not carry ${VERSION} twice (found ${version_count})")
endif()
message(STATUS "imports: ${imports}")

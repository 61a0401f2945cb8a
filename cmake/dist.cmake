# `make dist`: the release a user installs from, build/dist/Tessoravin-<version>-x64.zip, holding
# Tessoravin.dll exactly as built, README.txt, LICENSE and SHA256SUMS. CMake zips (cmake -E tar
# --format=zip) and hashes; Python 3 makes README.txt.
set(TESSORAVIN_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(TESSORAVIN_DIST_ZIP ${TESSORAVIN_DIST_DIR}/Tessoravin-${PROJECT_VERSION}-x64.zip)
find_program(TESSORAVIN_PYTHON NAMES python3 python)
# README.txt is the head of packaging/README.txt.in and then README.md's user guide as plain
# text, made anew whenever either changes: one source, so that the zip never tells a user
# something the README no longer does (dist.ReleaseZip checks it).
set(TESSORAVIN_README_MAKER ${PROJECT_SOURCE_DIR}/packaging/readme_text.py)
set(TESSORAVIN_README_SOURCES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/README.txt.in)
add_custom_command(
  OUTPUT ${TESSORAVIN_DIST_DIR}/texts/README.txt
  COMMAND ${TESSORAVIN_PYTHON} ${TESSORAVIN_README_MAKER} ${TESSORAVIN_README_SOURCES} ${PROJECT_VERSION}
          ${TESSORAVIN_DIST_DIR}/texts/README.txt
  DEPENDS ${TESSORAVIN_README_MAKER} ${TESSORAVIN_README_SOURCES}
  COMMENT "Making README.txt from README.md"
  VERBATIM)
# Windows line ends for the texts a user opens in Notepad (readme_text.py writes them itself).
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${TESSORAVIN_DIST_DIR}/texts/LICENSE NEWLINE_STYLE CRLF)

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:Tessoravin> -DTEXTS=${TESSORAVIN_DIST_DIR}/texts
          -DSTAGE=${TESSORAVIN_DIST_DIR}/stage -DZIP=${TESSORAVIN_DIST_ZIP}
          -P ${PROJECT_SOURCE_DIR}/cmake/make_dist.cmake
  DEPENDS Tessoravin ${TESSORAVIN_DIST_DIR}/texts/README.txt
  COMMENT "Packaging ${TESSORAVIN_DIST_ZIP}"
  VERBATIM)

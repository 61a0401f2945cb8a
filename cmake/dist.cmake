# `make dist`: the release a user installs from, build/dist/Tessoravin-<version>-x64.zip, holding
# Tessoravin.dll exactly as built, README.txt, LICENSE and SHA256SUMS. Only CMake itself is
# needed: it zips (cmake -E tar --format=zip) and hashes.
set(TESSORAVIN_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(TESSORAVIN_DIST_ZIP ${TESSORAVIN_DIST_DIR}/Tessoravin-${PROJECT_VERSION}-x64.zip)

# Windows line ends for the texts a user opens in Notepad.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt.in ${TESSORAVIN_DIST_DIR}/texts/README.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${TESSORAVIN_DIST_DIR}/texts/LICENSE NEWLINE_STYLE CRLF)

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:Tessoravin> -DTEXTS=${TESSORAVIN_DIST_DIR}/texts
          -DSTAGE=${TESSORAVIN_DIST_DIR}/stage -DZIP=${TESSORAVIN_DIST_ZIP}
          -P ${PROJECT_SOURCE_DIR}/cmake/make_dist.cmake
  DEPENDS Tessoravin
  COMMENT "Packaging ${TESSORAVIN_DIST_ZIP}"
  VERBATIM)

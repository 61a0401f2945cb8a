#!/usr/bin/env bash
# Runs the test suite under Wine inside a private Xvfb display.
#   scripts/wine-ctest.sh BUILD_DIR [extra ctest arguments]
set -euo pipefail
build=$(cd "$1" && pwd)
shift || true
. "$(dirname "$0")/wine-env.sh"
wine_enter_xvfb "$0" "$build" "$@"
wine_prepare "$build"

cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"

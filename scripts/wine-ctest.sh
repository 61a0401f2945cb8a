#!/usr/bin/env bash
# Runs the test suite under Wine inside a private Xvfb display.
#   scripts/wine-ctest.sh BUILD_DIR [extra ctest arguments]
# The Wine prefix lives in the build folder and is initialised inside the Xvfb session
# (a prefix first booted without a display cannot create windows later).
set -euo pipefail
build=$(cd "$1" && pwd)
shift || true

if [ -z "${TESSORAVIN_IN_XVFB:-}" ]; then
  export TESSORAVIN_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$@"
fi

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installer prompts during the prefix set-up.
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"

if [ ! -f "$WINEPREFIX/.tessoravin-ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.tessoravin-ready"
fi

# A persistent wineserver, warmed up once: tests start in tens of milliseconds and Wine's
# own services never inherit ctest's pipes (which would keep ctest waiting forever).
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"

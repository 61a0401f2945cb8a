#!/usr/bin/env bash
# Runs every benchmark program under Wine in a private Xvfb display and prints its figures.
#   scripts/wine-bench.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
if [ -z "${TESSORAVIN_IN_XVFB:-}" ]; then
  export TESSORAVIN_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build"
fi
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree=d;mshtml=d"
if [ ! -f "$WINEPREFIX/.tessoravin-ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.tessoravin-ready"
fi
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
for exe in "$build"/bench/*/dopus.exe; do
  echo "== $(basename "$(dirname "$exe")")"
  (cd "$(dirname "$exe")" && /usr/lib/wine/wine64 ./dopus.exe </dev/null)
done

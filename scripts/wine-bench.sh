#!/usr/bin/env bash
# Runs every benchmark program under Wine in a private Xvfb display and prints its figures.
#   scripts/wine-bench.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
wine_run=$(cd "$(dirname "$0")/../cmake" && pwd)/wine-run.sh
. "$(dirname "$0")/wine-env.sh"
wine_enter_xvfb "$0" "$build"
wine_prepare "$build"

for exe in "$build"/bench/*/dopus.exe; do
  echo "== $(basename "$(dirname "$exe")")"
  (cd "$(dirname "$exe")" && "$wine_run" ./dopus.exe </dev/null)
done

#!/usr/bin/env bash
# Takes the README's picture of the viewer pane: the plug-in test host with the real
# Tessoravin.dll, and mpv 0.40.0 (--vo=direct3d) playing a test clip in the pane, its on-screen
# controller up.
#   scripts/viewer-screenshot.sh BUILD_DIR [OUTPUT.png]   (default: docs/viewer-embedded.png)
# Wine 8 puts no child window of another process on screen, so the picture is taken where one
# shows: in the Wine 10 world (scripts/wine10-ctest.sh, its Debian 13 root), or under this
# machine's own Wine where that world is left out because this Wine is 9 or later. The case
# RealPlayerPicture.Mpv040WithDirect3D, given TESSORAVIN_SCREENSHOT_BMP, writes what the screen
# shows of its pane after the first load as a BMP, and ImageMagick makes the PNG. Needs what
# `make test` has made (the build, the real mpv, the root) and imagemagick.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(realpath -m "${2:-$(dirname "$0")/../docs/viewer-embedded.png}")
scripts=$(cd "$(dirname "$0")" && pwd)
# Below /tmp: the Wine 10 world's root sees the machine's /tmp, at the same place.
work=$(mktemp -d /tmp/tessoravin-shot.XXXXXX)
trap 'rm -rf "$work"' EXIT
export TESSORAVIN_SCREENSHOT_BMP="Z:${work//\//\\}\\pane.bmp"
case='^host_plugin_tests\.RealPlayerPicture\.Mpv040WithDirect3D$'

"$scripts/wine10-ctest.sh" "$build" -R "$case" >"$work/run.log" 2>&1 || true
if [ ! -s "$work/pane.bmp" ]; then
  "$scripts/wine-ctest.sh" "$build" -R "$case" >>"$work/run.log" 2>&1 || true
fi
if [ ! -s "$work/pane.bmp" ]; then
  echo "no picture: neither the Wine 10 world nor this machine's Wine showed one" >&2
  tail -n 20 "$work/run.log" >&2
  exit 1
fi
convert "$work/pane.bmp" "$out"
echo "screenshot: $out"

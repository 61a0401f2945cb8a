#!/usr/bin/env bash
# Takes the README's picture of the viewer pane: the plug-in test host with the real
# Tessoravin.dll, a plain file list beside the pane as in a lister, and mpv 0.40.0 with its
# default video output (Direct3D 11) playing a moving test pattern (FFmpeg's testsrc) in the pane,
# its on-screen controller up.
#   scripts/viewer-screenshot.sh BUILD_DIR [OUTPUT.png]   (default: docs/viewer-embedded.png)
# Wine 8 puts no child window of another process on screen, so the picture is taken where one
# shows: in the Wine 10 world (scripts/wine10-ctest.sh, its Debian 13 root), or under this
# machine's own Wine where that world is left out because this Wine is 9 or later. The clip is
# made here with the ffmpeg.exe that scripts/build-mpv.sh builds. The case
# RealPlayerPicture.Mpv040WithItsDefaultVideoOutput, given TESSORAVIN_SCREENSHOT_CLIP and _BMP,
# puts a file list beside its pane, plays the clip after its first load until mpv is 3 s into it,
# gives the file list the focus (its selection shows) and writes what the screen shows of the
# window as a BMP, and ImageMagick makes the PNG. Needs what `make test` has
# made (the build, the real mpv, the root) and imagemagick.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(realpath -m "${2:-$(dirname "$0")/../docs/viewer-embedded.png}")
scripts=$(cd "$(dirname "$0")" && pwd)
# Below /tmp: the Wine 10 world's root sees the machine's /tmp, at the same place.
work=$(mktemp -d /tmp/tessoravin-shot.XXXXXX)
trap 'rm -rf "$work"' EXIT
export TESSORAVIN_SCREENSHOT_BMP="Z:${work//\//\\}\\pane.bmp"
export TESSORAVIN_SCREENSHOT_CLIP="Z:${work//\//\\}\\Test pattern.avi"
case='^host_plugin_tests\.RealPlayerPicture\.Mpv040WithItsDefaultVideoOutput$'

# 30 s of FFmpeg's moving test pattern, longer than the picture takes.
WINEPREFIX=$build/wineprefix WINEDEBUG=-all wine "$build/third_party/mpv/ffmpeg.exe" -loglevel error \
  -f lavfi -i testsrc=size=640x360:rate=25:duration=30 -c:v mpeg4 -q:v 3 "$TESSORAVIN_SCREENSHOT_CLIP" \
  </dev/null >"$work/ffmpeg.log" 2>&1

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

#!/usr/bin/env bash
# Takes a picture of the test host with a viewer window and the stand-in player embedded in it.
#   scripts/viewer-screenshot.sh BUILD_DIR [OUTPUT.png]   (default: docs/viewer-embedded.png)
# Runs the test ViewerWindow.PlayerWindowIsShownEnabledAndKeptFillingTheViewer inside a Wine
# virtual desktop (so Wine draws the host window's frame and title, which no window manager does
# under Xvfb); the test adds a status line saying what is embedded, writes the host window's
# rectangle into the file named by TESSORAVIN_SCREENSHOT_READY once everything has painted and
# keeps its window up while ImageMagick's import takes the picture. Needs xvfb-run, wine and
# imagemagick.
# Wine 8 does not put on screen a child window that belongs to another process, so under Wine
# the pane keeps showing the viewer's "Loading..." placeholder where the player's window is;
# on Windows the player's picture covers it.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(realpath -m "${2:-$(dirname "$0")/../docs/viewer-embedded.png}")
. "$(dirname "$0")/wine-env.sh"
wine_enter_xvfb "$0" "$build" "$out"
wine_prepare "$build"

work=$(mktemp -d)
ready="$work/ready"
TESSORAVIN_SCREENSHOT_READY=$(winepath -w "$ready" 2>/dev/null)
export TESSORAVIN_SCREENSHOT_READY
cd "$build/tests/host/core"
wine explorer /desktop=tessoravin,720x480 ./dopus.exe \
  --gtest_filter=ViewerWindow.PlayerWindowIsShownEnabledAndKeptFillingTheViewer </dev/null &
runner=$!
if ! wine_wait_for_file "$ready" 150; then
  echo "the test never got its window on screen" >&2
  exit 1
fi
import -window root -crop "$(cat "$ready")" +repage "$out"
wait "$runner" || true
rm -rf "$work"
echo "screenshot: $out"

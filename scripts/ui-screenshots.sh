#!/usr/bin/env bash
# Takes the README's pictures of the configuration dialog (on the default mappings) and of the
# mapping editor (opened by Add), with the real Tessoravin.dll inside the plug-in test host, both
# installed as Directory Opus is: the host in C:\Program Files\GPSoftware\Directory Opus and the
# plug-in in its Viewers folder.
#   scripts/ui-screenshots.sh BUILD_DIR [OUTPUT_DIR]   (default: docs/, files config-dialog.png
#                                                       and mapping-editor.png)
# Each picture comes from one run of a test inside a Wine virtual desktop, so that Wine draws
# the window frames and captions, which no window manager does under Xvfb. Given the file named
# by TESSORAVIN_SCREENSHOT_READY, the test writes the window's rectangle into it as a crop
# geometry once the window has painted, and keeps the window up for a few seconds while
# ImageMagick's import takes the picture. Needs xvfb-run and wine (make test installs them) and
# a build with the tests (target host_plugin_tests); installs, when they are missing, what only the
# pictures need: Wine's own fonts (fonts-wine; without its Marlett font Wine draws the caption's
# close button as an "r", and without Tahoma the dialogs' font is another) and ImageMagick. The
# pictures have a Wine prefix of their own (BUILD_DIR/wineprefix-pictures), with those fonts in
# its Fonts folder, so that the tests' prefix keeps the fonts the tests ran with.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(realpath -m "${2:-$(dirname "$0")/../docs}")
missing=()
[ -e /usr/share/wine/fonts/marlett.ttf ] || missing+=(fonts-wine)
command -v import >/dev/null || missing+=(imagemagick)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing ${missing[*]}"
  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
. "$(dirname "$0")/wine-env.sh"
wine_enter_xvfb "$0" "$build" "$out"
export TESSORAVIN_WINEPREFIX=$build/wineprefix-pictures
wine_prepare "$build"
# Debian 12's Wine 8 does not find fonts-wine's fonts where the package puts them: it looks for
# them below its data folder as "/../fonts", a name it cannot open. In the prefix's own Fonts
# folder it finds them.
cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
mkdir -p "$out"
# In the prefix's own C: drive, so that every path the dialogs show reads as a Windows user's would.
opus="$WINEPREFIX/drive_c/Program Files/GPSoftware/Directory Opus"
rm -rf "$opus"
mkdir -p "$opus/Viewers"
cp "$build/tests/host/plugin/dopus.exe" "$opus/"
cp "$build/Tessoravin.dll" "$opus/Viewers/"

shoot() {  # test name, picture file name
  local work ready runner geometry
  work=$(mktemp -d)
  ready="$work/ready"
  (cd "$opus" &&
     TESSORAVIN_SCREENSHOT_READY=$(winepath -w "$ready" 2>/dev/null) \
     wine explorer /desktop=tessoravin-ui,800x600 ./dopus.exe --gtest_filter="$1" </dev/null >/dev/null 2>&1) &
  runner=$!
  if ! wine_wait_for_file "$ready" 200; then
    echo "$1 never got its window on screen" >&2
    exit 1
  fi
  geometry=$(cat "$ready")
  import -window root -crop "$geometry" +repage "$out/$2"
  wait "$runner" || true
  rm -rf "$work"
  echo "screenshot: $out/$2 ($geometry)"
}

shoot ConfigDialog.OpensOnTheDefaultsWhenNothingIsStored config-dialog.png
shoot ConfigDialog.AddOpensTheEditorOnDefaultsAndOnlyOkAppends mapping-editor.png

# Shared by the scripts that run Windows programs under Wine; source it, then:
#   wine_enter_xvfb "$0" "$@"   re-runs the calling script inside a private Xvfb display
#   wine_prepare BUILD_DIR       private prefix in BUILD_DIR/wineprefix, warmed-up wineserver
#                                (TESSORAVIN_WINEPREFIX names another: each Wine needs its own),
#                                with DXVK first for Direct3D 11 where the machine has it

wine_enter_xvfb() {
  if [ -z "${TESSORAVIN_IN_XVFB:-}" ]; then
    export TESSORAVIN_IN_XVFB=1
    # Room for the windows of the cases that read the screen apart from every other window
    # (tests/support/test_support.h, kScreenReadingOrigin).
    exec xvfb-run -a -s "-screen 0 2048x1536x24" "$@"
  fi
}

wine_prepare() {
  export WINEPREFIX="${TESSORAVIN_WINEPREFIX:-$1/wineprefix}"
  # Wine keeps file names in the Unix locale's encoding: without UTF-8 it cannot hold the
  # non-ASCII names the tests give their media, and mpv would not find them.
  export LC_ALL=C.UTF-8
  export WINEDEBUG=-all
  export WINEARCH=win64
  # No Mono or Gecko installer prompts during the prefix set-up.
  export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
  wine_runtime_dir
  # A prefix first booted without a display cannot create windows later, so it is
  # initialised here, inside the Xvfb session.
  if [ ! -f "$WINEPREFIX/.tessoravin-ready-2" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    # Xvfb runs no window manager: unmanaged windows, or Wine waits about 2 s for one each
    # time a top-level window is hidden or destroyed.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
    # A program that crashes ends at once, as a player does on Windows through its job
    # (JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION, which Wine does not implement), instead of
    # waiting for a click on winedbg's crash dialog that nobody sees under Xvfb.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    wineserver -w
    touch "$WINEPREFIX/.tessoravin-ready-2"
  fi
  local dxvk_placed=
  if [ -d /usr/lib/dxvk/wine64 ] && [ ! -L "$WINEPREFIX/drive_c/windows/system32/d3d11.dll" ]; then
    wine_place_dxvk
    wineserver -w
    dxvk_placed=1
  fi
  # Direct3D 11 is DXVK's where it was placed: it is what a Windows machine's GPU gives mpv, where
  # Wine's own lacks typed storage formats, which libplacebo (gpu-next) needs to upload a frame.
  # Named here, in the environment the test programs start with, as Wine reads a process's DLL
  # load order from that: a program that sets it for its children does not reach them. A test on
  # Wine's own sets d3d11 and dxgi back to builtin (tests/CMakeLists.txt).
  if [ -L "$WINEPREFIX/drive_c/windows/system32/d3d11.dll" ]; then
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3d11,dxgi=n,b"
    # DXVK's own log lines would fill a failed test's output, and its log files the test folders.
    export DXVK_LOG_LEVEL=none DXVK_LOG_PATH=none
  fi
  # A persistent wineserver, warmed up once: programs start in tens of milliseconds and
  # Wine's own services never inherit the caller's pipes (ctest would wait on them forever).
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  [ -z "$dxvk_placed" ] || wine_warm_direct3d11 "$1"
}

# Debian 13's Wine 10 aborts at its first start ("free(): invalid pointer") when TMPDIR is set and
# /run/user/UID does not exist, as in a container or a debootstrap root. It is made here (mode 700,
# as the login manager makes it) where missing; where it cannot be (not root), Wine goes without
# TMPDIR.
wine_runtime_dir() {
  local dir
  dir=/run/user/$(id -u)
  if [ -n "${TMPDIR:-}" ] && [ ! -d "$dir" ] && ! mkdir -p -m 700 "$dir" 2>/dev/null; then
    unset TMPDIR
  fi
}

# DXVK's DLLs, where the machine has Debian's dxvk-wine64 (the Wine 10 world's root), placed in the
# prefix as Debian's dxvk-setup places them: each of Wine's system32 DLLs kept as NAME.dll.old
# and replaced by a link to DXVK's. Not dxvk-setup's registry overrides: the environment names
# them (wine_prepare), so that a test can have Wine's own. Under Xvfb's XRandR Wine reports a
# refresh rate of 0 Hz, which DXVK 2.6's dxgi.dll divides by ("Unhandled division by zero" in the
# player), so Wine leaves XRandR out in this prefix.
wine_place_dxvk() {
  local dxvk=/usr/lib/dxvk/wine64 system32=$WINEPREFIX/drive_c/windows/system32 dll name
  for dll in "$dxvk"/*.dll.so; do
    name=$(basename "$dll" .so)
    [ ! -L "$system32/$name" ] || continue
    [ ! -e "$system32/$name" ] || mv "$system32/$name" "$system32/$name.old"
    ln -s "$dll" "$system32/$name"
  done
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1 || true
}

# In a new prefix the first mpv on DXVK may show a black video while its shaders compile (mpv
# then caches them in the prefix, Mesa in the machine's home): one unjudged run of each output on
# Direct3D 11 the tests take, on a clip of the tests' kind (64x48 BGR, 10 frames at 10 fps, read by
# mpv's own raw video demuxer), in a window of the tests' pane size.
wine_warm_direct3d11() {
  local mpv=$1/third_party/mpv-0.40/mpv.exe clip=$WINEPREFIX/drive_c/warm-up.raw vo
  [ -f "$mpv" ] || return 0
  head -c $((64 * 48 * 3 * 10)) /dev/zero | tr '\0' '\200' >"$clip"
  for vo in gpu gpu-next; do
    timeout 60 wine "$mpv" --vo=$vo --gpu-api=d3d11 --ao=null --geometry=640x360 --keep-open=no \
      --demuxer=rawvideo --demuxer-rawvideo-w=64 --demuxer-rawvideo-h=48 \
      --demuxer-rawvideo-mp-format=bgr24 --demuxer-rawvideo-fps=10 "$clip" \
      </dev/null >/dev/null 2>&1 || true
  done
  rm -f "$clip"
}

# Waits up to $2 tenths of a second for the file $1 to exist with content.
wine_wait_for_file() {
  local _
  for _ in $(seq 1 "$2"); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

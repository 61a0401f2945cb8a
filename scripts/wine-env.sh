# Shared by the scripts that run Windows programs under Wine; source it, then:
#   wine_enter_xvfb "$0" "$@"   re-runs the calling script inside a private Xvfb display
#   wine_prepare BUILD_DIR       private prefix in BUILD_DIR/wineprefix, warmed-up wineserver
#                                (TESSORAVIN_WINEPREFIX names another: each Wine needs its own)

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
  # A persistent wineserver, warmed up once: programs start in tens of milliseconds and
  # Wine's own services never inherit the caller's pipes (ctest would wait on them forever).
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
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

#!/usr/bin/env bash
# Cross-builds the mpv.exe the plug-in starts (and an ffmpeg.exe that can make test media) from
# Debian's source packages, so the players we test against are built from sources we can name, on
# any fresh Debian 12 or 13 machine, without a download from outside Debian.
#   scripts/build-mpv.sh BUILD_DIR      ->  BUILD_DIR/third_party/mpv/mpv.exe (and ffmpeg.exe),
#                                           mpv 0.35.1 with FFmpeg 5.1 (bookworm)
#                                       ->  BUILD_DIR/third_party/mpv-0.40/mpv.exe,
#                                           mpv 0.40.0 with FFmpeg 7.1 and libplacebo, and
#                                           Direct3D 11 (shaderc, SPIRV-Cross) beside OpenGL (trixie)
# One recipe per package, in scripts/mpv-recipes/NAME.sh, as in Debian's and MSYS2's packaging:
# which source packages of which release it builds (sources=, as RELEASE/PACKAGE), the stages it
# builds on (needs=), fixes some build machines need (fixes=, fix/NAME.sh) and how it is built and
# installed (build). What every stage shares is lib/common.sh; what some share (option lists,
# FFmpeg's components, cross files) is in lib/, loaded by a recipe with `use LIB`. This driver
# fetches every recipe's sources (fetch/: stages apt-RELEASE and src-RELEASE-PACKAGE), then runs
# the recipes in the order and lanes at its end.
# Every stage leaves a stamp under third_party/stamps/: a hash of the text it runs (common.sh, its
# recipe, the lib files it uses, a fix where this machine needs it) and of the stamps of the stages
# it builds on, so editing one recipe redoes it and what follows, and a run with nothing to do is
# instant. Each stage's output goes to third_party/logs/STAGE.log.
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
recipes=$scripts/mpv-recipes

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
mkdir -p "$1/third_party"
tp=$(cd "$1/third_party" && pwd)
mkdir -p "$tp/stamps" "$tp/logs"

# Two builds sharing BUILD_DIR (make -j2 test, or two shells) would trample each other's prefix.
exec 9>"$tp/.lock"
flock 9

export LC_ALL=C
# Called from make or CMake, we would otherwise hand their flags (and make's jobserver and
# variable overrides) to builds that have their own.
unset CC CXX CFLAGS CXXFLAGS CPPFLAGS LDFLAGS DESTDIR MAKEFLAGS MFLAGS MAKELEVEL

# Every command a stage runs goes to its log; the terminal gets one line per stage.
say() { printf 'mpv build: %-9s %s\n' "$1" "$2"; }

# load NAME: defines stage NAME in this shell: common.sh, then its recipe, which sets sources,
# needs, fixes and build, and loads its libs. The fetch stages are recipes with arguments.
load() {
  local entry
  used=() sources=() needs=() fixes=()
  . "$recipes/lib/common.sh"
  case $1 in
    apt-*) release=${1#apt-} recipe=$recipes/fetch/index.sh ;;
    src-*) release=${1#src-} recipe=$recipes/fetch/source.sh
           package=${release#*-} release=${release%%-*} ;;
    *) recipe=$recipes/$1.sh ;;
  esac
  . "$recipe"
  for entry in "${sources[@]}"; do needs+=("src-${entry/\//-}"); done
  srcdir=${sources[0]:+$tp/src/${sources[0]}}
  builddir=$tp/build/$1
}
# use LIB: loads lib/LIB.sh, once; its text is then part of the stage's stamp.
use() {
  local file=$recipes/lib/$1.sh
  if [[ " ${used[*]} " != *" $file "* ]]; then
    used+=("$file")
    . "$file"
  fi
}
# The fixes this machine needs, loaded: each fix's text is part of its stage's stamp only where it
# is needed, so a machine that does without it keeps its stamps. Prints their files.
needed_fixes() {
  local fix
  for fix in "${fixes[@]}"; do
    . "$recipes/fix/$fix.sh"
    if fix_needed; then echo "$recipes/fix/$fix.sh"; fi
  done
}

stage_key() {
  (
    load "$1"
    echo "$1"
    cat "$recipes/lib/common.sh" "$recipe" "${used[@]}"
    needed_fixes | xargs -r cat
    for dep in "${needs[@]}"; do cat "$tp/stamps/$dep" 2>/dev/null || echo "missing $dep"; done
  ) | sha1sum | cut -c1-40
}

# stage_current NAME: whether the stamp says NAME is built as it stands, and what it made is there
# (the recipe's present, where it has one).
stage_current() {
  [ -f "$tp/stamps/$1" ] && [ "$(cat "$tp/stamps/$1")" = "$(stage_key "$1")" ] &&
    (load "$1" && { ! declare -F present >/dev/null || present; })
}

# run_stage NAME...: each in turn, unless its stamp is current.
run_stage() {
  local name key start rc log fix
  for name in "$@"; do
    if stage_current "$name"; then
      say "$name" "done earlier"
      continue
    fi
    key=$(stage_key "$name")
    log=$tp/logs/$name.log
    rm -f "$tp/stamps/$name"
    start=$SECONDS
    # set -e is ignored inside a subshell that is tested by if/||, so test rc after it instead.
    set +e
    (
      set -e
      load "$name"
      for fix in $(needed_fixes); do
        . "$fix"
        fix_apply
      done
      build
    ) >"$log" 2>&1 </dev/null
    rc=$?
    set -e
    if [ $rc -ne 0 ]; then
      say "$name" "FAILED after $((SECONDS - start)) s; the end of $log:"
      tail -n 40 "$log" | sed 's/^/    /'
      exit 1
    fi
    echo "$key" >"$tp/stamps/$name"
    say "$name" "$((SECONDS - start)) s"
  done
}

# Every recipe's sources: first each release's indexes, then each source package, in turn (apt
# would contend for its lists with itself). Stages with nothing to do are counted, not listed.
fetch_sources() {
  local stages=() name entry done=0
  for name in "$recipes"/*.sh; do
    for entry in $(load "$(basename "$name" .sh)" && echo "${sources[@]}"); do
      stages+=("apt-${entry%%/*}" "src-${entry/\//-}")
    done
  done
  for name in $(printf '%s\n' "${stages[@]}" | grep '^apt-' | sort -u) \
              $(printf '%s\n' "${stages[@]}" | grep '^src-' | sort -u); do
    if stage_current "$name"; then
      done=$((done + 1))
    else
      run_stage "$name"
    fi
  done
  if [ $done -gt 0 ]; then say sources "$done fetched earlier"; fi
}

# A lane runs its stages beside the ones that follow it, in a process group of its own, so that a
# failure or an interrupt stops all of it. A lane with nothing to do runs in place, so that a
# second run prints its lines in order.
# start_lane VAR STAGE...: starts one, its process id in VAR; wait_lane VAR: waits.
lane_pids=()
start_lane() {
  local var=$1 name
  shift
  printf -v "$var" '%s' ""
  for name in "$@"; do
    if ! stage_current "$name"; then
      set -m
      run_stage "$@" &
      printf -v "$var" '%s' "$!"
      set +m
      lane_pids+=("$!")
      trap 'for pid in "${lane_pids[@]}"; do kill -- -"$pid" 2>/dev/null || true; done' EXIT
      trap 'exit 130' INT TERM
      return
    fi
  done
  run_stage "$@"
}
wait_lane() {
  local pid=${!1} p rest=()
  [ -n "$pid" ] || return 0
  wait "$pid"
  for p in "${lane_pids[@]}"; do [ "$p" = "$pid" ] || rest+=("$p"); done
  lane_pids=("${rest[@]}")
}

run_stage tools
fetch_sources
# FFmpeg needs none of the other libraries, and its configure is one long serial shell run: it
# builds beside them rather than before them. So do 0.40's FFmpeg and the shader compilers, each
# built on the one before, with SPIRV-Cross, built on none, after FFmpeg 7.1. The shader compilers
# are the longest chain and mpv 0.40 waits for them, so the two FFmpeg lanes yield to them (a
# lane's later stages inherit its niceness): the machine is busy until the end either way.
start_lane ffmpeg_lane ffmpeg
start_lane lane_040 ffmpeg71 spvcross
for lane in "$ffmpeg_lane" "$lane_040"; do
  [ -z "$lane" ] || renice -n 10 -g "$lane" >/dev/null
done
start_lane lane_spv spvhdrs spvtools glslang shaderc
run_stage lua fribidi freetype harfbuzz libass meson
wait_lane ffmpeg_lane
run_stage mpv
wait_lane lane_spv
wait_lane lane_040
run_stage placebo mpv040
echo "mpv.exe: $tp/mpv/mpv.exe"
echo "mpv.exe 0.40: $tp/mpv-0.40/mpv.exe"

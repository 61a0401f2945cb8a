#!/usr/bin/env bash
# Cross-builds the mpv.exe the plug-in starts (and an ffmpeg.exe that can make test media) from
# Debian bookworm's source packages, so the player we test against is built from sources we can
# name, on any fresh Debian 12 or 13 machine, without a download from outside Debian. Beside
# it, a current mpv from Debian trixie's source packages, so the plug-in can be tried against
# both.
#   scripts/build-mpv.sh BUILD_DIR      ->  BUILD_DIR/third_party/mpv/mpv.exe (and ffmpeg.exe),
#                                           mpv 0.35.1 with FFmpeg 5.1
#                                       ->  BUILD_DIR/third_party/mpv-0.40/mpv.exe,
#                                           mpv 0.40.0 with FFmpeg 7.1 and libplacebo, and
#                                           Direct3D 11 (shaderc, SPIRV-Cross) beside OpenGL
# Every stage leaves a stamp under third_party/stamps/; a stamp holds a hash of the stage's own
# commands and of the stamps it builds on, so editing one stage redoes it and what follows, and a
# run with nothing to do is instant. Each stage's output goes to third_party/logs/STAGE.log.
set -euo pipefail
. "$(dirname "$0")/debian-mirror.sh"

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
mkdir -p "$1/third_party"
tp=$(cd "$1/third_party" && pwd)
src=$tp/src
obj=$tp/build
prefix=$tp/prefix
out=$tp/mpv
# mpv 0.40's own sources, libraries (FFmpeg 7.1, libplacebo) and result, apart from 0.35.1's so
# that neither build can pick up the other's FFmpeg. Lua and libass come from prefix for both.
src40=$tp/src-0.40
prefix40=$tp/prefix-0.40
# The shader compilers Direct3D 11 needs (SPIRV-Headers, SPIRV-Tools, glslang, shaderc,
# SPIRV-Cross): sources of their own, installed into 0.40's prefix, the only build that links them.
srcspv=$tp/src-spirv
out40=$tp/mpv-0.40
meson_trixie=$tp/meson-trixie
jobs=$(nproc)
mkdir -p "$tp/stamps" "$tp/logs"

# Two builds sharing BUILD_DIR (make -j2 test, or two shells) would trample each other's prefix.
exec 9>"$tp/.lock"
flock 9

# pkg-config must see only what we built: a library of the build machine would be the wrong ABI.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR
export LC_ALL=C
# Called from make or CMake, we would otherwise hand their flags (and make's jobserver and
# variable overrides) to builds that have their own.
unset CC CXX CFLAGS CXXFLAGS CPPFLAGS LDFLAGS DESTDIR MAKEFLAGS MFLAGS MAKELEVEL

# Every command a stage runs goes to its log; the terminal gets one line per stage.
say() { printf 'mpv build: %-9s %s\n' "$1" "$2"; }

# Helpers only some stages call; their text is part of those stages' stamps alone, so adding one
# leaves every other stamp as it was.
declare -A stage_helpers=([sources]=write_apt_config [trixie]=write_apt_config
                          [spvsrc]=unpack_source [placebo]=config_040 [mpv040]=config_040
                          [spvtools]=config_cmake [glslang]=config_cmake [shaderc]=config_cmake
                          [spvcross]=config_cmake)

# Fixes to a stage's sources that only some build machines need (their headers, say): a fix runs
# before its stage, and its text is part of that stage's stamp only where it is needed, so a
# machine that does without it keeps its stamps. Set once the tools are known.
declare -A stage_fixes=()

stage_key() {
  local name=$1; shift
  {
    declare -f "stage_$name" common_config write_cross_file ${stage_helpers[$name]:-} \
      ${stage_fixes[$name]:-}
    local dep
    for dep in "$@"; do cat "$tp/stamps/$dep" 2>/dev/null || echo "missing $dep"; done
  } | sha1sum | cut -c1-40
}

# stage_current NAME [STAGES IT BUILDS ON...]: whether the stamp says NAME is built as it stands.
stage_current() {
  # Packages can go away under a kept build dir; the probes cost nothing.
  if [ "$1" = tools ] && [ -n "$(missing_tools)" ]; then return 1; fi
  [ -f "$tp/stamps/$1" ] && [ "$(cat "$tp/stamps/$1")" = "$(stage_key "$@")" ]
}

# run_stage NAME [STAGES IT BUILDS ON...]
run_stage() {
  local name=$1 key start rc log=$tp/logs/$1.log
  if stage_current "$@"; then
    say "$name" "done earlier"
    return
  fi
  key=$(stage_key "$@")
  rm -f "$tp/stamps/$name"
  start=$SECONDS
  # set -e is ignored inside a subshell that is tested by if/||, so test rc after it instead.
  set +e
  (set -e; ${stage_fixes[$name]:-}; "stage_$name") >"$log" 2>&1 </dev/null
  rc=$?
  set -e
  if [ $rc -ne 0 ]; then
    say "$name" "FAILED after $((SECONDS - start)) s; the end of $log:"
    tail -n 40 "$log" | sed 's/^/    /'
    exit 1
  fi
  echo "$key" >"$tp/stamps/$name"
  say "$name" "$((SECONDS - start)) s"
}

# Whatever the stages share; its text is part of every stamp.
common_config() {
  host=x86_64-w64-mingw32
  # The posix flavour, whose winpthreads (linked statically) C++ threads and mpv expect.
  cc=$host-gcc-posix
  cxx=$host-g++-posix
  cflags="-O2 -pipe"
  meson_common=(--cross-file "$tp/cross.meson" --prefix "$prefix" --libdir lib
                -Doptimization=2 -Ddebug=false --default-library static --wrap-mode nofallback)
}
common_config

write_cross_file() {
  cat >"$tp/cross.meson" <<EOF
[binaries]
c = '$cc'
cpp = '$cxx'
ar = '$host-ar'
strip = '$host-strip'
windres = '$host-windres'
pkgconfig = 'pkg-config'

[properties]
pkg_config_libdir = '$prefix/lib/pkgconfig'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF
}

# A command, or for the Python modules libplacebo's build imports, a path.
tool_probes=(meson ninja cmake nasm yasm pkg-config dpkg-source patch xz bzip2 make python3
             "$cc" "$cxx" "$host-windres" "$host-ar" "$host-dlltool"
             /usr/lib/python3/dist-packages/glad /usr/lib/python3/dist-packages/jinja2)
# meson is bookworm's 1.0 for the 0.35.1 build; mpv 0.40 needs a newer one (stage_trixie).
# libplacebo generates its OpenGL loader with glad and its shaders' C code with jinja2; bookworm
# has both (Debian's own libplacebo build uses them too), trixie's libplacebo source lacks them.
# The shader compilers build with CMake (the one the project itself builds with).
tool_packages=(meson ninja-build cmake nasm yasm pkg-config dpkg-dev patch xz-utils bzip2 make
               python3 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
               binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev python3-glad python3-jinja2)

missing_tools() {
  local p
  for p in "${tool_probes[@]}"; do
    if [[ $p == /* ]]; then
      [ -e "$p" ] || echo "$p"
    else
      command -v "$p" >/dev/null || echo "$p"
    fi
  done
}

stage_tools() {
  local missing
  missing=$(missing_tools)
  [ -n "$missing" ] || return 0
  echo "missing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  # Another apt (the project's make installing Wine, say) may hold the lock for a while.
  apt-get -o DPkg::Lock::Timeout=600 update
  apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${tool_packages[@]}"
}

# apt-get source through a configuration of our own (write_apt_config). apt checks each file
# against the signed Sources index (the machine's Debian keyring), which is why dpkg-source's
# "cannot verify inline signature" (debian-keyring, the uploaders' keys, is not installed) is no
# gap.
stage_sources() {
  local apt=$tp/apt
  rm -rf "$apt" "$src"
  write_apt_config "$apt" bookworm deb-src
  export APT_CONFIG=$apt/apt.conf
  apt-get update
  mkdir -p "$src"
  cd "$src"
  apt-get source --download-only ffmpeg freetype fribidi harfbuzz libass lua5.2 mpv
  local dsc
  for dsc in *.dsc; do
    # dpkg-source applies Debian's patches; the directory is named without the version.
    dpkg-source -x "$dsc" "${dsc%%_*}"
  done
}

# write_apt_config DIR SUITE TYPE...: a private apt configuration in DIR for SUITE's main
# component, one sources line per TYPE (deb-src, deb), on the Debian mirror the machine's own apt
# uses (only the function's text is in the stamps, so another mirror rebuilds nothing). Its
# sources list, lists, cache and state all live in DIR, so the machine's sources and package
# lists stay as they were. The machine's apt.conf.d is left out too (its hooks clean the system
# cache after an update), but a proxy it names is kept.
write_apt_config() {
  local apt=$1 suite=$2 mirror type proxy=""
  shift 2
  mirror=$(debian_mirror)
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/state" "$apt/parts"
  eval "$(apt-config shell proxy Acquire::http::Proxy)"
  for type in "$@"; do
    echo "$type [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main"
  done >"$apt/sources.list"
  cat >"$apt/apt.conf" <<EOF
Dir::Etc::Main "/dev/null";
Dir::Etc::Parts "$apt/parts";
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/parts";
Dir::Etc::Preferences "/dev/null";
Dir::Etc::PreferencesParts "$apt/parts";
Dir::State "$apt/state";
Dir::State::Lists "$apt/lists";
Dir::State::status "/var/lib/dpkg/status";
Dir::Cache "$apt/cache";
Dir::Log "$apt/log";
APT::Sandbox::User "root";
Acquire::Languages "none";
Acquire::Retries "3";
${proxy:+Acquire::http::Proxy "$proxy";}
EOF
}

# mpv 0.40 and what only it links come from trixie: FFmpeg 7.1, libplacebo, and vulkan-loader,
# whose source carries the Vulkan headers libplacebo compiles against even without Vulkan.
# Bookworm's Lua and libass serve 0.40 as they are. Trixie's meson source package is not
# served, its binary package is: pure Python, it runs from where dpkg-deb unpacks it.
stage_trixie() {
  local apt=$tp/apt-trixie dsc
  rm -rf "$apt" "$src40" "$meson_trixie"
  write_apt_config "$apt" trixie deb-src deb
  export APT_CONFIG=$apt/apt.conf
  apt-get update
  mkdir -p "$src40"
  cd "$src40"
  apt-get source --download-only ffmpeg libplacebo mpv vulkan-loader
  apt-get download meson
  for dsc in *.dsc; do
    dpkg-source -x "$dsc" "${dsc%%_*}"
  done
  dpkg-deb -x meson_*_all.deb "$meson_trixie"
}

# The shader compilers mpv 0.40's Direct3D 11 outputs need: gpu compiles its GLSL to SPIR-V with
# shaderc (on glslang and SPIRV-Tools, on SPIRV-Headers) and translates that to HLSL with
# SPIRV-Cross; libplacebo's backend, which gpu-next takes, does the same. Trixie's versions, as
# its own mpv and libplacebo are built against, except SPIRV-Cross: the mirror serves none of
# trixie's files for it, so it is bookworm's (the C API 0.54 of SDK 1.3.239; libplacebo asks for
# 0.29 or later, mpv for any). Of some of trixie's packages the mirror serves the tarballs and
# not the .dsc; unpack_source puts those together as dpkg-source would.
stage_spvsrc() {
  rm -rf "$srcspv"
  mkdir -p "$srcspv"
  cd "$srcspv"
  # apt-get exits with an error when the mirror lacks one of a package's files, keeping those it
  # fetched: each package on its own, and unpack_source says what is missing.
  local pkg
  for pkg in spirv-headers spirv-tools glslang shaderc; do
    APT_CONFIG=$tp/apt-trixie/apt.conf apt-get source --download-only "$pkg" || true
  done
  APT_CONFIG=$tp/apt/apt.conf apt-get source --download-only spirv-cross || true
  for pkg in spirv-headers spirv-tools glslang shaderc spirv-cross; do
    unpack_source "$pkg"
  done
}

# unpack_source PKG: PKG's sources in a directory named PKG, with Debian's patches applied. With
# the .dsc, dpkg-source does it; without it, the upstream tarball and Debian's own (apt checked
# both against the signed Sources index as it fetched them) are unpacked, and the patches of
# debian/patches/series applied in order, as dpkg-source applies them.
unpack_source() {
  local pkg=$1 dsc orig debian patch
  # A pattern that matches nothing is no error here (set -e, pipefail).
  dsc=$(compgen -G "${pkg}_*.dsc" | head -n 1 || true)
  if [ -n "$dsc" ]; then
    dpkg-source -x "$dsc" "$pkg"
    return
  fi
  orig=$(compgen -G "${pkg}_*.orig.tar.*" | grep -v '\.asc$' | head -n 1 || true)
  debian=$(compgen -G "${pkg}_*.debian.tar.*" | head -n 1 || true)
  if [ -z "$orig" ]; then
    echo "$pkg: the mirror served neither its .dsc nor its upstream tarball"
    return 1
  fi
  echo "$pkg: no .dsc served; unpacking $orig${debian:+ and $debian}"
  mkdir "$pkg"
  tar -xf "$orig" -C "$pkg" --strip-components=1
  [ -n "$debian" ] || return 0
  tar -xf "$debian" -C "$pkg"
  [ -f "$pkg/debian/patches/series" ] || return 0
  sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$pkg/debian/patches/series" |
    while read -r patch; do
      echo "applying $patch"
      patch -d "$pkg" -p1 --no-backup-if-mismatch <"$pkg/debian/patches/$patch"
    done
}

# mingw-w64 12 (Debian 13) added KSDATAFORMAT_SUBTYPE_IEC61937_DOLBY_DIGITAL and _DTS to
# ksmedia.h, built from mmreg.h's WAVE_FORMAT_DOLBY_AC3_SPDIF and WAVE_FORMAT_DTS, without
# including mmreg.h. mpv 0.35.1's WASAPI output includes ksguid.h (which makes ksmedia.h define
# its GUIDs there) and ksmedia.h but not mmreg.h, so the two names are undeclared; it gets
# mmreg.h first, as mpv 0.40 has it. Only for headers that need it (ksmedia_needs_mmreg).
fix_mpv_mmreg() {
  local c=$src/mpv/audio/out/ao_wasapi_utils.c
  if ! grep -q '^#include <mmreg.h>' "$c"; then
    sed -i 's/^#include <ksguid.h>$/#include <mmreg.h>\n&/' "$c"
    grep -q '^#include <mmreg.h>' "$c"
  fi
}

ksmedia_needs_mmreg() {
  ! printf '#include <windows.h>\n#include <ksguid.h>\n#include <ksmedia.h>\n' |
    "$cc" -fsyntax-only -x c - >/dev/null 2>&1
}

# mpv 0.40's Direct3D 11 code needs DirectX headers newer than bookworm's mingw-w64 (10) has:
# IDXGIInfoQueue (dxgidebug.h, mingw-w64 11) and the G24 colour spaces (dxgicommon.h). There it
# takes trixie's Direct3D 11 and DXGI headers, from its mingw-w64-common package (the headers,
# the same for every architecture), from a directory named first on its include path, so that
# meson's checks of those headers see them too. They declare interfaces only: mpv loads d3d11.dll
# and dxgi.dll at run time. Only for headers that need it (dx_headers_too_old).
fix_mpv040_dx_headers() {
  dx_include=$tp/mingw-w64-dx
  (
    rm -rf "$dx_include" "$tp/mingw-w64-common" && mkdir -p "$dx_include" "$tp/mingw-w64-common"
    cd "$tp/mingw-w64-common"
    APT_CONFIG=$tp/apt-trixie/apt.conf apt-get download mingw-w64-common
    dpkg-deb --fsys-tarfile mingw-w64-common_*_all.deb | tar -x --wildcards \
      './usr/share/mingw-w64/include/d3d11*.h' './usr/share/mingw-w64/include/dxgi*.h' \
      './usr/share/mingw-w64/include/d3dcommon.h'
    cp usr/share/mingw-w64/include/*.h "$dx_include/"
  )
}

dx_headers_too_old() {
  ! printf '#include <windows.h>\n#include <dxgi1_6.h>\n#include <dxgidebug.h>\n%s\n%s\n' \
    'IDXGIInfoQueue *queue;' \
    'int space = DXGI_COLOR_SPACE_RGB_STUDIO_G24_NONE_P709;' |
    "$cc" -fsyntax-only -x c - >/dev/null 2>&1
}

# Lua's own makefile builds a DLL and lua.exe for mingw; mpv wants only the library, statically.
stage_lua() {
  local b=$obj/lua
  rm -rf "$b" && mkdir -p "$b" "$prefix/lib/pkgconfig" "$prefix/include/lua5.2"
  cd "$src/lua5.2/src"
  ls *.c | grep -vx -e lua.c -e luac.c |
    xargs -P "$jobs" -I{} sh -c "$cc $cflags -DLUA_COMPAT_ALL -c {} -o $b/\$(basename {} .c).o"
  rm -f "$prefix/lib/liblua5.2.a"
  "$host-ar" rcs "$prefix/lib/liblua5.2.a" "$b"/*.o
  cp lua.h luaconf.h lualib.h lauxlib.h lua.hpp "$prefix/include/lua5.2/"
  cat >"$prefix/lib/pkgconfig/lua5.2.pc" <<EOF
prefix=$prefix
Name: Lua
Description: Lua 5.2 language engine, static
Version: 5.2.4
Libs: -L\${prefix}/lib -llua5.2
Cflags: -I\${prefix}/include/lua5.2
EOF
}

# fribidi's meson build runs table generators natively, which would need a native compiler; the
# tarball ships their output, and the library is a dozen C files.
stage_fribidi() {
  local b=$obj/fribidi inc=$prefix/include/fribidi major minor micro interface
  rm -rf "$b" && mkdir -p "$b" "$inc" "$prefix/lib/pkgconfig"
  cd "$src/fribidi/lib"
  m4_value() { sed -n "s/^m4_define(fribidi_$1, \([0-9]*\)).*/\1/p" ../configure.ac; }
  major=$(m4_value major_version) minor=$(m4_value minor_version)
  micro=$(m4_value micro_version) interface=$(m4_value interface_version)
  sed -e "s/@PACKAGE@/fribidi/; s/@PACKAGE_NAME@/GNU FriBidi/; s/@PACKAGE_BUGREPORT@//" \
      -e "s/@FRIBIDI_VERSION@/$major.$minor.$micro/; s/@FRIBIDI_MAJOR_VERSION@/$major/" \
      -e "s/@FRIBIDI_MINOR_VERSION@/$minor/; s/@FRIBIDI_MICRO_VERSION@/$micro/" \
      -e "s/@FRIBIDI_INTERFACE_VERSION@/$interface/g; s/@SIZEOF_INT@/4/" \
      -e "s/@FRIBIDI_MSVC_BUILD_PLACEHOLDER@//; s/@configure_input@//" \
      fribidi-config.h.in >"$b/fribidi-config.h"
  ls *.c | xargs -P "$jobs" -I{} sh -c "$cc $cflags -I$b -I. -DHAVE_STDLIB_H=1 -DHAVE_STRING_H=1 \
    -DHAVE_STRINGS_H=1 -DSTDC_HEADERS=1 -DHAVE_STRINGIZE=1 -c {} -o $b/\$(basename {} .c).o"
  rm -f "$prefix/lib/libfribidi.a"
  "$host-ar" rcs "$prefix/lib/libfribidi.a" "$b"/*.o
  cp fribidi*.h "$b/fribidi-config.h" "$inc/"
  cat >"$prefix/lib/pkgconfig/fribidi.pc" <<EOF
prefix=$prefix
Name: GNU FriBidi
Description: Unicode Bidirectional Algorithm Library, static
Version: $major.$minor.$micro
Libs: -L\${prefix}/lib -lfribidi
Cflags: -I\${prefix}/include/fribidi
EOF
}

# FreeType's own builds compile every driver; libass needs the ones for TrueType and OpenType
# fonts, built the way docs/INSTALL.ANY describes: one file per module, our own module list.
stage_freetype() {
  local b=$obj/freetype version
  rm -rf "$b" && mkdir -p "$b/include/freetype/config" "$prefix/include/freetype2" \
    "$prefix/lib/pkgconfig"
  cd "$src/freetype"
  cat >"$b/include/freetype/config/ftmodule.h" <<'EOF'
FT_USE_MODULE( FT_Module_Class, autofit_module_class )
FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )
FT_USE_MODULE( FT_Driver_ClassRec, cff_driver_class )
FT_USE_MODULE( FT_Module_Class, psaux_module_class )
FT_USE_MODULE( FT_Module_Class, psnames_module_class )
FT_USE_MODULE( FT_Module_Class, pshinter_module_class )
FT_USE_MODULE( FT_Module_Class, sfnt_module_class )
FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )
EOF
  printf '%s\n' builds/windows/ftsystem.c builds/windows/ftdebug.c \
      src/base/{ftinit,ftbase,ftbbox,ftbitmap,ftglyph,ftmm,ftsynth,fttype1}.c \
      src/{sfnt/sfnt,truetype/truetype,cff/cff,psaux/psaux,pshinter/pshinter}.c \
      src/{psnames/psnames,smooth/smooth,autofit/autofit,gzip/ftgzip}.c |
    xargs -P "$jobs" -I{} sh -c \
      "$cc $cflags -DFT2_BUILD_LIBRARY -I$b/include -Iinclude -c {} -o $b/\$(basename {} .c).o"
  rm -f "$prefix/lib/libfreetype.a"
  "$host-ar" rcs "$prefix/lib/libfreetype.a" "$b"/*.o
  cp -r include/ft2build.h include/freetype "$prefix/include/freetype2/"
  # The pkg-config version is libtool's, which is what libass asks for.
  version=$(sed -n "s/^version_info='\([0-9]*\):\([0-9]*\):\([0-9]*\)'/\1.\2.\3/p" \
    builds/unix/configure.raw)
  cat >"$prefix/lib/pkgconfig/freetype2.pc" <<EOF
prefix=$prefix
Name: FreeType 2
Description: A free, high-quality, and portable font engine, static
Version: $version
Libs: -L\${prefix}/lib -lfreetype
Cflags: -I\${prefix}/include/freetype2
EOF
}

# harfbuzz's meson build always compiles its subsetter too; libass needs the library only, which
# upstream also builds from src/harfbuzz.cc, a file that includes all the others. It is split in
# one part per core: every part compiles on its own, as the files do in the meson build. libass
# shapes without hb-ft, so no FreeType here.
stage_harfbuzz() {
  local b=$obj/harfbuzz version i
  rm -rf "$b" && mkdir -p "$b" "$prefix/include/harfbuzz" "$prefix/lib/pkgconfig"
  cd "$src/harfbuzz/src"
  version=$(sed -n 's/^#define HB_VERSION_STRING "\(.*\)"/\1/p' hb-version.h)
  for ((i = 0; i < jobs; i++)); do
    awk -v n="$jobs" -v i="$i" '(NR - 1) % n == i' harfbuzz.cc >"$b/part$i.cc"
  done
  ls "$b"/part*.cc | xargs -P "$jobs" -I{} sh -c "$cxx $cflags -fno-exceptions -fno-rtti \
    -fno-threadsafe-statics -fvisibility-inlines-hidden -I. -c {} -o \${0%.cc}.o" {}
  rm -f "$prefix/lib/libharfbuzz.a"
  "$host-ar" rcs "$prefix/lib/libharfbuzz.a" "$b"/part*.o
  cp hb.h hb-*.h "$prefix/include/harfbuzz/"
  cat >"$prefix/lib/pkgconfig/harfbuzz.pc" <<EOF
prefix=$prefix
Name: harfbuzz
Description: HarfBuzz text shaping library, static
Version: $version
Libs: -L\${prefix}/lib -lharfbuzz
Cflags: -I\${prefix}/include/harfbuzz
EOF
}

stage_libass() {
  local b=$obj/libass
  rm -rf "$b" && mkdir -p "$b"
  cd "$b"
  "$src/libass/configure" --host=$host --prefix="$prefix" --disable-shared --enable-static \
    --disable-fontconfig --disable-libunibreak --enable-directwrite --enable-asm \
    CC="$cc" CFLAGS="$cflags" AS=nasm
  make -j "$jobs"
  make install
}

# Everything disabled, then what mpv needs to play small h264/mpeg4/vp9 files with aac, mp3,
# flac, vorbis, opus or PCM audio and text subtitles in the usual containers, and what ffmpeg.exe
# needs to make such files for the tests (mpeg4 and PCM encoders, -f lavfi test sources).
# For build time: yasm, as nasm spends minutes on the vp9 and h264 macros; winpthreads (mpv links
# it anyway) rather than w32threads, and a lean windows.h, as parsing all of windows.h costs more
# than compiling many of the files that include it.
stage_ffmpeg() {
  local b=$obj/ffmpeg
  rm -rf "$b" && mkdir -p "$b"
  cd "$b"
  "$src/ffmpeg/configure" --prefix="$prefix" \
    --target-os=mingw32 --arch=x86_64 --enable-cross-compile --cross-prefix=$host- \
    --cc="$cc" --pkg-config=pkg-config --pkg-config-flags=--static \
    --disable-shared --enable-static --disable-doc --disable-debug --disable-network \
    --disable-autodetect --disable-w32threads --enable-pthreads --x86asmexe=yasm \
    --optflags=-O2 --extra-cflags=-DWIN32_LEAN_AND_MEAN --extra-ldflags=-static \
    --disable-everything --disable-programs --enable-ffmpeg --disable-postproc \
    --enable-protocol=file,pipe \
    --enable-demuxer=matroska,mov,avi,wav,mp3,ogg,flac,aac,ass,srt,webvtt \
    --enable-decoder=h264,mpeg4,vp9,aac,mp3float,flac,vorbis,opus,rawvideo \
    --enable-decoder=pcm_s16le,pcm_s24le,pcm_s32le,pcm_f32le,pcm_u8 \
    --enable-decoder=ass,ssa,subrip,srt,webvtt,mov_text \
    --enable-parser=h264,mpeg4video,vp9,aac,mpegaudio,flac,vorbis,opus \
    --enable-encoder=mpeg4,pcm_s16le,wrapped_avframe \
    --enable-muxer=avi,matroska,mp4,mov,wav,null \
    --enable-indev=lavfi \
    --enable-filter=buffer,abuffer,buffersink,abuffersink,format,aformat,null,anull \
    --enable-filter=scale,aresample,trim,atrim,rotate,hflip,vflip,transpose \
    --enable-filter=testsrc,testsrc2,color,sine,anullsrc
  make -j "$jobs"
  make install
  mkdir -p "$out"
  cp ffmpeg.exe "$out/ffmpeg.exe"
}

stage_mpv() {
  local b=$obj/mpv
  write_cross_file
  rm -rf "$b"
  # Lua is not optional for us: without it mpv rejects --osc and --script-opts, which the
  # plug-in always passes. d3d11 would need shaderc and SPIRV-Cross; gpu (OpenGL) and direct3d
  # cover Windows without them.
  meson setup "$b" "$src/mpv" "${meson_common[@]}" -Dauto_features=disabled -Dprefer_static=true \
    -Dc_link_args="-static -static-libgcc" \
    -Dlibmpv=false -Dcplayer=true -Dlua=lua5.2 -Djavascript=disabled \
    -Dgl=enabled -Dgl-win32=enabled -Ddirect3d=enabled -Dwasapi=enabled \
    -Dstdatomic=enabled -Dvector=enabled -Dwin32-internal-pthreads=disabled \
    -Dlibavdevice=disabled -Dzlib=disabled -Diconv=disabled -Dmanpage-build=disabled
  ninja -C "$b" -j "$jobs"
  mkdir -p "$out"
  "$host-strip" -o "$out/mpv.exe" "$b/mpv.exe"
}

# What the meson stages of mpv 0.40 share. pkg-config looks in 0.40's prefix first, where
# FFmpeg, libplacebo and libass's entry are, then in bookworm's for Lua and the libraries libass
# links. Trixie's meson runs with the system's python3, the one python3-glad is installed for (a
# python3 earlier in PATH may lack it), and runs its helpers (install, custom commands) through
# it again, from ninja too, so its PYTHONPATH is exported for the whole stage.
config_040() {
  export PKG_CONFIG_LIBDIR=$prefix40/lib/pkgconfig:$prefix/lib/pkgconfig
  export PYTHONPATH=$meson_trixie/usr/lib/python3/dist-packages
  meson040=(/usr/bin/python3 "$meson_trixie/usr/bin/meson")
  meson_040=(--cross-file "$tp/cross.meson" --cross-file "$tp/cross-0.40.meson"
             --prefix "$prefix40" --libdir lib -Doptimization=2 -Ddebug=false
             --default-library static --wrap-mode nofallback)
  write_cross_file
  # A second cross file overrides the first where they overlap. libplacebo's build wants a
  # dlltool (for an import library of UCRT's math functions, which a static library never
  # links) and would otherwise take whichever the build machine has, if any.
  cat >"$tp/cross-0.40.meson" <<EOF
[binaries]
dlltool = '$host-dlltool'

[properties]
pkg_config_libdir = ['$prefix40/lib/pkgconfig', '$prefix/lib/pkgconfig']
EOF
}

# What the CMake stages (the shader compilers) share: the cross toolchain, -O2 as everywhere
# else (CMake's Release is -O3), static libraries only, installed into 0.40's prefix. The file is
# written to a temporary name and moved, as stages of two lanes may write it at the same time.
config_cmake() {
  local file=$tp/cross.cmake.$BASHPID
  cat >"$file" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_RC_COMPILER $host-windres)
set(CMAKE_AR $(command -v $host-ar) CACHE FILEPATH "")
set(CMAKE_RANLIB $(command -v $host-ranlib) CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH $prefix40)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
  mv "$file" "$tp/cross.cmake"
  cmake_040=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$tp/cross.cmake" -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
             -DCMAKE_C_FLAGS=-pipe -DCMAKE_CXX_FLAGS=-pipe
             -DCMAKE_INSTALL_PREFIX="$prefix40" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF)
}

# SPIR-V's own headers (the grammar SPIRV-Tools generates its tables from stays in the source).
stage_spvhdrs() {
  mkdir -p "$prefix40/include"
  rm -rf "$prefix40/include/spirv"
  cp -r "$srcspv/spirv-headers/include/spirv" "$prefix40/include/"
}

# SPIRV-Tools: the core library (validator, disassembler) and the optimizer, which shaderc and
# glslang run; not the reducer, linker, linter, differ, tools or tests, which nothing here links,
# so only those two targets and the pkg-config file glslang looks for are built, and installed
# by hand (its install step wants them all).
stage_spvtools() {
  local b=$obj/spvtools
  config_cmake
  rm -rf "$b"
  cmake -S "$srcspv/spirv-tools" -B "$b" "${cmake_040[@]}" \
    -DSPIRV-Headers_SOURCE_DIR="$srcspv/spirv-headers" -DSPIRV_SKIP_EXECUTABLES=ON \
    -DSPIRV_SKIP_TESTS=ON -DSPIRV_WERROR=OFF -DSPIRV_TOOLS_BUILD_STATIC=ON
  ninja -C "$b" -j "$jobs" SPIRV-Tools-static SPIRV-Tools-opt spirv-tools-pkg-config
  mkdir -p "$prefix40/lib/pkgconfig" "$prefix40/include/spirv-tools"
  cp "$b/source/libSPIRV-Tools.a" "$b/source/opt/libSPIRV-Tools-opt.a" "$prefix40/lib/"
  cp "$b/SPIRV-Tools.pc" "$prefix40/lib/pkgconfig/"
  cp "$srcspv/spirv-tools/include/spirv-tools/"*.h* "$prefix40/include/spirv-tools/"
}

# glslang, GLSL to SPIR-V, with its HLSL front end: shaderc calls into it (setHlslIoMapping) and
# its headers lay out types differently without it. Debian's patches have it find SPIRV-Tools
# through pkg-config, and use it (the optimizer, the validator) when found; its headers are then
# taken to be where the system's are, so their directory is named here.
stage_glslang() {
  local b=$obj/glslang
  config_cmake
  export PKG_CONFIG_LIBDIR=$prefix40/lib/pkgconfig
  rm -rf "$b"
  cmake -S "$srcspv/glslang" -B "$b" "${cmake_040[@]}" \
    -DCMAKE_CXX_FLAGS="-pipe -I$prefix40/include" -DBUILD_EXTERNAL=OFF \
    -DENABLE_GLSLANG_BINARIES=OFF -DENABLE_SPVREMAPPER=OFF -DGLSLANG_TESTS=OFF \
    -DGLSLANG_ENABLE_INSTALL=ON
  ninja -C "$b" -j "$jobs"
  ninja -C "$b" install
}

# shaderc's two libraries, built against the glslang and SPIRV-Tools above as Debian builds it
# against its own packages (its patches take the bundled third_party out and name the static
# library shaderc_static), without glslc, tests or examples. The pkg-config file mpv and
# libplacebo find is our own: a static link names every library beneath.
stage_shaderc() {
  local b=$obj/shaderc version
  local libs="-lshaderc_static -lshaderc_util -lglslang -lSPIRV-Tools-opt -lSPIRV-Tools -lstdc++"
  config_cmake
  rm -rf "$b"
  cmake -S "$srcspv/shaderc" -B "$b" "${cmake_040[@]}" \
    -DCMAKE_CXX_FLAGS="-pipe -I$prefix40/include" -Dglslang_SOURCE_DIR="$prefix40/include/glslang" \
    -DSPIRV-Headers_SOURCE_DIR="$srcspv/spirv-headers" -DSHADERC_SKIP_TESTS=ON \
    -DSHADERC_SKIP_EXAMPLES=ON -DSHADERC_SKIP_COPYRIGHT_CHECK=ON -DSHADERC_SKIP_INSTALL=ON \
    -DSHADERC_ENABLE_WERROR_COMPILE=OFF
  ninja -C "$b" -j "$jobs" shaderc_static shaderc_util
  mkdir -p "$prefix40/include/shaderc" "$prefix40/lib/pkgconfig"
  cp "$b/libshaderc/libshaderc_static.a" "$b/libshaderc_util/libshaderc_util.a" "$prefix40/lib/"
  cp "$srcspv/shaderc/libshaderc/include/shaderc/"*.h* "$prefix40/include/shaderc/"
  version=$(dpkg-parsechangelog -l "$srcspv/shaderc/debian/changelog" -S Version)
  cat >"$prefix40/lib/pkgconfig/shaderc.pc" <<EOF
prefix=$prefix40
Name: shaderc
Description: GLSL to SPIR-V compiler library, static, with glslang and SPIRV-Tools
Version: ${version%-*}
Libs: -L\${prefix}/lib $libs
Cflags: -I\${prefix}/include
EOF
}

# SPIRV-Cross, SPIR-V to HLSL, with its C API, which mpv and libplacebo call; of its outputs only
# GLSL (HLSL builds on it) and HLSL. Both look for the C API as the shared library's
# spirv-cross-c-shared; ours names the static libraries.
stage_spvcross() {
  local b=$obj/spvcross version
  local libs="-lspirv-cross-c -lspirv-cross-hlsl -lspirv-cross-glsl -lspirv-cross-core -lstdc++"
  config_cmake
  rm -rf "$b"
  cmake -S "$srcspv/spirv-cross" -B "$b" "${cmake_040[@]}" -DSPIRV_CROSS_CLI=OFF \
    -DSPIRV_CROSS_ENABLE_TESTS=OFF -DSPIRV_CROSS_SHARED=OFF -DSPIRV_CROSS_STATIC=ON \
    -DSPIRV_CROSS_ENABLE_C_API=ON -DSPIRV_CROSS_ENABLE_GLSL=ON -DSPIRV_CROSS_ENABLE_HLSL=ON \
    -DSPIRV_CROSS_ENABLE_MSL=OFF -DSPIRV_CROSS_ENABLE_CPP=OFF -DSPIRV_CROSS_ENABLE_REFLECT=OFF \
    -DSPIRV_CROSS_ENABLE_UTIL=OFF
  ninja -C "$b" -j "$jobs"
  ninja -C "$b" install
  version=$(sed -n 's/^set(spirv-cross-abi-\(major\|minor\|patch\) \([0-9]*\))/\2/p' \
    "$srcspv/spirv-cross/CMakeLists.txt" | paste -sd.)
  mkdir -p "$prefix40/lib/pkgconfig"
  cat >"$prefix40/lib/pkgconfig/spirv-cross-c-shared.pc" <<EOF
prefix=$prefix40
Name: spirv-cross-c-shared
Description: SPIRV-Cross C API, static, with its GLSL and HLSL outputs
Version: $version
Libs: -L\${prefix}/lib $libs
Cflags: -I\${prefix}/include/spirv_cross
EOF
}

# The same cut-down FFmpeg as stage_ffmpeg, for mpv 0.40, which needs 6.1 or later. Only the
# libraries: the test media come from 5.1's ffmpeg.exe. FFmpeg 7.1's configure insists on a C11
# compiler for the build machine, which a fresh machine lacks, though with these components it
# builds no program to run there (hardcoded tables would); the cross compiler passes the check.
stage_ffmpeg71() {
  local b=$obj/ffmpeg71
  rm -rf "$b" && mkdir -p "$b"
  cd "$b"
  export PKG_CONFIG_LIBDIR=$prefix40/lib/pkgconfig
  "$src40/ffmpeg/configure" --prefix="$prefix40" \
    --target-os=mingw32 --arch=x86_64 --enable-cross-compile --cross-prefix=$host- \
    --cc="$cc" --host-cc="$cc" --pkg-config=pkg-config --pkg-config-flags=--static \
    --disable-shared --enable-static --disable-doc --disable-debug --disable-network \
    --disable-autodetect --disable-w32threads --enable-pthreads --x86asmexe=yasm \
    --optflags=-O2 --extra-cflags=-DWIN32_LEAN_AND_MEAN --extra-ldflags=-static \
    --disable-everything --disable-programs --disable-postproc \
    --enable-protocol=file,pipe \
    --enable-demuxer=matroska,mov,avi,wav,mp3,ogg,flac,aac,ass,srt,webvtt \
    --enable-decoder=h264,mpeg4,vp9,aac,mp3float,flac,vorbis,opus,rawvideo \
    --enable-decoder=pcm_s16le,pcm_s24le,pcm_s32le,pcm_f32le,pcm_u8 \
    --enable-decoder=ass,ssa,subrip,srt,webvtt,mov_text \
    --enable-parser=h264,mpeg4video,vp9,aac,mpegaudio,flac,vorbis,opus \
    --enable-encoder=mpeg4,pcm_s16le,wrapped_avframe \
    --enable-muxer=avi,matroska,mp4,mov,wav,null \
    --enable-indev=lavfi \
    --enable-filter=buffer,abuffer,buffersink,abuffersink,format,aformat,null,anull \
    --enable-filter=scale,aresample,trim,atrim,rotate,hflip,vflip,transpose \
    --enable-filter=testsrc,testsrc2,color,sine,anullsrc
  make -j "$jobs"
  make install
}

# mpv 0.40 renders gpu-next through libplacebo, here with its Direct3D 11 and OpenGL renderers
# (shaderc compiles its shaders for Direct3D 11, SPIRV-Cross translates them); not Vulkan, which
# mpv's own build leaves out too. The Vulkan headers go where libplacebo looks for its own copy.
stage_placebo() {
  local b=$obj/placebo
  config_040
  rm -rf "$b" "$src40/libplacebo/3rdparty/Vulkan-Headers"
  ln -s "$src40/vulkan-loader/vulkan-headers" "$src40/libplacebo/3rdparty/Vulkan-Headers"
  "${meson040[@]}" setup "$b" "$src40/libplacebo" "${meson_040[@]}" -Dauto_features=disabled \
    -Dopengl=enabled -Dgl-proc-addr=enabled -Dd3d11=enabled -Dshaderc=enabled -Ddovi=enabled \
    -Ddemos=false -Dtests=false
  ninja -C "$b" -j "$jobs"
  "${meson040[@]}" install -C "$b" --no-rebuild
  # A few of its files are C++; a static link has to name the C++ runtime itself.
  sed -i 's/^Libs: .*/& -lstdc++/' "$prefix40/lib/pkgconfig/libplacebo.pc"
}

# As stage_mpv, plus libplacebo, which mpv 0.40 requires, Direct3D 11 (first in mpv's own
# choice of output on Windows, so what users run) with shaderc and SPIRV-Cross, and mpv's own
# Windows threads, its default on Windows now, instead of winpthreads. Bookworm's mingw-w64
# headers lack CREATE_WAITABLE_TIMER_HIGH_RESOLUTION; mpv retries without the flag where Windows
# lacks it. Where they are too old for Direct3D 11, dx_include names newer ones
# (fix_mpv040_dx_headers).
stage_mpv040() {
  local b=$obj/mpv040
  config_040
  rm -rf "$b"
  # libass's headers lie in bookworm's include directory beside FFmpeg 5.1's, and mpv lists
  # libass before FFmpeg, so its -I would come first and mpv would compile against 5.1. Here
  # libass names a directory of its own, holding only its headers.
  mkdir -p "$prefix40/include" "$prefix40/lib/pkgconfig"
  ln -sfn "$prefix/include/ass" "$prefix40/include/ass"
  sed "s|^Cflags:.*|Cflags: -I$prefix40/include|" "$prefix/lib/pkgconfig/libass.pc" \
    >"$prefix40/lib/pkgconfig/libass.pc"
  "${meson040[@]}" setup "$b" "$src40/mpv" "${meson_040[@]}" -Dauto_features=disabled \
    -Dprefer_static=true \
    -Dc_args="-DCREATE_WAITABLE_TIMER_HIGH_RESOLUTION=0x2${dx_include:+ -I$dx_include}" \
    -Dc_link_args="-static -static-libgcc" \
    -Dlibmpv=false -Dcplayer=true -Dlua=lua5.2 -Djavascript=disabled \
    -Dgl=enabled -Dgl-win32=enabled -Ddirect3d=enabled -Dwasapi=enabled \
    -Dd3d11=enabled -Dshaderc=enabled -Dspirv-cross=enabled \
    -Dvector=enabled -Dwin32-threads=enabled \
    -Dlibavdevice=disabled -Dzlib=disabled -Diconv=disabled -Dmanpage-build=disabled
  if grep -q -- "-I$prefix/include[ \"]" "$b/compile_commands.json"; then
    echo "FFmpeg 5.1's include directory, $prefix/include, is on mpv 0.40's include path"
    exit 1
  fi
  ninja -C "$b" -j "$jobs"
  mkdir -p "$out40"
  "$host-strip" -o "$out40/mpv.exe" "$b/mpv.exe"
}

# A lane runs its stages beside the ones that follow it, in a process group of its own, so that
# a failure or an interrupt stops all of it. A lane with nothing to do runs in place, so that a
# second run prints its lines in order.
# start_lane VAR "STAGE DEPS..."...: starts one, its process id in VAR; wait_lane VAR: waits.
lane_pids=()
run_lane() {
  local entry
  for entry in "$@"; do run_stage $entry; done
}
start_lane() {
  local var=$1 entry
  shift
  printf -v "$var" '%s' ""
  for entry in "$@"; do
    if ! stage_current $entry; then
      set -m
      run_lane "$@" &
      printf -v "$var" '%s' "$!"
      set +m
      lane_pids+=("$!")
      trap 'for pid in "${lane_pids[@]}"; do kill -- -"$pid" 2>/dev/null || true; done' EXIT
      trap 'exit 130' INT TERM
      return
    fi
  done
  run_lane "$@"
}
wait_lane() {
  local pid=${!1} p rest=()
  [ -n "$pid" ] || return 0
  wait "$pid"
  for p in "${lane_pids[@]}"; do [ "$p" = "$pid" ] || rest+=("$p"); done
  lane_pids=("${rest[@]}")
}

run_stage tools
if ksmedia_needs_mmreg; then stage_fixes[mpv]=fix_mpv_mmreg; fi
if dx_headers_too_old; then stage_fixes[mpv040]=fix_mpv040_dx_headers; fi
# Sources need the tools installed, not rebuilt when the list of tools changes.
run_stage sources
run_stage trixie
run_stage spvsrc sources trixie
# ffmpeg needs none of the other libraries, and its configure is one long serial shell run: it
# builds beside them rather than before them. So do 0.40's FFmpeg and the shader compilers, each
# built on the one before, with SPIRV-Cross, built on none, after FFmpeg 7.1. The shader
# compilers are the longest chain and mpv 0.40 waits for them, so the two FFmpeg lanes yield to
# them (a lane's later stages inherit its niceness): the machine is busy until the end either way.
start_lane ffmpeg_lane "ffmpeg sources"
start_lane lane_040 "ffmpeg71 trixie" "spvcross spvsrc"
for lane in "$ffmpeg_lane" "$lane_040"; do
  [ -z "$lane" ] || renice -n 10 -g "$lane" >/dev/null
done
start_lane lane_spv "spvhdrs spvsrc" "spvtools spvhdrs" "glslang spvtools" \
  "shaderc spvhdrs spvtools glslang"
run_stage lua sources
run_stage fribidi sources
run_stage freetype sources
run_stage harfbuzz sources
run_stage libass freetype fribidi harfbuzz
wait_lane ffmpeg_lane
run_stage mpv lua libass ffmpeg
wait_lane lane_spv
wait_lane lane_040
run_stage placebo trixie shaderc spvcross
run_stage mpv040 trixie lua libass ffmpeg71 placebo shaderc spvcross
echo "mpv.exe: $out/mpv.exe"
echo "mpv.exe 0.40: $out40/mpv.exe"

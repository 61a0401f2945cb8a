# What every stage shares; its text is part of every stamp. Sourced by scripts/build-mpv.sh, which
# sets tp (BUILD_DIR/third_party) and, for the stage, sources and needs (from its recipe).
host=x86_64-w64-mingw32
# The posix flavour, whose winpthreads (linked statically) C++ threads and mpv expect.
cc=$host-gcc-posix
cxx=$host-g++-posix
cflags="-O2 -pipe"
jobs=$(nproc)
# Bookworm's libraries, for mpv 0.35.1; its Lua and libass serve mpv 0.40 too.
prefix=$tp/prefix
# Trixie's (FFmpeg 7.1, libplacebo, the shader compilers), for mpv 0.40: a prefix of their own, so
# that neither mpv can link the other's FFmpeg.
prefix40=$tp/prefix-0.40
# pkg-config must see only what we built: a library of the build machine would be the wrong ABI.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR

# srcof PACKAGE: where the stage's sources of PACKAGE (one of its sources=) are unpacked.
srcof() {
  local entry
  for entry in "${sources[@]}"; do
    if [ "${entry#*/}" = "$1" ]; then
      echo "$tp/src/$entry"
      return
    fi
  done
  echo "srcof: $1 is not among this recipe's sources (${sources[*]})" >&2
  return 1
}

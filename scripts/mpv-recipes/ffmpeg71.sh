# FFmpeg 7.1 for mpv 0.40, which needs 6.1 or later; the libraries only, as the test media come
# from 5.1's ffmpeg.exe. Its configure insists on a C11 compiler for the build machine, which a
# fresh machine lacks, though with these components it builds no program to run there (hardcoded
# tables would); the cross compiler passes the check.
sources=(trixie/ffmpeg)
use ffmpeg

build() {
  export PKG_CONFIG_LIBDIR=$prefix40/lib/pkgconfig
  ffmpeg_build "$prefix40" --host-cc="$cc"
}

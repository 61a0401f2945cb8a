# mpv 0.40.0 into BUILD_DIR/third_party/mpv-0.40: as mpv 0.35.1, plus libplacebo, which it
# requires, Direct3D 11 (first in mpv's own choice of output on Windows, so what users run) with
# shaderc and SPIRV-Cross, and mpv's own Windows threads, its default on Windows now, instead of
# winpthreads. Bookworm's mingw-w64 headers lack CREATE_WAITABLE_TIMER_HIGH_RESOLUTION; mpv retries
# without the flag where Windows lacks it. Where they are too old for Direct3D 11, dx_include names
# newer ones (fix dx-headers).
sources=(trixie/mpv)
needs=(meson lua libass ffmpeg71 placebo shaderc spvcross)
fixes=(dx-headers)
use meson040

build() {
  write_cross_files_040
  rm -rf "$builddir"
  # libass's headers lie in bookworm's include directory beside FFmpeg 5.1's, and mpv lists libass
  # before FFmpeg, so its -I would come first and mpv would compile against 5.1. Here libass names
  # a directory of its own, holding only its headers.
  mkdir -p "$prefix40/include" "$prefix40/lib/pkgconfig"
  ln -sfn "$prefix/include/ass" "$prefix40/include/ass"
  sed "s|^Cflags:.*|Cflags: -I$prefix40/include|" "$prefix/lib/pkgconfig/libass.pc" \
    >"$prefix40/lib/pkgconfig/libass.pc"
  "${meson040[@]}" setup "$builddir" "$srcdir" "${meson040_options[@]}" \
    -Dauto_features=disabled -Dprefer_static=true \
    -Dc_args="-DCREATE_WAITABLE_TIMER_HIGH_RESOLUTION=0x2${dx_include:+ -I$dx_include}" \
    -Dc_link_args="-static -static-libgcc" \
    -Dlibmpv=false -Dcplayer=true -Dlua=lua5.2 -Djavascript=disabled \
    -Dgl=enabled -Dgl-win32=enabled -Ddirect3d=enabled -Dwasapi=enabled \
    -Dd3d11=enabled -Dshaderc=enabled -Dspirv-cross=enabled \
    -Dvector=enabled -Dwin32-threads=enabled \
    -Dlibavdevice=disabled -Dzlib=disabled -Diconv=disabled -Dmanpage-build=disabled
  if grep -q -- "-I$prefix/include[ \"]" "$builddir/compile_commands.json"; then
    echo "FFmpeg 5.1's include directory, $prefix/include, is on mpv 0.40's include path"
    exit 1
  fi
  ninja -C "$builddir" -j "$jobs"
  mkdir -p "$tp/mpv-0.40"
  "$host-strip" -o "$tp/mpv-0.40/mpv.exe" "$builddir/mpv.exe"
}

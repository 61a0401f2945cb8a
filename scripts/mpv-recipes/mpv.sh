# mpv 0.35.1, the oldest mpv the plug-in is tested with, into BUILD_DIR/third_party/mpv. d3d11 would
# need shaderc and SPIRV-Cross; gpu (OpenGL) and direct3d cover Windows without them.
sources=(bookworm/mpv)
needs=(lua libass ffmpeg)
fixes=(mmreg)
use meson

build() {
  write_cross_file
  rm -rf "$builddir"
  meson setup "$builddir" "$srcdir" --cross-file "$tp/cross.meson" --prefix "$prefix" \
    "${meson_options[@]}" -Dauto_features=disabled -Dprefer_static=true \
    -Dc_link_args="-static -static-libgcc" \
    -Dlibmpv=false -Dcplayer=true -Dlua=lua5.2 -Djavascript=disabled \
    -Dgl=enabled -Dgl-win32=enabled -Ddirect3d=enabled -Dwasapi=enabled \
    -Dstdatomic=enabled -Dvector=enabled -Dwin32-internal-pthreads=disabled \
    -Dlibavdevice=disabled -Dzlib=disabled -Diconv=disabled -Dmanpage-build=disabled
  ninja -C "$builddir" -j "$jobs"
  mkdir -p "$tp/mpv"
  "$host-strip" -o "$tp/mpv/mpv.exe" "$builddir/mpv.exe"
}

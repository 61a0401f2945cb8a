# libplacebo, through which mpv 0.40 renders gpu-next, here with its Direct3D 11 and OpenGL
# renderers (shaderc compiles its shaders for Direct3D 11, SPIRV-Cross translates them); not
# Vulkan, which mpv's own build leaves out too. vulkan-loader's source carries the Vulkan headers
# libplacebo compiles against even without Vulkan; they go where libplacebo looks for its own copy.
sources=(trixie/libplacebo trixie/vulkan-loader)
needs=(meson shaderc spvcross)
use meson040

build() {
  write_cross_files_040
  rm -rf "$builddir" "$srcdir/3rdparty/Vulkan-Headers"
  ln -s "$(srcof vulkan-loader)/vulkan-headers" "$srcdir/3rdparty/Vulkan-Headers"
  "${meson040[@]}" setup "$builddir" "$srcdir" "${meson040_options[@]}" -Dauto_features=disabled \
    -Dopengl=enabled -Dgl-proc-addr=enabled -Dd3d11=enabled -Dshaderc=enabled -Ddovi=enabled \
    -Ddemos=false -Dtests=false
  ninja -C "$builddir" -j "$jobs"
  "${meson040[@]}" install -C "$builddir" --no-rebuild
  # A few of its files are C++; a static link has to name the C++ runtime itself.
  sed -i 's/^Libs: .*/& -lstdc++/' "$prefix40/lib/pkgconfig/libplacebo.pc"
}

# glslang, GLSL to SPIR-V, with its HLSL front end: shaderc calls into it (setHlslIoMapping) and
# its headers lay out types differently without it. Debian's patches have it find SPIRV-Tools
# through pkg-config, and use it (the optimizer, the validator) when found; its headers are then
# taken to be where the system's are, so their directory is named here.
sources=(trixie/glslang)
needs=(spvtools)
use cmake

build() {
  write_toolchain_file
  export PKG_CONFIG_LIBDIR=$prefix40/lib/pkgconfig
  rm -rf "$builddir"
  cmake -S "$srcdir" -B "$builddir" "${cmake_options[@]}" \
    -DCMAKE_CXX_FLAGS="-pipe -I$prefix40/include" -DBUILD_EXTERNAL=OFF \
    -DENABLE_GLSLANG_BINARIES=OFF -DENABLE_SPVREMAPPER=OFF -DGLSLANG_TESTS=OFF \
    -DGLSLANG_ENABLE_INSTALL=ON
  ninja -C "$builddir" -j "$jobs"
  ninja -C "$builddir" install
}

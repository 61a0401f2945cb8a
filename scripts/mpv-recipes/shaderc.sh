# shaderc's two libraries, built against the glslang and SPIRV-Tools here as Debian builds it
# against its own packages (its patches take the bundled third_party out and name the static
# library shaderc_static), without glslc, tests or examples. The pkg-config file mpv and
# libplacebo find is our own: a static link names every library beneath.
sources=(trixie/shaderc trixie/spirv-headers)
needs=(spvhdrs spvtools glslang)
use cmake
use pc

build() {
  local version
  write_toolchain_file
  rm -rf "$builddir"
  cmake -S "$srcdir" -B "$builddir" "${cmake_options[@]}" \
    -DCMAKE_CXX_FLAGS="-pipe -I$prefix40/include" -Dglslang_SOURCE_DIR="$prefix40/include/glslang" \
    -DSPIRV-Headers_SOURCE_DIR="$(srcof spirv-headers)" -DSHADERC_SKIP_TESTS=ON \
    -DSHADERC_SKIP_EXAMPLES=ON -DSHADERC_SKIP_COPYRIGHT_CHECK=ON -DSHADERC_SKIP_INSTALL=ON \
    -DSHADERC_ENABLE_WERROR_COMPILE=OFF
  ninja -C "$builddir" -j "$jobs" shaderc_static shaderc_util
  mkdir -p "$prefix40/include/shaderc"
  cp "$builddir/libshaderc/libshaderc_static.a" "$builddir/libshaderc_util/libshaderc_util.a" \
    "$prefix40/lib/"
  cp "$srcdir/libshaderc/include/shaderc/"*.h* "$prefix40/include/shaderc/"
  version=$(dpkg-parsechangelog -l "$srcdir/debian/changelog" -S Version)
  write_pc "$prefix40" shaderc shaderc \
    "GLSL to SPIR-V compiler library, static, with glslang and SPIRV-Tools" "${version%-*}" \
    "-lshaderc_static -lshaderc_util -lglslang -lSPIRV-Tools-opt -lSPIRV-Tools -lstdc++" \
    '-I${prefix}/include'
}

# SPIRV-Cross, SPIR-V to HLSL, with its C API, which mpv and libplacebo call; of its outputs only
# GLSL (HLSL builds on it) and HLSL. Bookworm's: the mirror serves none of trixie's files for it
# (the C API 0.54 of SDK 1.3.239; libplacebo asks for 0.29 or later, mpv for any). Both look for
# the C API as the shared library's spirv-cross-c-shared; ours names the static libraries.
sources=(bookworm/spirv-cross)
use cmake
use pc

build() {
  local version
  write_toolchain_file
  rm -rf "$builddir"
  cmake -S "$srcdir" -B "$builddir" "${cmake_options[@]}" -DSPIRV_CROSS_CLI=OFF \
    -DSPIRV_CROSS_ENABLE_TESTS=OFF -DSPIRV_CROSS_SHARED=OFF -DSPIRV_CROSS_STATIC=ON \
    -DSPIRV_CROSS_ENABLE_C_API=ON -DSPIRV_CROSS_ENABLE_GLSL=ON -DSPIRV_CROSS_ENABLE_HLSL=ON \
    -DSPIRV_CROSS_ENABLE_MSL=OFF -DSPIRV_CROSS_ENABLE_CPP=OFF -DSPIRV_CROSS_ENABLE_REFLECT=OFF \
    -DSPIRV_CROSS_ENABLE_UTIL=OFF
  ninja -C "$builddir" -j "$jobs"
  ninja -C "$builddir" install
  version=$(sed -n 's/^set(spirv-cross-abi-\(major\|minor\|patch\) \([0-9]*\))/\2/p' \
    "$srcdir/CMakeLists.txt" | paste -sd.)
  write_pc "$prefix40" spirv-cross-c-shared spirv-cross-c-shared \
    "SPIRV-Cross C API, static, with its GLSL and HLSL outputs" "$version" \
    "-lspirv-cross-c -lspirv-cross-hlsl -lspirv-cross-glsl -lspirv-cross-core -lstdc++" \
    '-I${prefix}/include/spirv_cross'
}

# SPIRV-Tools: the core library (validator, disassembler) and the optimizer, which shaderc and
# glslang run; not the reducer, linker, linter, differ, tools or tests, which nothing here links,
# so only those two targets and the pkg-config file glslang looks for are built, and installed by
# hand (its install step wants them all).
sources=(trixie/spirv-tools trixie/spirv-headers)
needs=(spvhdrs)
use cmake

build() {
  write_toolchain_file
  rm -rf "$builddir"
  cmake -S "$srcdir" -B "$builddir" "${cmake_options[@]}" \
    -DSPIRV-Headers_SOURCE_DIR="$(srcof spirv-headers)" -DSPIRV_SKIP_EXECUTABLES=ON \
    -DSPIRV_SKIP_TESTS=ON -DSPIRV_WERROR=OFF -DSPIRV_TOOLS_BUILD_STATIC=ON
  ninja -C "$builddir" -j "$jobs" SPIRV-Tools-static SPIRV-Tools-opt spirv-tools-pkg-config
  mkdir -p "$prefix40/lib/pkgconfig" "$prefix40/include/spirv-tools"
  cp "$builddir/source/libSPIRV-Tools.a" "$builddir/source/opt/libSPIRV-Tools-opt.a" \
    "$prefix40/lib/"
  cp "$builddir/SPIRV-Tools.pc" "$prefix40/lib/pkgconfig/"
  cp "$srcdir/include/spirv-tools/"*.h* "$prefix40/include/spirv-tools/"
}

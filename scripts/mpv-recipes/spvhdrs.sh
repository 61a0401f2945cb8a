# SPIR-V's own headers, for the shader compilers mpv 0.40's Direct3D 11 outputs need: gpu compiles
# its GLSL to SPIR-V with shaderc (on glslang and SPIRV-Tools, on SPIRV-Headers) and translates
# that to HLSL with SPIRV-Cross; libplacebo's backend, which gpu-next takes, does the same.
# Trixie's versions, as its own mpv and libplacebo are built against, except SPIRV-Cross (recipe
# spvcross). The grammar SPIRV-Tools generates its tables from stays in the source.
sources=(trixie/spirv-headers)

build() {
  mkdir -p "$prefix40/include"
  rm -rf "$prefix40/include/spirv"
  cp -r "$srcdir/include/spirv" "$prefix40/include/"
}

# FreeType, for libass. Its own builds compile every driver; libass needs the ones for TrueType and
# OpenType fonts, built the way docs/INSTALL.ANY describes: one file per module, our own module
# list.
sources=(bookworm/freetype)
use cc
use pc

build() {
  local version
  rm -rf "$builddir" && mkdir -p "$builddir/include/freetype/config" "$prefix/include/freetype2"
  cd "$srcdir"
  cat >"$builddir/include/freetype/config/ftmodule.h" <<'EOC'
FT_USE_MODULE( FT_Module_Class, autofit_module_class )
FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )
FT_USE_MODULE( FT_Driver_ClassRec, cff_driver_class )
FT_USE_MODULE( FT_Module_Class, psaux_module_class )
FT_USE_MODULE( FT_Module_Class, psnames_module_class )
FT_USE_MODULE( FT_Module_Class, pshinter_module_class )
FT_USE_MODULE( FT_Module_Class, sfnt_module_class )
FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )
EOC
  printf '%s\n' builds/windows/ftsystem.c builds/windows/ftdebug.c \
      src/base/{ftinit,ftbase,ftbbox,ftbitmap,ftglyph,ftmm,ftsynth,fttype1}.c \
      src/{sfnt/sfnt,truetype/truetype,cff/cff,psaux/psaux,pshinter/pshinter}.c \
      src/{psnames/psnames,smooth/smooth,autofit/autofit,gzip/ftgzip}.c |
    compile_each "$builddir" "$cc" -DFT2_BUILD_LIBRARY -I"$builddir/include" -Iinclude
  archive "$prefix/lib/libfreetype.a" "$builddir"/*.o
  cp -r include/ft2build.h include/freetype "$prefix/include/freetype2/"
  # The pkg-config version is libtool's, which is what libass asks for.
  version=$(sed -n "s/^version_info='\([0-9]*\):\([0-9]*\):\([0-9]*\)'/\1.\2.\3/p" \
    builds/unix/configure.raw)
  write_pc "$prefix" freetype2 "FreeType 2" "A free, high-quality, and portable font engine, static" \
    "$version" -lfreetype '-I${prefix}/include/freetype2'
}

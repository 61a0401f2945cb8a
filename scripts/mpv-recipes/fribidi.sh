# GNU FriBidi, for libass. Its meson build runs table generators natively, which would need a
# native compiler; the tarball ships their output, and the library is a dozen C files.
sources=(bookworm/fribidi)
use cc
use pc

build() {
  local inc=$prefix/include/fribidi major minor micro interface
  rm -rf "$builddir" && mkdir -p "$builddir" "$inc"
  cd "$srcdir/lib"
  m4_value() { sed -n "s/^m4_define(fribidi_$1, \([0-9]*\)).*/\1/p" ../configure.ac; }
  major=$(m4_value major_version) minor=$(m4_value minor_version)
  micro=$(m4_value micro_version) interface=$(m4_value interface_version)
  sed -e "s/@PACKAGE@/fribidi/; s/@PACKAGE_NAME@/GNU FriBidi/; s/@PACKAGE_BUGREPORT@//" \
      -e "s/@FRIBIDI_VERSION@/$major.$minor.$micro/; s/@FRIBIDI_MAJOR_VERSION@/$major/" \
      -e "s/@FRIBIDI_MINOR_VERSION@/$minor/; s/@FRIBIDI_MICRO_VERSION@/$micro/" \
      -e "s/@FRIBIDI_INTERFACE_VERSION@/$interface/g; s/@SIZEOF_INT@/4/" \
      -e "s/@FRIBIDI_MSVC_BUILD_PLACEHOLDER@//; s/@configure_input@//" \
      fribidi-config.h.in >"$builddir/fribidi-config.h"
  ls *.c | compile_each "$builddir" "$cc" -I"$builddir" -I. -DHAVE_STDLIB_H=1 -DHAVE_STRING_H=1 \
    -DHAVE_STRINGS_H=1 -DSTDC_HEADERS=1 -DHAVE_STRINGIZE=1
  archive "$prefix/lib/libfribidi.a" "$builddir"/*.o
  cp fribidi*.h "$builddir/fribidi-config.h" "$inc/"
  write_pc "$prefix" fribidi "GNU FriBidi" "Unicode Bidirectional Algorithm Library, static" \
    "$major.$minor.$micro" -lfribidi '-I${prefix}/include/fribidi'
}

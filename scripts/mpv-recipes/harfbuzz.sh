# HarfBuzz, for libass. Its meson build always compiles its subsetter too; libass needs the library
# only, which upstream also builds from src/harfbuzz.cc, a file that includes all the others. It
# is split in one part per core: every part compiles on its own, as the files do in the meson
# build. libass shapes without hb-ft, so no FreeType here.
sources=(bookworm/harfbuzz)
use cc
use pc

build() {
  local version i
  rm -rf "$builddir" && mkdir -p "$builddir" "$prefix/include/harfbuzz"
  cd "$srcdir/src"
  version=$(sed -n 's/^#define HB_VERSION_STRING "\(.*\)"/\1/p' hb-version.h)
  for ((i = 0; i < jobs; i++)); do
    awk -v n="$jobs" -v i="$i" '(NR - 1) % n == i' harfbuzz.cc >"$builddir/part$i.cc"
  done
  ls "$builddir"/part*.cc | compile_each "$builddir" "$cxx" -fno-exceptions -fno-rtti \
    -fno-threadsafe-statics -fvisibility-inlines-hidden -I.
  archive "$prefix/lib/libharfbuzz.a" "$builddir"/part*.o
  cp hb.h hb-*.h "$prefix/include/harfbuzz/"
  write_pc "$prefix" harfbuzz harfbuzz "HarfBuzz text shaping library, static" "$version" \
    -lharfbuzz '-I${prefix}/include/harfbuzz'
}

# libass, mpv's subtitle renderer, with DirectWrite for the system's fonts instead of fontconfig.
sources=(bookworm/libass)
needs=(freetype fribidi harfbuzz)

build() {
  rm -rf "$builddir" && mkdir -p "$builddir"
  cd "$builddir"
  "$srcdir/configure" --host=$host --prefix="$prefix" --disable-shared --enable-static \
    --disable-fontconfig --disable-libunibreak --enable-directwrite --enable-asm \
    CC="$cc" CFLAGS="$cflags" AS=nasm
  make -j "$jobs"
  make install
}

# Trixie's meson, for the meson builds of mpv 0.40 and its libraries (lib/meson040.sh): they need
# 1.3 or later, bookworm has 1.0. Its source package is not served, its binary package is: pure
# Python, it runs from where dpkg-deb unpacks it.
needs=(apt-trixie)

build() {
  rm -rf "$tp/meson-trixie" "$builddir" && mkdir -p "$builddir"
  cd "$builddir"
  APT_CONFIG=$tp/apt-trixie/apt.conf apt-get download meson
  dpkg-deb -x meson_*_all.deb "$tp/meson-trixie"
}

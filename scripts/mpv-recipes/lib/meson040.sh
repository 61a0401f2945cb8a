# What the meson builds of mpv 0.40's libraries and mpv 0.40 share. pkg-config looks in 0.40's
# prefix first, where FFmpeg, libplacebo and libass's entry are, then in bookworm's for Lua and the
# libraries libass links. mpv 0.40 needs meson 1.3 or later, bookworm has 1.0: trixie's meson
# (recipe meson) runs with the system's python3, the one python3-glad is installed for (a python3
# earlier in PATH may lack it), and runs its helpers (install, custom commands) through it again,
# from ninja too, so its PYTHONPATH is exported for the whole stage.
use meson

export PKG_CONFIG_LIBDIR=$prefix40/lib/pkgconfig:$prefix/lib/pkgconfig
export PYTHONPATH=$tp/meson-trixie/usr/lib/python3/dist-packages
meson040=(/usr/bin/python3 "$tp/meson-trixie/usr/bin/meson")
meson040_options=(--cross-file "$tp/cross.meson" --cross-file "$tp/cross-0.40.meson"
                  --prefix "$prefix40" "${meson_options[@]}")

# A second cross file overrides the first where they overlap. libplacebo's build wants a dlltool
# (for an import library of UCRT's math functions, which a static library never links) and would
# otherwise take whichever the build machine has, if any.
write_cross_files_040() {
  write_cross_file
  cat >"$tp/cross-0.40.meson" <<EOC
[binaries]
dlltool = '$host-dlltool'

[properties]
pkg_config_libdir = ['$prefix40/lib/pkgconfig', '$prefix/lib/pkgconfig']
EOC
}

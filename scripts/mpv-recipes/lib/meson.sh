# The cross file every meson build here starts from, and the options they share: static
# libraries, -O2 as everywhere else, no subproject downloads.
write_cross_file() {
  cat >"$tp/cross.meson" <<EOC
[binaries]
c = '$cc'
cpp = '$cxx'
ar = '$host-ar'
strip = '$host-strip'
windres = '$host-windres'
pkgconfig = 'pkg-config'

[properties]
pkg_config_libdir = '$prefix/lib/pkgconfig'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOC
}

meson_options=(--libdir lib -Doptimization=2 -Ddebug=false --default-library static
               --wrap-mode nofallback)

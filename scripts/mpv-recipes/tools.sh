# The build machine's tools, installed where missing. meson is bookworm's 1.0 for the 0.35.1 build
# (0.40's is trixie's, recipe meson). libplacebo generates its OpenGL loader with glad and its
# shaders' C code with jinja2; bookworm has both (Debian's own libplacebo build uses them too),
# trixie's libplacebo source lacks them. The shader compilers build with CMake (the one the project
# itself builds with).

# A command, or for the Python modules libplacebo's build imports, a path.
tool_probes=(meson ninja cmake nasm yasm pkg-config dpkg-source patch xz bzip2 make python3
             "$cc" "$cxx" "$host-windres" "$host-ar" "$host-dlltool"
             /usr/lib/python3/dist-packages/glad /usr/lib/python3/dist-packages/jinja2)
tool_packages=(meson ninja-build cmake nasm yasm pkg-config dpkg-dev patch xz-utils bzip2 make
               python3 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
               binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev python3-glad python3-jinja2)

missing_tools() {
  local p
  for p in "${tool_probes[@]}"; do
    if [[ $p == /* ]]; then
      [ -e "$p" ] || echo "$p"
    else
      command -v "$p" >/dev/null || echo "$p"
    fi
  done
}

# Packages can go away under a kept build dir; the probes cost nothing.
present() { [ -z "$(missing_tools)" ]; }

build() {
  local missing
  missing=$(missing_tools)
  [ -n "$missing" ] || return 0
  echo "missing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  # Another apt (the project's make installing Wine, say) may hold the lock for a while.
  apt-get -o DPkg::Lock::Timeout=600 update
  apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${tool_packages[@]}"
}

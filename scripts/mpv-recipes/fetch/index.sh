# Stage apt-RELEASE: RELEASE's package indexes, in a private apt configuration of their own,
# BUILD_DIR/third_party/apt-RELEASE (lib/apt.sh), which fetches every source package of that
# release and the binary packages a recipe downloads.
use apt

build() {
  local apt=$tp/apt-$release
  rm -rf "$apt"
  write_apt_config "$apt" "$release"
  APT_CONFIG=$apt/apt.conf apt-get update
}

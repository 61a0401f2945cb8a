# Stage src-RELEASE-PACKAGE: the Debian source package PACKAGE of RELEASE, fetched with apt-get
# source and unpacked with Debian's patches into BUILD_DIR/third_party/src/RELEASE/PACKAGE.
use apt
needs=("apt-$release")

build() {
  mkdir -p "$tp/src/$release"
  cd "$tp/src/$release"
  rm -rf "$package" "${package}"_*
  # apt-get exits with an error when the mirror lacks one of the package's files, keeping those it
  # fetched; unpack_source says what is missing.
  APT_CONFIG=$tp/apt-$release/apt.conf apt-get source --download-only "$package" || true
  unpack_source "$package"
}

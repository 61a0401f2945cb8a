# A private apt configuration per Debian release, and unpacking what it fetched.
. "$scripts/debian-mirror.sh"

# write_apt_config DIR SUITE: a private apt configuration in DIR for SUITE's main component,
# source and binary packages, on the Debian mirror the machine's own apt uses (only this text is
# in the stamps, so another mirror rebuilds nothing). Its sources list, lists, cache and state all
# live in DIR, so the machine's sources and package lists stay as they were. The machine's
# apt.conf.d is left out too (its hooks clean the system cache after an update), but a proxy it
# names is kept. A mirror that is a dated copy serves testing's and unstable's indexes past their
# Valid-Until; apt still checks their signatures (the machine's Debian keyring) and every file
# against them, so their age is not checked.
write_apt_config() {
  local apt=$1 suite=$2 mirror type proxy=""
  mirror=$(debian_mirror)
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/state" "$apt/parts"
  eval "$(apt-config shell proxy Acquire::http::Proxy)"
  for type in deb-src deb; do
    echo "$type [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg check-valid-until=no]" \
      "$mirror $suite main"
  done >"$apt/sources.list"
  cat >"$apt/apt.conf" <<EOC
Dir::Etc::Main "/dev/null";
Dir::Etc::Parts "$apt/parts";
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/parts";
Dir::Etc::Preferences "/dev/null";
Dir::Etc::PreferencesParts "$apt/parts";
Dir::State "$apt/state";
Dir::State::Lists "$apt/lists";
Dir::State::status "/var/lib/dpkg/status";
Dir::Cache "$apt/cache";
Dir::Log "$apt/log";
APT::Sandbox::User "root";
Acquire::Languages "none";
Acquire::Retries "3";
${proxy:+Acquire::http::Proxy "$proxy";}
EOC
}

# unpack_source PKG: PKG's sources in a directory named PKG, with Debian's patches applied. With
# the .dsc, dpkg-source does it (its "cannot verify inline signature" is no gap: apt checked each
# file against the signed Sources index, and debian-keyring, the uploaders' keys, is not
# installed). Without it (the mirror serves some packages' tarballs and not their .dsc), the
# upstream tarball and Debian's own are unpacked, and the patches of debian/patches/series
# applied in order, as dpkg-source applies them.
unpack_source() {
  local pkg=$1 dsc orig debian patch
  # A pattern that matches nothing is no error here (set -e, pipefail).
  dsc=$(compgen -G "${pkg}_*.dsc" | head -n 1 || true)
  if [ -n "$dsc" ]; then
    dpkg-source -x "$dsc" "$pkg"
    return
  fi
  orig=$(compgen -G "${pkg}_*.orig.tar.*" | grep -v '\.asc$' | head -n 1 || true)
  debian=$(compgen -G "${pkg}_*.debian.tar.*" | head -n 1 || true)
  if [ -z "$orig" ]; then
    echo "$pkg: the mirror served neither its .dsc nor its upstream tarball"
    return 1
  fi
  echo "$pkg: no .dsc served; unpacking $orig${debian:+ and $debian}"
  mkdir "$pkg"
  tar -xf "$orig" -C "$pkg" --strip-components=1
  [ -n "$debian" ] || return 0
  tar -xf "$debian" -C "$pkg"
  [ -f "$pkg/debian/patches/series" ] || return 0
  sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$pkg/debian/patches/series" |
    while read -r patch; do
      echo "applying $patch"
      patch -d "$pkg" -p1 --no-backup-if-mismatch <"$pkg/debian/patches/$patch"
    done
}

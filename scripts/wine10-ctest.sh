#!/usr/bin/env bash
# Runs the test suite a second time, under Wine 10 from a Debian 13 (trixie) root kept in
# BUILD_DIR/wine10-root: the same test programs, built once on this machine, the same Xvfb set-up
# (scripts/wine-ctest.sh, run inside the root) and a Wine prefix of its own,
# BUILD_DIR/wineprefix-wine10. Wine 9 and later show a child window that another process created
# inside ours, which Wine 8 does not; this world is where the plug-in meets a Wine that does.
#   scripts/wine10-ctest.sh BUILD_DIR [extra ctest arguments]
# The root is made the first time (debootstrap, then Wine, Xvfb, cmake and the mingw-w64 binutils
# in it) and stamped with a hash of the commands that made it, so a second run finds it made and
# a change to those commands makes it anew. It exits 0 after one line that says why when this
# world is left out (this machine's own Wine is 9 or later) or skipped (the machine cannot make
# or enter the root: not root, no mounts, debootstrap failing).
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [extra ctest arguments]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift
scripts=$(cd "$(dirname "$0")" && pwd)
root=$build/wine10-root
stamp=$root/.tessoravin-root
log=$build/wine10-root.log
# The packages the root's tests use: Wine and Xvfb for the test programs, cmake for ctest and the
# cmake -P checks, the mingw-w64 binutils for the module check's objdump. DXVK, on Mesa's software
# Vulkan (lavapipe), gives mpv the Direct3D 11 a Windows machine's GPU gives it
# (scripts/wine-env.sh places it in the prefix); Wine 10 draws a child window's Vulkan output off
# screen and shows it through XComposite, which libwine only recommends.
root_packages=(wine wine64 xvfb xauth cmake binutils-mingw-w64-x86-64 dxvk-wine64
               mesa-vulkan-drivers libxcomposite1)

not_run() {
  echo "Wine 10 world: $1"
  exit 0
}

# ctest's files name the source tree (the Wine wrapper, the cmake -P checks) and the build tree
# by their absolute paths; both are bound at the same paths inside the root.
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
source_dir=${source_dir:-$(cd "$scripts/.." && pwd)}

if [ -z "${TESSORAVIN_IN_MOUNT_NS:-}" ]; then
  own=$("$source_dir/cmake/wine-run.sh" --version 2>/dev/null | head -n 1 || true)
  if [[ $own =~ ^wine-([0-9]+) ]] && [ "${BASH_REMATCH[1]}" -ge 9 ]; then
    not_run "left out, this machine's own Wine ($own) already shows another process's child window"
  fi
  if [ "$(id -u)" -ne 0 ]; then
    not_run "skipped, making and entering its root needs root (this is uid $(id -u))"
  fi
  if ! command -v debootstrap >/dev/null 2>&1; then
    not_run "skipped, debootstrap is not installed ('make test' installs it)"
  fi
  # An unprivileged container refuses a mount namespace or a bind mount in it; try both on a
  # directory of our own before anything is made. In a private namespace whatever is mounted goes
  # with it, so a run that is killed leaves no mount behind below BUILD_DIR. Inside a chroot
  # (scripts/fresh-root-check.sh) / is no mount point and cannot be made private: there the
  # namespace keeps the machine's propagation and the trap below alone unmounts.
  probe=$(mktemp -d "$build/.mount-probe.XXXXXX")
  for propagation in private unchanged; do
    if why=$(unshare --mount --propagation "$propagation" \
               sh -c 'mount --bind "$1" "$2" && umount "$2"' sh "$build" "$probe" 2>&1); then
      break
    fi
    propagation=
  done
  rmdir "$probe"
  if [ -z "$propagation" ]; then
    not_run "skipped, this machine cannot mount what the root needs (${why:-unshare --mount failed})"
  fi
  export TESSORAVIN_IN_MOUNT_NS=1
  exec unshare --mount --propagation "$propagation" "$0" "$build" "$@"
fi

. "$scripts/debian-mirror.sh"

# Two runs on one BUILD_DIR (two shells) would make the root twice over each other.
exec 9>"$build/.wine10-root.lock"
flock 9

mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[i]}" 2>/dev/null || true
  done
  mounted=()
}
trap unmount_all EXIT

# mount_in DIR MOUNT ARGUMENTS...: mounts on DIR (made if missing) and remembers it for unmount_all.
mount_in() {
  local dir=$1
  shift
  mkdir -p "$dir"
  mount "$@" "$dir"
  mounted+=("$dir")
}

mount_system() {
  mount_in "$1/proc" -t proc proc
  mount_in "$1/sys" --bind /sys
  mount_in "$1/dev" --bind /dev
  mount_in "$1/dev/pts" --bind /dev/pts
}

# Its text is the root's stamp: a change here makes the root anew.
make_root() {
  local dir=$1
  debootstrap --variant=minbase trixie "$dir" "$(debian_mirror)" || return 3
  mount_system "$dir"
  cp -L /etc/resolv.conf "$dir/etc/resolv.conf"
  chroot "$dir" apt-get update
  chroot "$dir" /usr/bin/env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${root_packages[@]}"
  chroot "$dir" apt-get clean
  unmount_all
}

root_key() {
  { declare -f make_root mount_system mount_in; echo "${root_packages[*]}"; } | sha1sum | cut -c1-40
}

if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$(root_key)" ]; then
  for dir in "$root" "$root.new"; do
    # A mount left below it would take the host's /dev or the source tree with it.
    if grep -qF " $dir/" /proc/self/mounts; then
      echo "Wine 10 world: something is still mounted below $dir; not removing it" >&2
      exit 1
    fi
    rm -rf --one-file-system "$dir"
  done
  echo "Wine 10 world: making its Debian 13 root in $root (log: $log)"
  start=$SECONDS
  set +e
  (set -e; trap unmount_all EXIT; make_root "$root.new") >"$log" 2>&1 </dev/null
  rc=$?
  set -e
  unmount_all
  if [ $rc -ne 0 ]; then
    tail -n 20 "$log" | sed 's/^/    /'
    if [ $rc -eq 3 ]; then
      not_run "skipped, debootstrap could not make the root (see $log)"
    fi
    echo "Wine 10 world: making the root FAILED after $((SECONDS - start)) s (see $log)"
    exit 1
  fi
  mv "$root.new" "$root"
  root_key >"$stamp"
  echo "Wine 10 world: root made in $((SECONDS - start)) s"
fi

mount_system "$root"
# xvfb-run picks a free display by the lock files in /tmp; the root must see the machine's.
mount_in "$root/tmp" --bind /tmp
# The source tree read-only, as nothing the tests do may change it; the build tree, often inside
# it, on top.
mount_in "$root$source_dir" --bind "$source_dir"
mount -o remount,bind,ro "$root$source_dir"
mount_in "$root$build" --bind "$build"

# dist.ReleaseZip builds the release zip with the build tree's make files: the root's cmake would
# take them for another cmake's and regenerate them. It checks the build machine's product, which
# the first world has checked; the root has no make, so even run by hand it changes nothing.
set +e
# Without the lock's descriptor (9>&-): the persistent wineserver and Wine's services would hold it
# after a run that was killed, and every later run would wait on it for good.
chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  TESSORAVIN_WINEPREFIX="$build/wineprefix-wine10" \
  ${TESSORAVIN_SCREENSHOT_BMP:+TESSORAVIN_SCREENSHOT_BMP="$TESSORAVIN_SCREENSHOT_BMP"} \
  ${TESSORAVIN_SCREENSHOT_CLIP:+TESSORAVIN_SCREENSHOT_CLIP="$TESSORAVIN_SCREENSHOT_CLIP"} \
  "$source_dir/scripts/wine-ctest.sh" "$build" -E '^dist\.' "$@" 9>&-
rc=$?
set -e
exit $rc

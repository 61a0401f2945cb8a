#!/usr/bin/env bash
# Runs make commands as a newcomer would: in a fresh Debian minbase root (debootstrap) of
# bookworm (Debian 12, the default) or trixie (Debian 13), on a clone of this checkout's
# committed HEAD, nothing installed but git, for a checkout, and make, the one prerequisite the
# README names (`apt-get install make`; a minbase root has none).
#   scripts/fresh-root-check.sh                      make, then make test (the README's two)
#   scripts/fresh-root-check.sh "make bench" "make test"   any other order
#   scripts/fresh-root-check.sh "make -j2 test"
#   FRESH_RELEASE=trixie scripts/fresh-root-check.sh     the same on Debian 13
# Needs root. The pristine root is made once per release (FRESH_BASE, default
# /var/tmp/tessoravin-fresh-base-RELEASE) and copied afresh for every run (FRESH_ROOT, default
# /tmp/tessoravin-fresh-root), so nothing an earlier run installed can hide a missing step. The
# root's apt sources name its release on the machine's own Debian mirror. Each command's output
# goes to FRESH_LOGS/fresh-<n>.log (default /tmp); the last ctest summary is printed at the end.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
. "$project/scripts/debian-mirror.sh"
release=${FRESH_RELEASE:-bookworm}
case $release in
  bookworm | trixie) ;;
  *) echo "FRESH_RELEASE: bookworm or trixie, not $release" >&2; exit 2 ;;
esac
base=${FRESH_BASE:-/var/tmp/tessoravin-fresh-base-$release}
root=${FRESH_ROOT:-/tmp/tessoravin-fresh-root}
logs=${FRESH_LOGS:-/tmp}
mkdir -p "$logs"
[ $# -gt 0 ] || set -- make "make test"

mirror=$(debian_mirror)
if ! command -v debootstrap >/dev/null; then
  apt-get update -q >/dev/null && apt-get install -y -q debootstrap >/dev/null
fi
if [ ! -x "$base/usr/bin/apt-get" ]; then
  rm -rf "$base"
  echo "debootstrap: $release minbase into $base"
  if ! debootstrap --variant=minbase --include=ca-certificates,git,make "$release" "$base" \
       "$mirror" >"$logs/fresh-debootstrap.log" 2>&1; then
    echo "debootstrap failed, see $logs/fresh-debootstrap.log"
    exit 1
  fi
fi
# A FRESH_BASE made for the other release would test the wrong one.
made=$(. "$base/etc/os-release" && echo "${VERSION_CODENAME:-}")
if [ "$made" != "$release" ]; then
  echo "$base holds ${made:-an unknown release}, not $release; set FRESH_BASE" >&2
  exit 1
fi

unmount_all() { for d in dev/pts dev sys proc; do umount -l "$root/$d" 2>/dev/null || true; done; }
unmount_all
if grep -q " $root/" /proc/mounts; then echo "still mounted below $root; not removing it"; exit 1; fi
rm -rf --one-file-system "$root"
cp -a "$base" "$root"
rm -f "$root/etc/apt/sources.list" "$root"/etc/apt/sources.list.d/*.sources
cat >"$root/etc/apt/sources.list.d/debian.sources" <<SOURCES
Types: deb
URIs: $mirror
Suites: $release $release-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
for d in proc sys dev dev/pts; do mount --bind "/$d" "$root/$d"; done
trap unmount_all EXIT

mkdir -p "$root/srv"
git clone -q "$project" "$root/srv/tessoravin"
echo "clone of $(git -C "$project" rev-parse --short HEAD) in $root/srv/tessoravin ($release)"

n=0
for command in "$@"; do
  n=$((n + 1))
  log=$logs/fresh-$n.log
  start=$(date +%s)
  if chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb \
       /bin/bash -c "cd /srv/tessoravin && $command" >"$log" 2>&1; then
    echo "$command: ok in $(( $(date +%s) - start )) s ($log)"
  else
    echo "$command: FAILED after $(( $(date +%s) - start )) s ($log)"
    tail -n 15 "$log"
    exit 1
  fi
  grep -E 'tests passed|Total Test time' "$log" || true
done

#!/usr/bin/env bash
# Runs make commands as a newcomer would: in a fresh Debian bookworm minbase root (debootstrap),
# on a clone of this checkout's committed HEAD, nothing installed but git and make.
#   scripts/fresh-root-check.sh                      make, then make test (the README's two)
#   scripts/fresh-root-check.sh "make bench" "make test"   any other order
#   scripts/fresh-root-check.sh "make -j2 test"
# Needs root. The pristine root is made once (FRESH_BASE, default /var/tmp/tessoravin-fresh-base)
# and copied afresh for every run (FRESH_ROOT, default /tmp/tessoravin-fresh-root), so nothing an
# earlier run installed can hide a missing step. The machine's own apt source is used. Each
# command's output goes to /tmp/fresh-<n>.log; the last ctest summary is printed at the end.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
base=${FRESH_BASE:-/var/tmp/tessoravin-fresh-base}
root=${FRESH_ROOT:-/tmp/tessoravin-fresh-root}
[ $# -gt 0 ] || set -- make "make test"

mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
mirror=${mirror:-http://deb.debian.org/debian}
if ! command -v debootstrap >/dev/null; then
  apt-get update -q >/dev/null && apt-get install -y -q debootstrap >/dev/null
fi
if [ ! -x "$base/usr/bin/apt-get" ]; then
  rm -rf "$base"
  echo "debootstrap: bookworm minbase into $base"
  debootstrap --variant=minbase --include=ca-certificates,git,make bookworm "$base" "$mirror" \
    >/tmp/fresh-debootstrap.log 2>&1 || { echo "debootstrap failed, see /tmp/fresh-debootstrap.log"; exit 1; }
fi

unmount_all() { for d in dev/pts dev sys proc; do umount -l "$root/$d" 2>/dev/null || true; done; }
unmount_all
if grep -q " $root/" /proc/mounts; then echo "still mounted below $root; not removing it"; exit 1; fi
rm -rf --one-file-system "$root"
cp -a "$base" "$root"
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
  rm -f "$root/etc/apt/sources.list"
fi
for d in proc sys dev dev/pts; do mount --bind "/$d" "$root/$d"; done
trap unmount_all EXIT

mkdir -p "$root/srv"
git clone -q "$project" "$root/srv/tessoravin"
echo "clone of $(git -C "$project" rev-parse --short HEAD) in $root/srv/tessoravin"

n=0
for command in "$@"; do
  n=$((n + 1))
  log=/tmp/fresh-$n.log
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

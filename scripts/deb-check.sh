#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 (a debootstrap chroot, kept
# in ~/.cache/vestrel/bookworm-root) and checks that the program, its files and
# menu entry are there and the driver is registered. Needs root.
#   bash scripts/deb-check.sh [PACKAGE.deb]   (default: builds it with scripts/deb.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deb="${1:-$(bash "$here/scripts/deb.sh" | tail -1)}"
root="$HOME/.cache/vestrel/bookworm-root"
dpkg-query -W -f='${Status}' debootstrap 2>/dev/null | grep -q "install ok installed" \
  || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
if [ ! -x "$root/usr/bin/apt-get" ]; then
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
fi
fresh="$(mktemp -d)"
trap 'umount "$fresh/proc" 2>/dev/null || true; rm -rf "$fresh"' EXIT
cp -a "$root/." "$fresh/"
cp /etc/resolv.conf "$fresh/etc/resolv.conf" 2>/dev/null || true
cp "$deb" "$fresh/tmp/vestrel.deb"
mount -t proc proc "$fresh/proc"
chroot "$fresh" /bin/sh -ec '
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends /tmp/vestrel.deb >/dev/null
  test -x /usr/lib/vestrel/vestrel && test -x /usr/lib/vestrel/vestrel-print
  test -f /usr/lib/vestrel/HAND-M.CUR && test -f /usr/lib/vestrel/x/o.cjs && test -f /usr/lib/vestrel/Samples/sample1.db3
  test "$(readlink -f /usr/bin/vestrel)" = /usr/lib/vestrel/vestrel
  grep -q "^Exec=vestrel$" /usr/share/applications/vestrel.desktop
  test -f /usr/share/icons/hicolor/48x48/apps/vestrel.png
  odbcinst -q -d -n "SQLite3 ODBC Driver" >/dev/null
  # Every library the program needs is there.
  ! ldd /usr/lib/vestrel/vestrel | grep -q "not found"
  QT_QPA_PLATFORM=offscreen timeout 5 /usr/lib/vestrel/vestrel-print /p /nonexistent >/dev/null 2>&1 || true
  apt-get remove -y -qq vestrel >/dev/null
  ! odbcinst -q -d -n "SQLite3 ODBC Driver" >/dev/null 2>&1
'
echo "The package installs into a fresh Debian 12, brings its files, menu entry and driver registration, and is removed cleanly: $deb"

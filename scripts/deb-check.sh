#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 (a debootstrap chroot, kept
# in ~/.cache/vestrel/bookworm-root) and checks that the program, its files,
# menu entry and metainfo are there (and validate) and the driver is registered;
# then opens a database named on the command line there, on a virtual screen,
# and keeps a screenshot of it in build-deb/opened-from-command-line.png. Needs root.
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
screen=""
trap 'umount "$fresh/proc" "$fresh/tmp/.X11-unix" 2>/dev/null || true; [ -n "$screen" ] && kill $screen; rm -rf "$fresh"' EXIT
cp -a "$root/." "$fresh/"
cp /etc/resolv.conf "$fresh/etc/resolv.conf" 2>/dev/null || true
cp "$deb" "$fresh/tmp/vestrel.deb"
cp "$here/scripts/deb-open-check.sh" "$fresh/tmp/open-check.sh"
mount -t proc proc "$fresh/proc"
# A virtual screen of the host's, reached from inside through its socket.
command -v Xvfb >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xvfb >/dev/null
display=77
while [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 640x400x24 -nolisten tcp >/dev/null 2>&1 & screen=$!
mkdir -p "$fresh/tmp/.X11-unix"
for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
mount --bind /tmp/.X11-unix "$fresh/tmp/.X11-unix"
chroot "$fresh" /bin/sh -ec '
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends /tmp/vestrel.deb >/dev/null
  test -x /usr/lib/vestrel/vestrel && test -x /usr/lib/vestrel/vestrel-print
  test -f /usr/lib/vestrel/HAND-M.CUR && test -f /usr/lib/vestrel/x/o.cjs && test -f /usr/lib/vestrel/Samples/sample1.db3
  test "$(readlink -f /usr/bin/vestrel)" = /usr/lib/vestrel/vestrel
  grep -q "^Exec=vestrel %f$" /usr/share/applications/vestrel.desktop
  grep -q "^MimeType=application/vnd.sqlite3;application/x-sqlite3;$" /usr/share/applications/vestrel.desktop
  test -f /usr/share/icons/hicolor/48x48/apps/vestrel.png
  apt-get install -y -qq --no-install-recommends desktop-file-utils appstream xdotool imagemagick >/dev/null
  desktop-file-validate /usr/share/applications/vestrel.desktop
  appstreamcli validate --no-net /usr/share/metainfo/com.pellorin.vestrel.metainfo.xml >/dev/null
  # Opened as the file manager opens it: the table chooser comes up for the file given.
  DISPLAY=:'"$display"' sh /tmp/open-check.sh
  odbcinst -q -d -n "SQLite3 ODBC Driver" >/dev/null
  # Every library the program needs is there.
  ! ldd /usr/lib/vestrel/vestrel | grep -q "not found"
  QT_QPA_PLATFORM=offscreen timeout 5 /usr/lib/vestrel/vestrel-print /p /nonexistent >/dev/null 2>&1 || true
  apt-get remove -y -qq vestrel >/dev/null
  ! odbcinst -q -d -n "SQLite3 ODBC Driver" >/dev/null 2>&1
'
mkdir -p "$here/build-deb"
cp "$fresh/tmp/opened.png" "$here/build-deb/opened-from-command-line.png"
echo "Opened from the command line there: $here/build-deb/opened-from-command-line.png"
echo "The package installs into a fresh Debian 12, brings its files, menu entry, metainfo and driver registration, opens a file named on its command line, and is removed cleanly: $deb"

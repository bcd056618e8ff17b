#!/bin/sh
# Run by deb-check.sh inside the fresh Debian 12 where the package is installed,
# with DISPLAY naming the host's virtual screen: starts `vestrel FILE` as a file
# manager does, waits for the table chooser, and keeps a screenshot in /tmp/opened.png.
set -eu
cp /usr/lib/vestrel/Samples/sample1.db3 /tmp/given.db
mkdir -p /tmp/home
export HOME=/tmp/home
vestrel /tmp/given.db &
pid=$!
shown=
for i in $(seq 100); do
  sleep 0.1
  # The table chooser: 536 x 211 (the start window is 536 x 185).
  for w in $(xdotool search --onlyvisible --name "^Vestrel$" 2>/dev/null || true); do
    xdotool getwindowgeometry "$w" | grep -q "Geometry: 536x211" && shown=1
  done
  [ -n "$shown" ] && break
  # "PDF Printer is not installed" is said at start where there is none: OK.
  [ "$i" = 30 ] && xdotool key Return
done
sleep 0.5
import -window root /tmp/opened.png
kill $pid
test -n "$shown"
# The path given is the one remembered, as "..." remembers it.
grep -q "^SQLiteDatabase=/tmp/given.db$" /tmp/home/.config/Pellorin.ini

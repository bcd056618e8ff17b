#!/bin/sh
# Run by deb-check.sh inside the fresh Debian 12 where the package is installed:
# starts `vestrel FILE` on a virtual screen as a file manager does, waits for
# the table chooser, and keeps a screenshot in /tmp/opened.png.
set -eu
cp /usr/lib/vestrel/Samples/sample1.db3 /tmp/given.db
mkdir -p /tmp/home
export HOME=/tmp/home
xvfb-run -a -s "-screen 0 640x400x24" sh -eu -c '
  vestrel /tmp/given.db &
  pid=$!
  shown=
  for i in $(seq 100); do
    sleep 0.1
    # The table chooser is the taller of the two windows named "Vestrel".
    for w in $(xdotool search --onlyvisible --name "^Vestrel$" 2>/dev/null || true); do
      h=$(xdotool getwindowgeometry "$w" | sed -n "s/.*Geometry: [0-9]*x\([0-9]*\)/\1/p")
      [ "${h:-0}" -ge 200 ] && shown=1
    done
    [ -n "$shown" ] && break
  done
  sleep 0.5
  import -window root /tmp/opened.png
  kill $pid
  test -n "$shown"
'
# The path given is the one remembered, as "..." remembers it.
grep -q "^SQLiteDatabase=/tmp/given.db$" /tmp/home/.config/Pellorin.ini

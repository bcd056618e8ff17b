#!/usr/bin/env bash
# Debian 13's wine (10) in a chroot of its own, made once per machine in
# ~/.cache/vestrel/trixie (debootstrap from the machine's own Debian mirror),
# with no unixODBC in it: its odbc32 can then only load Windows drivers
# registered in the prefix's registry. Writes `wine`, `wineserver` and
# `wineboot` commands that run inside it into ~/.cache/vestrel/wine10-bin and
# prints that folder on its last line. The caller mounts what the programs
# need to see (see wine10_mount in common.sh). Needs root.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
root="$cache/trixie"
bin="$cache/wine10-bin"
if [ ! -x "$root/usr/lib/wine/wine64" ]; then
  need_packages debootstrap
  mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/*.sources)
  [ -x "$root/usr/bin/apt-get" ] || { rm -rf "$root"; debootstrap --variant=minbase trixie "$root" "$mirror" >&2; }
  echo "deb $mirror trixie main" > "$root/etc/apt/sources.list"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
  chroot "$root" /bin/sh -ec 'export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends wine wine64 libcups2t64 fonts-liberation fonts-wine >/dev/null' >&2
fi
# Nothing of unixODBC may be there for wine to hand a connection on to.
if chroot "$root" sh -c 'ls /usr/lib/x86_64-linux-gnu/libodbc.so* >/dev/null 2>&1'; then
  echo "unixODBC is in $root: wine would hand connections to its drivers" >&2
  exit 1
fi
mkdir -p "$bin" "$root/run/user/0" && chmod 700 "$root/run/user/0"
for command in wine wineserver wineboot; do
  cat > "$bin/$command" <<WRAP
#!/bin/sh
# $command of Debian 13's wine, run in $root from the same folder.
exec chroot "$root" /usr/bin/env PATH=/usr/local/bin:/usr/bin:/bin XDG_RUNTIME_DIR=/run/user/0 /bin/sh -c 'cd "\$0" 2>/dev/null || cd /; exec "\$@"' "\$PWD" $command "\$@"
WRAP
  chmod +x "$bin/$command"
done
echo "$bin"

#!/usr/bin/env bash
# Builds the Debian package of Vestrel (CPack); its last line is the package's path.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh" >&2
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q "install ok installed" \
  || { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends dpkg-dev >&2; }
build="$here/build-deb"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$build" --parallel --target vestrel vestrel-print program_files >&2
(cd "$build" && cpack -G DEB >&2)
ls -t "$build"/vestrel_*.deb | head -1

#!/usr/bin/env bash
# Sets up this machine, builds Vestrel and starts the editor.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh"
exec "$here/build/vestrel" "$@"

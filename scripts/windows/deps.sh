#!/usr/bin/env bash
# Builds what the Windows program links beyond Qt, once per machine: libxlsxwriter
# for MinGW from Debian's source package (with Debian's zlib for MinGW), into
# ~/.cache/vestrel/mingw-deps. Prints the prefix on its last line.
set -euo pipefail
prefix="${VESTREL_WINDOWS_DEPS:-$HOME/.cache/vestrel/mingw-deps}"
if [ -f "$prefix/lib/libxlsxwriter.a" ]; then echo "$prefix"; exit 0; fi
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
need=(libz-mingw-w64-dev g++-mingw-w64-x86-64-posix cmake ninja-build dpkg-dev)
missing=()
for p in "${need[@]}"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] || { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2; }
qt="$(bash "$(dirname "${BASH_SOURCE[0]}")/qt.sh" | tail -1)" # also sets up the private apt sources and the toolchain file
work="$HOME/.cache/vestrel/deps-src"
apt="$HOME/.cache/vestrel/qt6-build/apt"
mkdir -p "$work" && cd "$work"
[ -f libxlsxwriter_*.dsc ] || apt-get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources" \
  -o Dir::State::Lists="$apt/lists" source --download-only libxlsxwriter >&2
rm -rf xlsx && dpkg-source -x libxlsxwriter_*.dsc xlsx >/dev/null 2>&1
cmake -S xlsx -B xlsx/build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE="$HOME/.cache/vestrel/qt6-build/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
  -DZLIB_ROOT=/usr/x86_64-w64-mingw32 >&2
cmake --build xlsx/build-mingw >&2
cmake --install xlsx/build-mingw >&2
echo "$prefix"

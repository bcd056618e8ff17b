#!/usr/bin/env bash
# Builds Qt for Windows (x86_64-w64-mingw32) from Debian's own qt6-base source
# package, once per machine, into ~/.cache/vestrel/qt6-mingw (override with
# VESTREL_QT_WINDOWS). Prints the install prefix on its last line.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
prefix="${VESTREL_QT_WINDOWS:-$cache/qt6-mingw}"
if [ -x "$prefix/bin/qt-cmake" ] && [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
need_packages g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix cmake ninja-build dpkg-dev qt6-base-dev qt6-base-dev-tools
work="$cache/qt6-build"
mkdir -p "$work"
cd "$work"
if [ ! -d src ]; then
  rm -rf dl && mkdir dl && (cd dl && debian_source qt6-base)
  dpkg-source -x dl/qt6-base_*.dsc src >/dev/null 2>&1
fi
write_toolchain
cmake -S src -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
  -DINPUT_pcre=qt -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
  -DFEATURE_tabletevent=OFF >"$work/configure.log" 2>&1 || { tail -40 "$work/configure.log"; exit 1; }
cmake --build build --parallel >"$work/build.log" 2>&1 || { tail -40 "$work/build.log"; exit 1; }
cmake --install build >/dev/null
touch "$prefix/.complete"
echo "$prefix"

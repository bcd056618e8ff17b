#!/usr/bin/env bash
# Builds Qt for Windows (x86_64-w64-mingw32) from Debian's own qt6-base source
# package, once per machine, into ~/.cache/vestrel/qt6-mingw (override with
# VESTREL_QT_WINDOWS). Prints the install prefix on its last line.
set -euo pipefail
prefix="${VESTREL_QT_WINDOWS:-$HOME/.cache/vestrel/qt6-mingw}"
if [ -x "$prefix/bin/qt-cmake" ] && [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
need=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix cmake ninja-build dpkg-dev qt6-base-dev qt6-base-dev-tools)
missing=()
for p in "${need[@]}"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work="$HOME/.cache/vestrel/qt6-build"
mkdir -p "$work"
cd "$work"
# The source package through a private apt configuration (the machine's own stays untouched).
if [ ! -d src ]; then
  apt="$work/apt"
  mkdir -p "$apt/sources" "$apt/lists/partial"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" > "$apt/sources/$(basename "$f")"
  done
  opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources" -o Dir::State::Lists="$apt/lists")
  apt-get "${opts[@]}" update -qq
  rm -rf dl && mkdir dl && (cd dl && apt-get "${opts[@]}" source --download-only qt6-base >/dev/null)
  dpkg-source -x dl/qt6-base_*.dsc src >/dev/null
fi

cat > "$work/toolchain.cmake" <<'TC'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TC

cmake -S src -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
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

#!/usr/bin/env bash
# Cross-builds Vestrel for Windows (x86_64, MinGW-w64) and its installer: Qt for
# Windows first if it is not cached, SQLite, libxlsxwriter and the SQLite3 ODBC
# driver for MinGW, then the program and the print helper, staged with the Qt
# DLLs and plugins, the MinGW runtime and the files beside the program in
# build-windows/Vestrel, and packed by NSIS. Its last line is the installer's path.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$here/scripts/windows/common.sh"
bash "$here/scripts/setup.sh" >&2
need_packages nsis
qt="$(bash "$here/scripts/windows/qt.sh" | tail -1)"
deps="$(bash "$here/scripts/windows/deps.sh" | tail -1)"
bash "$here/scripts/build.sh" >&2 # this machine's build makes the hand cursor
build="${VESTREL_WINDOWS_BUILD:-$here/build-windows}"
"$qt/bin/qt-cmake" -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVESTREL_WINDOWS_DEPS="$deps" -DVESTREL_HOST_BUILD="$here/build" -DCMAKE_INSTALL_PREFIX="$build/Vestrel" \
  ${VESTREL_WINDOWS_CMAKE_ARGS:-} >&2
cmake --build "$build" --parallel >&2
rm -rf "$build/Vestrel"
cmake --install "$build" >&2
stage="$build/Vestrel"
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6PrintSupport; do cp "$qt/bin/$dll.dll" "$stage/"; done
for dir in platforms styles printsupport imageformats; do
  [ -d "$qt/plugins/$dir" ] && { mkdir -p "$stage/$dir"; cp "$qt/plugins/$dir"/*.dll "$stage/$dir/"; }
done
runtime=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
cp "$runtime/libstdc++-6.dll" "$runtime/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")/\1/p' "$here/CMakeLists.txt")
installer="$build/Vestrel-$version-setup.exe"
makensis -V2 -DSTAGE="$stage" -DDRIVER="$deps/driver" -DVERSION="$version" -DOUTFILE="$installer" \
  "$here/packaging/windows/vestrel.nsi" >&2
echo "$installer"

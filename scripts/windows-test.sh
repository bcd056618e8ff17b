#!/usr/bin/env bash
# Builds Vestrel for Windows with its test suites and installer, then under wine:
# runs the suites (offscreen, database paths in host form), installs Vestrel with
# its installer, checks the installed files and the driver's registration, and
# works the installed vestrel.exe end to end on a virtual screen. Closes with
# ctest's summary and the end-to-end check's own line.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$here/scripts/windows/common.sh"
need_packages wine wine64 xvfb xauth xdotool imagemagick cups cups-client printer-driver-cups-pdf
build="$here/build-windows-tests"
installer="$(VESTREL_WINDOWS_BUILD="$build" \
  VESTREL_WINDOWS_CMAKE_ARGS="-DVESTREL_WINDOWS_TESTS=ON -DCMAKE_CROSSCOMPILING_EMULATOR=wine" \
  bash "$here/scripts/windows-build.sh" | tail -1)"
qt="$(bash "$here/scripts/windows/qt.sh" | tail -1)"

# A wine prefix of the tests' own, made afresh for every run.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
# wine hands no QT_ variable on to Windows programs: the suites' platform and their
# log (to stderr, not the debugger's channel, as there is no console) go through
# the user's environment in the registry.
wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1
wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null 2>&1
# The suites' temporary folders on drive Z: (the host's root), where their paths
# name the same files for the Windows side and for the host's driver.
mkdir -p "$build/tmp"
winetmp="Z:$(echo "$build/tmp" | tr / '\\')"
for v in TEMP TMP; do wine reg add 'HKCU\Environment' /v $v /d "$winetmp" /f >/dev/null 2>&1; done
wineserver -w
# The Qt DLLs and the MinGW runtime for the suites.
export WINEPATH="Z:$qt/bin;Z:/usr/lib/gcc/x86_64-w64-mingw32/12-posix;Z:/usr/x86_64-w64-mingw32/lib"

# Printers: a CUPS server of the run's own, whose queues wine offers through winspool.
cups="$build/cups"
trap 'bash "$here/scripts/test-cups.sh" stop "$cups"; wineserver -k 2>/dev/null || true' EXIT
while IFS= read -r line; do export "${line?}"; done < <(bash "$here/scripts/test-cups.sh" start "$cups")
export VESTREL_TEST_PRINTERS="office,pdfprinter"

# One virtual screen for the whole run: wine's desktop takes the display it first finds.
wineserver -k 2>/dev/null || true
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  status=0
  (cd "$1" && shift 3 && ctest --output-on-failure "$@") || status=1
  bash "$2" "$3" "$1/endtoend" || status=1
  exit $status' _ "$build" "$here/scripts/windows/endtoend.sh" "$installer" "$@"

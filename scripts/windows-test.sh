#!/usr/bin/env bash
# Builds Vestrel for Windows with its test suites and installer, then under
# Debian 13's wine (10, in a chroot with no unixODBC: see windows/wine10.sh)
# installs Vestrel with its installer into a fresh prefix, which puts the
# SQLite3 ODBC driver's DLL in place and registers it, and runs the suites
# there (offscreen, database paths in Windows form, C:\...) through the Windows
# driver manager and that DLL; then works the installed vestrel.exe end to end
# on a virtual screen in a prefix of its own. Closes with ctest's summary and
# the end-to-end check's own line. Needs root.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$here/scripts/windows/common.sh"
need_packages xvfb xauth xdotool imagemagick cups cups-client printer-driver-cups-pdf sqlite3
build="$here/build-windows-tests"
installer="$(VESTREL_WINDOWS_BUILD="$build" \
  VESTREL_WINDOWS_CMAKE_ARGS="-DVESTREL_WINDOWS_TESTS=ON -DCMAKE_CROSSCOMPILING_EMULATOR=wine" \
  bash "$here/scripts/windows-build.sh" | tail -1)"
qt="$(bash "$here/scripts/windows/qt.sh" | tail -1)"
export PATH="$(bash "$here/scripts/windows/wine10.sh" | tail -1):$PATH"

# Printers: a CUPS server of the run's own, whose queues wine offers through winspool.
cups="$build/cups"
cleanup() {
  bash "$here/scripts/test-cups.sh" stop "$cups" || true
  wineserver -k 2>/dev/null || true
  wine10_unmount
}
trap cleanup EXIT
# What the programs in the chroot see of the host: this tree (the build, its
# prefixes, the CUPS socket), Qt for Windows and the MinGW runtime, at the same paths.
wine10_mount "$here" "$qt" /usr/lib/gcc/x86_64-w64-mingw32 /usr/x86_64-w64-mingw32/lib
while IFS= read -r line; do export "${line?}"; done < <(bash "$here/scripts/test-cups.sh" start "$cups")
export VESTREL_TEST_PRINTERS="office,pdfprinter"

# The suites' prefix, made afresh for every run, with Vestrel installed by its installer.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wine "$installer" /S
wineserver -w
# wine hands no QT_ variable on to Windows programs: the suites' platform and their
# log (to stderr, not the debugger's channel, as there is no console) go through
# the user's environment in the registry.
wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1
wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null 2>&1
wineserver -w
# The Qt DLLs and the MinGW runtime for the suites.
export WINEPATH="Z:$qt/bin;Z:/usr/lib/gcc/x86_64-w64-mingw32/12-posix;Z:/usr/x86_64-w64-mingw32/lib"

# One virtual screen for the whole run: wine's desktop takes the display it first finds.
# (Its key file in this tree, where the programs in the chroot find it too.)
wineserver -k 2>/dev/null || true
xvfb-run -a -f "$build/Xauthority" -s "-screen 0 1280x1024x24" bash -c '
  status=0
  (cd "$1" && shift 3 && ctest --output-on-failure "$@") || status=1
  # Which driver answered the suites, as the suite itself saw it.
  grep -h "driver DLL loaded" "$1/Testing/Temporary/LastTest.log" || true
  WINEPREFIX="$1/wineprefix-endtoend" bash "$2" "$3" "$1/endtoend" || status=1
  exit $status' _ "$build" "$here/scripts/windows/endtoend.sh" "$installer" "$@"

#!/usr/bin/env bash
# Builds, once per machine, what the Windows program needs beyond Qt, from
# Debian's source packages, into ~/.cache/vestrel/mingw-deps (override with
# VESTREL_WINDOWS_DEPS):
#   lib/libxlsxwriter.a   the spreadsheet writer (with Debian's zlib for MinGW)
#   lib/libsqlite3.a      SQLite, for the test suites' direct access to files
#   driver/sqlite3odbc.dll the SQLite3 ODBC driver, with its own SQLite inside
# Prints the prefix on its last line.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
prefix="${VESTREL_WINDOWS_DEPS:-$cache/mingw-deps}"
if [ -f "$prefix/lib/libxlsxwriter.a" ] && [ -f "$prefix/lib/libsqlite3.a" ] && [ -f "$prefix/driver/sqlite3odbc.dll" ]; then
  echo "$prefix"; exit 0
fi
need_packages libz-mingw-w64-dev g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  cmake ninja-build dpkg-dev tcl gcc make
write_toolchain
cc=x86_64-w64-mingw32-gcc-posix
work="$cache/deps-src"
mkdir -p "$work" "$prefix/lib" "$prefix/include" "$prefix/driver"
cd "$work"

# libxlsxwriter
if [ ! -f "$prefix/lib/libxlsxwriter.a" ]; then
  ls libxlsxwriter_*.dsc >/dev/null 2>&1 || debian_source libxlsxwriter
  rm -rf xlsx && dpkg-source -x libxlsxwriter_*.dsc xlsx >/dev/null 2>&1
  cmake -S xlsx -B xlsx/build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
    -DZLIB_ROOT=/usr/x86_64-w64-mingw32 >&2
  cmake --build xlsx/build-mingw >&2
  cmake --install xlsx/build-mingw >&2
fi

# SQLite's one-file form (the amalgamation), made from Debian's sqlite3 source with tclsh.
if [ ! -f a10n/sqlite3.c ]; then
  ls sqlite3_*.dsc >/dev/null 2>&1 || debian_source sqlite3
  rm -rf sqlite && dpkg-source -x sqlite3_*.dsc sqlite >/dev/null 2>&1
  rm -rf a10n && mkdir a10n
  (cd a10n && ../sqlite/configure --disable-tcl >/dev/null && make sqlite3.c >/dev/null) >&2
fi
cp a10n/sqlite3.h a10n/sqlite3ext.h "$prefix/include/"
$cc -O2 -DNDEBUG -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA=1 -c a10n/sqlite3.c -o a10n/sqlite3-lib.o
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" a10n/sqlite3-lib.o

# The SQLite3 ODBC driver, built as its own MinGW makefile builds it: the driver
# and SQLite in one DLL, with the set-up dialog's resources.
ls sqliteodbc_*.dsc >/dev/null 2>&1 || debian_source sqliteodbc
rm -rf odbc && dpkg-source -x sqliteodbc_*.dsc odbc >/dev/null 2>&1
cd odbc
vers=$(cat VERSION)
vers_c=$(echo "$vers" | sed -e 's/\([0-9]\+\)[.]\([0-9]\+\).*/\1,\2/g')
sed -e "s/--VERS_C--/$vers_c/g" -e "s/--VERS--/$vers/g" < resource.h.in > resource3.h
flags=(-O2 -Wall -DNDEBUG=1 "-DDRIVER_VER_INFO=\"$vers\"")
$cc "${flags[@]}" -c -I../a10n -DWIN32=1 -DNO_TCL -DTHREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA=1 \
  -DSQLITE_DLL=1 -DSQLITE_THREADSAFE=1 -DSQLITE_OS_WIN=1 -DSQLITE_ASCII=1 -DSQLITE_SOUNDEX=1 \
  -o sqlite3a10n.o ../a10n/sqlite3.c 2>/dev/null
$cc "${flags[@]}" -c -I../a10n -DHAVE_LONG_LONG=1 -DHAVE_SQLROWOFFSET=1 -DHAVE_SQLLEN=1 -DHAVE_SQLULEN=1 \
  -DHAVE_SQLROWCOUNT=1 -DHAVE_SQLSETPOSIROW=1 -DPTRDIFF_T=ptrdiff_t \
  -DHAVE_SQLITE3COLUMNTABLENAME=1 -DHAVE_SQLITE3COLUMNDATABASENAME=1 -DHAVE_SQLITE3COLUMNORIGINNAME=1 \
  -DHAVE_SQLITE3LOADEXTENSION=1 -DHAVE_SQLITE3PREPAREV2=1 -DHAVE_SQLITE3VFS=1 -DHAVE_SQLITE3PROFILE=1 \
  -DHAVE_SQLITE3CLOSEV2=1 -DHAVE_SQLITE3STRNICMP=1 -DHAVE_SQLITE3TABLECOLUMNMETADATA=1 -DWITHOUT_SHELL=1 \
  sqlite3odbc.c 2>/dev/null
x86_64-w64-mingw32-windres -o sqlite3odbcres.o -I../a10n sqlite3odbc.rc
$cc "${flags[@]}" -shared -Wl,--kill-at -Wl,--strip-all -o sqlite3odbc.dll sqlite3odbc.o sqlite3odbcres.o sqlite3a10n.o \
  -lodbc32 -lodbccp32 -lgdi32 -lcomdlg32 -ladvapi32 -lshell32 -luser32 -lkernel32
cp sqlite3odbc.dll license.terms "$prefix/driver/"
echo "$prefix"

#!/usr/bin/env bash
# The installed Vestrel under wine, worked as a user works it, on a virtual screen:
#   endtoend.sh INSTALLER FOLDER
# Installs with the installer (silent), checks the program folder, the Start-menu
# entry, the driver's registration and "Open with" for the database extensions
# (beside the default program, which stays); opens a database as "Open with"
# does, edits a row, exports the grid as TXT through the Save dialog, checks the
# database and the file; then uninstalls and checks that the program, the
# registration and the "Open with" entries are gone.
# Wants WINEPREFIX set (a prefix of the run's own, made afresh here) and DISPLAY
# (a virtual screen). The database and the export are on drive C:, named in
# Windows form. Screenshots land in FOLDER.
set -uo pipefail
# "Anna Zoë" is typed through xdotool: a UTF-8 locale whatever the machine's.
case "${LC_ALL:-${LANG:-}}" in
  *UTF-8*|*utf8*) ;;
  *) export LANG=C.UTF-8 LC_ALL=C.UTF-8 ;;
esac
installer=$1
out=$(realpath -m "$2")
rm -rf "$out" && mkdir -p "$out"
passed=0 failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "PASS   $what"
  else failed=$((failed + 1)); echo "FAIL!  $what"; fi
}
program="$WINEPREFIX/drive_c/Program Files/Vestrel"
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1; wineserver -w
odbcinst='HKLM\SOFTWARE\ODBC\ODBCINST.INI'

# The installed program finds its DLLs and plugins in its own folder, nowhere else,
# and shows its windows on the screen.
unset WINEPATH
wine reg delete 'HKCU\Environment' /v QT_QPA_PLATFORM /f >/dev/null 2>&1
# Arial as the fonts of Windows draw it.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d "Liberation Sans" /f >/dev/null 2>&1
# Another program opens .db files: it still does after Vestrel is installed.
classes='HKLM\Software\Classes'
wine reg add "$classes\.db" /ve /d OtherApp.db /f >/dev/null 2>&1
wine "$installer" /S; wineserver -w
for f in vestrel.exe vestrel-print.exe Qt6Core.dll Qt6Widgets.dll platforms/qwindows.dll libstdc++-6.dll \
         HAND-M.CUR x/o.cjs Samples/sample1.db3 odbc/sqlite3odbc.dll uninstall.exe; do
  check "installed: $f" test -f "$program/$f"
done
check "Start-menu entry" test -n "$(find "$WINEPREFIX/drive_c" -name Vestrel.lnk -path '*Start Menu*')"
registered() { wine reg query "$odbcinst\\SQLite3 ODBC Driver" /v "$1" 2>/dev/null | tr -d '\r' | grep -F "$2"; }
check "driver registered: Driver" registered Driver 'C:\Program Files\Vestrel\odbc\sqlite3odbc.dll'
check "driver registered: Setup" registered Setup 'C:\Program Files\Vestrel\odbc\sqlite3odbc.dll'
check "driver registered: UsageCount" registered UsageCount 0x1
check "driver listed under ODBC Drivers" sh -c "wine reg query '$odbcinst\\ODBC Drivers' /v 'SQLite3 ODBC Driver' | grep -q Installed"
for ext in .db .db3 .sqlite .sqlite3; do
  check "Open with offers Vestrel for $ext" sh -c "wine reg query '$classes\\$ext\\OpenWithProgids' /v Vestrel.Database | grep -q Vestrel.Database"
done
check "Open with runs vestrel.exe with the file" sh -c "wine reg query '$classes\\Vestrel.Database\\shell\\open\\command' /ve | grep -qF '\"C:\\Program Files\\Vestrel\\vestrel.exe\" \"%1\"'"
check "the default program for .db stays" sh -c "wine reg query '$classes\\.db' /ve | grep -q OtherApp.db"
# Installed again over itself (an update): the driver is still counted once.
wine "$installer" /S; wineserver -w
check "installed again: driver counted once" registered UsageCount 0x1

# A database of the run's own, opened as "Open with" opens it: named on the command line.
public="$WINEPREFIX/drive_c/users/Public"
mkdir -p "$public"
db="$public/people.db"
sqlite3 "$db" "CREATE TABLE people(id INTEGER PRIMARY KEY, name TEXT, city TEXT);
               INSERT INTO people VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', 'Rome'), (3, 'Cy', 'Lima');"

(
  # wine's own desktop (a window of the X screen) holds the program's windows, which
  # it centres: they are worked at fixed places of the 1280x1024 screen.
  shot() { import -window root "$out/$1.png"; }
  click() { xdotool mousemove "$1" "$2" click 1; }
  cd "$out"
  wine explorer /desktop=Vestrel,1280x1024 "C:\\Program Files\\Vestrel\\vestrel.exe" 'C:\users\Public\people.db' \
    >"$out/vestrel.log" 2>&1 &
  sleep 10; shot 1-no-pdf-printer
  # "PDF Printer is not installed" is said at start where there is none: OK. The
  # start window then takes the file given and goes on to its tables by itself.
  xdotool key Return; sleep 5; shot 3-tables
  # The chooser: the database's one table is chosen: "Next >".
  click 771 597; sleep 4; shot 4-grid
  # The first row's name is typed over; Down leaves the row, which writes it.
  xdotool key Right; xdotool type --delay 80 "Anna Zoë"; xdotool key Down; sleep 2; shot 5-edited
  # "Export Table As.." > TXT, and a name in the Save dialog.
  click 895 740; sleep 1.5; xdotool key Down Return; sleep 3; shot 6-save-dialog
  xdotool type --delay 30 'C:\users\Public\people.txt'; xdotool key Return; sleep 3; shot 7-saved
  # "Quit".
  click 1051 740; sleep 2
)

check "the file opened is remembered" sh -c "wine reg query 'HKCU\\Software\\Pellorin\\Vestrel' /v SQLiteDatabase | grep -qF 'C:\\users\\Public\\people.db'"
check "the edit is in the database" test "$(sqlite3 "$db" "SELECT name FROM people WHERE id = 1")" = "Anna Zoë"
check "the other rows are untouched" test "$(sqlite3 "$db" "SELECT group_concat(name || city, ',') FROM people WHERE id > 1")" = "BobRome,CyLima"
# In the ANSI code page, as text files are written on Windows (wine's is 1252 here).
expected=$(printf 'id\tname\tcity\t\r\n1\tAnna Zo\xeb\tOslo\t\r\n2\tBob\tRome\t\r\n3\tCy\tLima\t\r\n')
check "the TXT export holds the grid" test "$(cat "$public/people.txt" 2>/dev/null)" = "$expected"
wineserver -k 2>/dev/null; wineserver -w

wine "$program/uninstall.exe" /S; wineserver -w; sleep 2
check "uninstalled: program folder gone" test ! -e "$program/vestrel.exe"
check "uninstalled: Open with entries gone" sh -c "! wine reg query '$classes\\Vestrel.Database' >/dev/null 2>&1 && ! wine reg query '$classes\\.sqlite3' >/dev/null 2>&1"
check "uninstalled: the default program for .db stays" sh -c "wine reg query '$classes\\.db' /ve | grep -q OtherApp.db"
check "uninstalled: driver registration gone" sh -c "! wine reg query '$odbcinst\\SQLite3 ODBC Driver' >/dev/null 2>&1"
echo "end-to-end under wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

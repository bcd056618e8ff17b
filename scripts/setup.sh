#!/usr/bin/env bash
# Installs what Vestrel needs on Debian 12 and registers the SQLite3 ODBC driver
# under the name the program's connection string uses. Safe to run again.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  unixodbc unixodbc-dev odbcinst libsqliteodbc sqlite3 libsqlite3-dev
  libxlsxwriter-dev zlib1g-dev
  libcups2-dev cups cups-client printer-driver-cups-pdf
  tesseract-ocr tesseract-ocr-eng poppler-utils
  fonts-liberation fontconfig
  xdg-utils file unzip xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Register the driver once more under "SQLite3 ODBC Driver" (Debian names it "SQLite3").
if ! odbcinst -q -d -n "SQLite3 ODBC Driver" >/dev/null 2>&1; then
  lib=$(dpkg -L libsqliteodbc | grep -m1 '/libsqlite3odbc\.so$')
  tmpl=$(mktemp)
  cat > "$tmpl" <<INI
[SQLite3 ODBC Driver]
Description=SQLite3 ODBC Driver
Driver=$lib
Setup=$lib
UsageCount=1
INI
  $SUDO odbcinst -i -d -f "$tmpl" >/dev/null
  rm -f "$tmpl"
fi

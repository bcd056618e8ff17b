#!/usr/bin/env bash
# A CUPS server of the tests' own, in a folder of its own, with two queues:
# "PDF Printer" (cups-pdf, PDFs into DIR/pdf) and "Office Laser" (the default).
#   test-cups.sh start DIR   prints the lines to export (CUPS_SERVER, CUPS_SERVERROOT, HOME)
#   test-cups.sh stop DIR
# Nothing of the machine's own printer set-up is touched, except one cups-pdf
# configuration file named after the folder, removed again by "stop".
set -euo pipefail
action=$1
dir=$(realpath -m "$2")
instance="vestrel$(echo -n "$dir" | md5sum | cut -c1-8)"
conf="/etc/cups/cups-pdf-$instance.conf"

stop() {
  if [ -f "$dir/cupsd.pid" ]; then
    kill "$(cat "$dir/cupsd.pid")" 2>/dev/null || true
    rm -f "$dir/cupsd.pid"
  fi
  rm -f "$conf"
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi

mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,state,log,pdf,home}
chmod 1777 "$dir/pdf" "$dir/spool/tmp"
cat > "$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root lpadmin
CONF
cat > "$dir/etc/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
DefaultAuthType None
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
CONF
cat > "$conf" <<CONF
Out $dir/pdf
AnonDirName $dir/pdf
Spool $dir/spool/cups-pdf
Grp root
UserUMask 0000
AnonUMask 0000
DecodeHexStrings 1
CONF

# Detached from our caller: its pipes must not hold up the server or its filters.
setsid /usr/sbin/cupsd -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" -f \
  </dev/null >"$dir/log/cupsd.out" 2>&1 &
echo $! > "$dir/cupsd.pid"
for _ in $(seq 1 100); do
  [ -S "$dir/cups.sock" ] && break
  sleep 0.1
done
export CUPS_SERVER="$dir/cups.sock" CUPS_SERVERROOT="$dir/etc" HOME="$dir/home"
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
lpadmin -p office -E -v "cups-pdf:/$instance" -P "$ppd" -D "Office Laser" 2>/dev/null
lpadmin -p pdfprinter -E -v "cups-pdf:/$instance" -P "$ppd" -D "PDF Printer" 2>/dev/null
lpoptions -d office >/dev/null
echo "CUPS_SERVER=$dir/cups.sock"
echo "CUPS_SERVERROOT=$dir/etc"
echo "HOME=$dir/home"

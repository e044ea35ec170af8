#!/usr/bin/env bash
# A printing service of the tests' own: a CUPS daemon with its configuration, spool, logs and
# socket in one folder, and one PDF queue as its default printer. The user's printers and the
# machine's CUPS daemon are not used.
#
#   scripts/print-service.sh start DIR   starts it; prints the variables for the tests:
#                                        CUPS_SERVER (the socket) and
#                                        TORASCAN_TEST_PRINT_OUT (where printed PDFs land)
#   scripts/print-service.sh stop DIR    stops the daemon started in DIR (by its pid) and
#                                        removes the queue's backend configuration
#
# The PDF backend reads its configuration from /etc/cups only, so one file there,
# cups-pdf-<queue>.conf, names the output folder; the queue's name is unique to DIR and the
# file is removed on stop. The daemon runs backends as root, so this needs root (or sudo).
set -euo pipefail

ACTION="${1:-}"
DIR="${2:-}"
if [ -z "$ACTION" ] || [ -z "$DIR" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

DIR=$(realpath -m "$DIR")
# A queue name of letters and digits only, the same for start and stop of one folder.
QUEUE="torascantest$(printf '%s' "$DIR" | md5sum | cut -c1-10)"
BACKEND_CONF="/etc/cups/cups-pdf-$QUEUE.conf"
SOCKET="$DIR/cups.sock"

stop_service() {
  if [ -f "$DIR/cupsd.pid" ]; then
    local pid
    pid=$(cat "$DIR/cupsd.pid")
    if kill -0 "$pid" 2>/dev/null; then
      $SUDO kill "$pid" || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$DIR/cupsd.pid"
  fi
  $SUDO rm -f "$BACKEND_CONF"
}

if [ "$ACTION" = "stop" ]; then
  stop_service
  exit 0
fi
[ "$ACTION" = "start" ] || { echo "unknown action: $ACTION" >&2; exit 2; }

PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
for needed in /usr/sbin/cupsd /usr/sbin/lpadmin /usr/lib/cups/backend/cups-pdf "$PPD"; do
  [ -e "$needed" ] || { echo "print-service: $needed is missing (scripts/setup.sh)" >&2; exit 1; }
done

mkdir -p "$DIR"/{etc/ppd,spool/tmp,cache,state,log,out}
# The daemon's user (lp) reads the configuration and writes the spool; the backend, as root,
# writes the output.
chmod 755 "$DIR" "$DIR/out"
cat > "$DIR/etc/cupsd.conf" <<EOF
Listen $SOCKET
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
MaxJobs 0
PreserveJobHistory No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
cat > "$DIR/etc/cups-files.conf" <<EOF
ServerRoot $DIR/etc
RequestRoot $DIR/spool
TempDir $DIR/spool/tmp
CacheDir $DIR/cache
StateDir $DIR/state
ErrorLog $DIR/log/error_log
AccessLog $DIR/log/access_log
PageLog $DIR/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
SystemGroup root
User lp
Group lp
FatalErrors config
EOF
$SUDO tee "$BACKEND_CONF" >/dev/null <<EOF
Out $DIR/out
Label 0
Grp root
Log $DIR/log
Spool $DIR/spool-pdf
EOF

$SUDO /usr/sbin/cupsd -f -c "$DIR/etc/cupsd.conf" -s "$DIR/etc/cups-files.conf" \
  >"$DIR/log/cupsd.out" 2>&1 &
echo $! > "$DIR/cupsd.pid"
for _ in $(seq 100); do
  [ -S "$SOCKET" ] && break
  kill -0 "$(cat "$DIR/cupsd.pid")" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$SOCKET" ]; then
  echo "print-service: the daemon did not start:" >&2
  cat "$DIR/log/cupsd.out" "$DIR/log/error_log" >&2 2>/dev/null || true
  stop_service
  exit 1
fi
# The PDF goes through PostScript on its way to the queue; the Cairo renderer keeps the text
# as text (the default one turns some of it into glyph pictures that no longer read back).
if ! /usr/sbin/lpadmin -h "$SOCKET" -p "$QUEUE" -E -v "cups-pdf:/$QUEUE" -P "$PPD" \
     -o pdftops-renderer-default=pdftocairo ||
   ! /usr/sbin/lpadmin -h "$SOCKET" -d "$QUEUE"; then
  echo "print-service: the PDF queue could not be set up" >&2
  stop_service
  exit 1
fi
echo "CUPS_SERVER=$SOCKET"
echo "TORASCAN_TEST_PRINT_OUT=$DIR/out"

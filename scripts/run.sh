#!/usr/bin/env bash
# Installs what is missing, builds, and shows the station: a station folder of its own in
# out/station (station mode, the receiver on a free port), the viewer started there with its
# receiver, the sample radiographs sent to it with storescu; the browser lists them as they are
# indexed. Without a display (no DISPLAY) the viewer runs under Xvfb until the samples are
# listed and a screenshot of the browser is written to out/station.png. The samples are also
# rendered to out/render/ as a pane paints them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${TORASCAN_BUILD_DIR:-$(scripts/build.sh | tail -n 1)}
PROGRAM="$BUILD_DIR/program"

OUT=out/render
mkdir -p "$OUT"
for f in "$PROGRAM"/samples/*.dcm; do
  name=$(basename "$f" .dcm)
  "$PROGRAM/torascan-cli" info "$f" > "$OUT/$name.json"
  "$PROGRAM/torascan-cli" render "$f" --size 1000x1000 --out "$OUT/$name.png"
done
echo "samples rendered into $OUT/"

# A program folder of its own, made afresh: the programs and their read-only files linked in
# (copied where links cannot be made), so the viewer and its receiver take their settings and
# databases from there and never from the build's folder.
STATION="$PWD/out/station"
rm -rf "$STATION"
mkdir -p "$STATION"
for name in toraScan Vantrel torascan-cli toraScan.xls Skins Pelmora.sql toraScan.sql; do
  cp -Rl "$PROGRAM/$name" "$STATION/" 2>/dev/null || cp -R "$PROGRAM/$name" "$STATION/"
done

# A port nobody answers on, from 11112 up.
PORT=11112
while (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null; do PORT=$((PORT + 1)); done
AE=VANTREL
DROP="$STATION/dcm/CR_$PORT"
cat > "$STATION/Pelmora.ini" <<EOF
[SYSTEM]
WholeSpineType=1
WholeSpinePath=$DROP
EOF
cat > "$STATION/Vantrel.ini" <<EOF
[RECEIVER]
LocalAE=$AE
LocalPort=$PORT
SavePath=$STATION/dcm
Modality=CR
EOF

VIEWER_PID=
XVFB_PID=
# The viewer first (it stops its receiver), then the virtual display.
stop() {
  if [ -n "$VIEWER_PID" ]; then
    kill "$VIEWER_PID" 2>/dev/null || true
    wait "$VIEWER_PID" 2>/dev/null || true
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}
trap stop EXIT

HEADLESS=
if [ -z "${DISPLAY:-}" ]; then
  HEADLESS=1
  DISPLAY_NUMBER=97
  while [ -e "/tmp/.X$DISPLAY_NUMBER-lock" ] || [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ]; do
    DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1))
  done
  DISPLAY_NUMBER=":$DISPLAY_NUMBER"
  Xvfb "$DISPLAY_NUMBER" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY="$DISPLAY_NUMBER"
  sleep 1
fi

# Its own runtime and temporary folders: the single-instance lock and the local sockets to its
# receiver are then this station's, and a viewer already running elsewhere is left alone.
mkdir -m 700 "$STATION/run" "$STATION/tmp"
XDG_RUNTIME_DIR="$STATION/run" TMPDIR="$STATION/tmp" "$STATION/toraScan" > out/station-viewer.log 2>&1 &
VIEWER_PID=$!

# The viewer starts its receiver with the main window.
for _ in $(seq 60); do
  echoscu -aec "$AE" 127.0.0.1 "$PORT" 2>/dev/null && break
  kill -0 "$VIEWER_PID" 2>/dev/null || { echo "the viewer ended (out/station-viewer.log)" >&2; exit 1; }
  sleep 0.5
done
echoscu -aec "$AE" 127.0.0.1 "$PORT" || { echo "no receiver on port $PORT" >&2; exit 1; }
# One association a file, so each is offered in its own transfer syntax (a compressed one as it is).
SENT=0
for f in "$PROGRAM"/samples/*.dcm; do
  storescu -aet RUNSH -aec "$AE" -xs 127.0.0.1 "$PORT" "$f"
  SENT=$((SENT + 1))
done
echo "sent $SENT sample radiographs to $AE on port $PORT"

# The browser takes them from the drop folder (its first look 5 s after it opened).
for _ in $(seq 60); do
  [ -z "$(find "$DROP" -maxdepth 1 -name '*.dcm' -print -quit 2>/dev/null)" ] && break
  sleep 0.5
done
INDEXED=$("$PROGRAM/torascan-cli" db-stats --db "$STATION/Pelmora.db" 2>/dev/null || true)
echo "station database: $STATION/Pelmora.db $INDEXED"

cat <<EOF

Send more images to this station while the viewer runs:
  storescu -aec $AE 127.0.0.1 $PORT image.dcm
  storescu -aec $AE +sd 127.0.0.1 $PORT /path/to/folder
  storescu -aec $AE -xs 127.0.0.1 $PORT jpeg-lossless.dcm   # sent as it is
They are listed in the browser as they arrive. Settings: $STATION/Pelmora.ini, Vantrel.ini.
EOF

if [ -z "$HEADLESS" ]; then
  wait "$VIEWER_PID" || true
  VIEWER_PID=
  exit 0
fi
# A moment for the lists to be painted after the last look.
sleep 2
import -window root out/station.png
echo "no display here: the station ran under Xvfb; screenshot of the browser in out/station.png"

#!/usr/bin/env bash
# Installs what is missing, builds, imports the bundled sample radiographs into the image
# database and starts the viewer on them; the browser opens at the first start and lists them.
# Without a display (no DISPLAY) the viewer runs under Xvfb for a few seconds and a screenshot
# is written to out/viewer.png; the samples are also rendered to out/render/ as a pane paints them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=$(scripts/build.sh | tail -n 1)
PROGRAM="$BUILD_DIR/program"
SAMPLES=("$PROGRAM"/samples/TS0001_chest_pa.dcm "$PROGRAM"/samples/TS0002_chest_pa.dcm)

OUT=out/render
mkdir -p "$OUT"
for f in "$PROGRAM"/samples/*.dcm; do
  name=$(basename "$f" .dcm)
  "$PROGRAM/torascan-cli" info "$f" > "$OUT/$name.json"
  "$PROGRAM/torascan-cli" render "$f" --size 1000x1000 --out "$OUT/$name.png"
done
echo "samples rendered into $OUT/"
# The samples into the image database of the program folder, so the browser lists them.
"$PROGRAM/torascan-cli" import --db "$PROGRAM/Pelmora.db" "$PROGRAM/samples" > out/import.json
echo "samples imported into $PROGRAM/Pelmora.db (out/import.json)"

if [ -n "${DISPLAY:-}" ]; then
  exec "$PROGRAM/toraScan" --layout 1x2 "${SAMPLES[@]}"
fi

# No display: a virtual one, the viewer in it, a screenshot, then both end.
DISPLAY_NUMBER=:97
Xvfb "$DISPLAY_NUMBER" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
export DISPLAY="$DISPLAY_NUMBER"
sleep 1
"$PROGRAM/toraScan" --layout 1x2 "${SAMPLES[@]}" &
VIEWER_PID=$!
sleep 6
import -window root out/viewer.png
kill "$VIEWER_PID" 2>/dev/null || true
wait "$VIEWER_PID" 2>/dev/null || true
echo "no display here: the viewer ran under Xvfb; screenshot in out/viewer.png"

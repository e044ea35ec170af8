#!/usr/bin/env bash
# Installs what is missing, builds, and shows the bundled sample radiographs:
# each sample is read, windowed and fitted into a 1000 x 1000 pane, written to out/render/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=$(scripts/build.sh | tail -n 1)
PROGRAM="$BUILD_DIR/program"
OUT=out/render
mkdir -p "$OUT"
for f in "$PROGRAM"/samples/*.dcm; do
  name=$(basename "$f" .dcm)
  "$PROGRAM/torascan-cli" info "$f" > "$OUT/$name.json"
  "$PROGRAM/torascan-cli" render "$f" --size 1000x1000 --out "$OUT/$name.png"
  echo "rendered $OUT/$name.png"
done
# One montage of every sample, so the result can be seen at a glance without a display.
if command -v montage >/dev/null 2>&1; then
  montage "$OUT"/*.png -tile 4x -geometry 250x250+4+4 -background '#202020' "$OUT/all-samples.png"
  echo "overview: $OUT/all-samples.png"
fi

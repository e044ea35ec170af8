#!/usr/bin/env bash
# Speed of the command line against DCMTK's own tools, in one run on one machine:
#  1. `torascan-cli info` of a small file, process start included, beside `dcmdump` (medians);
#  2. opening a 3000 x 3000 JPEG lossless file into a painted pane (bench_image's median);
#  3. `torascan-cli render` of every file under the test data folder (recursive) beside
#     `dcmj2pnm` writing a PNG of the same file: the median over the files both render, and
#     apart the files only one of them renders.
# Usage: bench/cli_bench.sh [BUILD_DIR] [TESTDATA_DIR]   (defaults: build, ../shared/testdata)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
TESTDATA="${2:-${TORASCAN_TESTDATA_DIR:-$PWD/../shared/testdata}}"
CLI="$BUILD_DIR/program/torascan-cli"
RUNS="${TORASCAN_BENCH_RUNS:-5}"

if ! command -v hyperfine >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends hyperfine
fi
for tool in "$CLI" dcmdump dcmj2pnm; do
  command -v "$tool" >/dev/null || { echo "cli_bench: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# median_ms CSV ROW: the median (ms) of one command of a hyperfine CSV export (row 1, 2, ...).
median_ms() { awk -F, -v row="$2" 'NR == row + 1 { printf "%.1f", $4 * 1000 }' "$1"; }

echo "== info of a small file (process start included), median of 50 runs"
small="$TESTDATA/dicom/mr_small_le.dcm"
hyperfine -N -w 5 -r 50 --export-csv "$work/info.csv" "$CLI info $small" "dcmdump $small" \
  >/dev/null
printf '  torascan-cli info  %6s ms\n  dcmdump            %6s ms\n' \
  "$(median_ms "$work/info.csv" 1)" "$(median_ms "$work/info.csv" 2)"

echo "== open a 3000 x 3000 JPEG lossless file into a painted 1000 x 1000 pane"
"$BUILD_DIR/bench/bench_image" --benchmark_filter=BM_OpenToPane_JpegLossless \
  --benchmark_format=csv 2>/dev/null |
  awk -F, '/_median/ { printf "  median             %6.1f ms (CPU %.1f ms)\n", $3, $4 }'

echo "== render every test file into a PNG of its own size: torascan-cli render against dcmj2pnm"
mapfile -d '' files < <(find "$TESTDATA/dicom" -type f ! -name '*.md' ! -name '*.txt' \
  ! -name 'SHA256SUMS' -print0 | sort -z)
both=()
only_ours=()
only_dcmtk=()
neither=()
# Each file's image size is the pane size of its render: both tools then write as many pixels.
declare -A sizes
for f in "${files[@]}"; do
  info=$("$CLI" info "$f" 2>/dev/null || true)
  width=$(sed -n 's/^    "width": \([0-9]*\),*$/\1/p' <<<"$info")
  height=$(sed -n 's/^    "height": \([0-9]*\),*$/\1/p' <<<"$info")
  sizes[$f]="${width:-0}x${height:-0}"
done
for f in "${files[@]}"; do
  ours=0
  dcmtk=0
  "$CLI" render "$f" --size "${sizes[$f]}" --out "$work/ours.png" >/dev/null 2>&1 && ours=1
  dcmj2pnm --write-png "$f" "$work/dcmtk.png" >/dev/null 2>&1 && dcmtk=1
  name="${f#"$TESTDATA"/dicom/}"
  case "$ours$dcmtk" in
    11) both+=("$f") ;;
    10) only_ours+=("$name") ;;
    01) only_dcmtk+=("$name") ;;
    *) neither+=("$name") ;;
  esac
done
: >"$work/ours.txt"
: >"$work/dcmtk.txt"
for f in "${both[@]}"; do
  hyperfine -N -w 1 -r "$RUNS" --export-csv "$work/render.csv" \
    "$CLI render $f --size ${sizes[$f]} --out $work/ours.png" \
    "dcmj2pnm --write-png $f $work/dcmtk.png" >/dev/null 2>&1
  median_ms "$work/render.csv" 1 >>"$work/ours.txt"
  echo >>"$work/ours.txt"
  median_ms "$work/render.csv" 2 >>"$work/dcmtk.txt"
  echo >>"$work/dcmtk.txt"
done
median_of() { sort -n "$1" | awk '{ v[NR] = $1 } END { if (NR) printf "%.1f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
sum_of() { awk '{ s += $1 } END { printf "%.0f", s }' "$1"; }
printf '  files rendered by both: %d of %d\n' "${#both[@]}" "${#files[@]}"
printf '  median per file   torascan-cli %6s ms   dcmj2pnm %6s ms\n' \
  "$(median_of "$work/ours.txt")" "$(median_of "$work/dcmtk.txt")"
printf '  sum over files    torascan-cli %6s ms   dcmj2pnm %6s ms\n' \
  "$(sum_of "$work/ours.txt")" "$(sum_of "$work/dcmtk.txt")"
printf '  only torascan-cli renders (%d): %s\n' "${#only_ours[@]}" "${only_ours[*]:-}"
printf '  only dcmj2pnm renders (%d): %s\n' "${#only_dcmtk[@]}" "${only_dcmtk[*]:-}"
printf '  neither renders (%d): %s\n' "${#neither[@]}" "${neither[*]:-}"

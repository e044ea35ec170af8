#!/usr/bin/env bash
# From the modality to the archive: storescu sends COUNT small CR files (~24 KB) in one
# association to Vantrel on 127.0.0.1, and `torascan-cli watch` indexes them from the drop folder
# into a fresh image database, moving each into the archive. Timed from the start of the send to
# the last image indexed (the watcher's JSON lines add up to COUNT). ROUNDS runs; prints each
# run and the median files per second (the goal: 500 or more).
#
#   bench/watch_bench.sh [BUILD_DIR]      (default: build)
#   COUNT=2000 ROUNDS=5                   (environment, the defaults)
set -euo pipefail

build_dir=$(cd "${1:-build}" && pwd)
count=${COUNT:-2000}
rounds=${ROUNDS:-5}
vantrel_built="$build_dir/program/Vantrel"
cli="$build_dir/program/torascan-cli"
for built in "$vantrel_built" "$cli"; do
  [ -x "$built" ] || { echo "no $built: build Vantrel and torascan-cli first" >&2; exit 2; }
done
for tool in dump2dcm dcmodify storescu echoscu; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh installs it)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/watch-bench-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export TCP_NODELAY=1
# shellcheck source=bench/bench_lib.sh
. "$(dirname "$0")/bench_lib.sh"

# The images the watcher has indexed so far, from its JSON lines.
indexed() {
  grep -o '"imported":[0-9]*' "$1" 2>/dev/null | awk -F: '{ n += $2 } END { print n + 0 }'
}

now() { date +%s.%N; }

echo "corpus: $count files of ~24 KB (in $work)"
make_set small "$count" 110 110

rates=()
for round in $(seq 1 "$rounds"); do
  save="$work/save-$round"
  port=$(free_port)
  drop="$save/CR_$port"
  db="$work/Pelmora-$round.db"
  "$cli" db-fill --db "$db" --patients 0 >/dev/null
  start_vantrel "$port" "$save"
  pids+=($!)
  wait_for_echo "$port" Vantrel
  "$cli" watch --db "$db" --folder "$drop" >"$work/watch.log" &
  pids+=($!)
  sleep 1  # the watcher's first, empty pass is over

  start=$(now)
  storescu -R +sd -aec VANTREL 127.0.0.1 "$port" "$work/corpus/small" >"$work/storescu.log" 2>&1 ||
    { cat "$work/storescu.log" >&2; exit 1; }
  sent=$(now)
  deadline=$((SECONDS + 120))
  while [ "$(indexed "$work/watch.log")" -lt "$count" ]; do
    [ $SECONDS -lt $deadline ] || { echo "round $round: only $(indexed "$work/watch.log") indexed" >&2; exit 1; }
    sleep 0.01
  done
  done_at=$(now)

  for pid in "${pids[@]}"; do kill -TERM "$pid"; wait "$pid" || true; done
  pids=()
  archived=$(find "$save/archive" -type f | wc -l)
  [ "$archived" -eq "$count" ] || { echo "round $round: $archived files in the archive" >&2; exit 1; }
  rate=$(awk -v s="$start" -v e="$done_at" -v n="$count" 'BEGIN { printf "%.0f", n / (e - s) }')
  awk -v s="$start" -v m="$sent" -v e="$done_at" -v r="$rate" -v i="$round" \
    'BEGIN { printf "round %d: sent in %.2f s, last indexed after %.2f s: %d files/s\n", i, m - s, e - s, r }'
  rates+=("$rate")
  rm -rf "$save" "$db" "$db"-*
done

median=$(printf '%s\n' "${rates[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
echo "median: $median files/s from the start of the send to the last image indexed ($count files)"

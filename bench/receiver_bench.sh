#!/usr/bin/env bash
# Receiving speed of the companion Vantrel against DCMTK's storescp, in the same run.
#
# Makes a corpus with DCMTK (dump2dcm, dcmodify) in a temporary folder: SMALL CR files of about
# 24 KB and LARGE CR files of about 7.5 MB. Then, ROUNDS times and in turns, starts each receiver
# on a free loopback port and times storescu sending each set in one association. Both ends run
# with TCP_NODELAY=1. Prints the median wall seconds per receiver and set with the ratio
# storescp / Vantrel (1.0 or more: Vantrel at least as fast), and the same for the CPU seconds
# the receiving process spent, which a busy machine disturbs less.
#
#   bench/receiver_bench.sh [BUILD_DIR]      (default: build)
#   SMALL=2000 LARGE=200 ROUNDS=3            (environment, the defaults)
#   STORESCP_OPTS="-pdu 131072"              (extra storescp options, e.g. Vantrel's PDU size)
set -euo pipefail

build_dir=$(cd "${1:-build}" && pwd)
small=${SMALL:-2000}
large=${LARGE:-200}
rounds=${ROUNDS:-3}
vantrel_built="$build_dir/program/Vantrel"
[ -x "$vantrel_built" ] || { echo "no $vantrel_built: build the target Vantrel first" >&2; exit 2; }
# shellcheck source=bench/bench_lib.sh
. "$(dirname "$0")/bench_lib.sh"
bench_setup receiver-bench

# start_receiver KIND PORT OUT: starts Vantrel (from a program folder of its own) or storescp,
# receiving into OUT, and waits until it answers an echo.
start_receiver() {
  local kind=$1 port=$2 out=$3
  mkdir -p "$out"
  if [ "$kind" = Vantrel ]; then
    start_vantrel "$port" "$out"
  else
    # shellcheck disable=SC2086  # the options are words
    storescp ${STORESCP_OPTS:-} -aet STORESCP -od "$out" "$port" &
  fi
  receiver_pid=$!
  wait_for_echo "$port" "$kind"
}

stop_receiver() {
  kill -TERM "$receiver_pid"
  wait "$receiver_pid" || true
  receiver_pid=""
}

# CPU seconds (user and system) the receiver has spent so far.
receiver_cpu() {
  awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$receiver_pid/stat"
}

# send SET PORT: wall seconds storescu takes to send the set in one association, and the
# receiver's CPU seconds meanwhile.
send() {
  local start end cpu_start cpu_end
  cpu_start=$(receiver_cpu)
  start=$(date +%s.%N)
  storescu -R +sd -aec VANTREL 127.0.0.1 "$2" "$work/corpus/$1" >"$work/storescu.log" 2>&1 ||
    { cat "$work/storescu.log" >&2; exit 1; }
  end=$(date +%s.%N)
  cpu_end=$(receiver_cpu)
  awk -v s="$start" -v e="$end" -v c0="$cpu_start" -v c1="$cpu_end" \
    'BEGIN { printf "%.3f %.2f\n", e - s, c1 - c0 }'
}

echo "corpus: $small files of ~24 KB, $large files of ~7.5 MB (in $work)"
make_set small "$small" 110 110
make_set large "$large" 2048 1830

declare -A times cpus
for round in $(seq 1 "$rounds"); do
  order="Vantrel storescp"
  [ $((round % 2)) -eq 0 ] && order="storescp Vantrel"
  for kind in $order; do
    port=$(free_port)
    out="$work/received-$kind"
    start_receiver "$kind" "$port" "$out"
    for set in small large; do
      read -r seconds cpu < <(send "$set" "$port")
      times[$kind-$set]="${times[$kind-$set]:-} $seconds"
      cpus[$kind-$set]="${cpus[$kind-$set]:-} $cpu"
    done
    stop_receiver
    received=$(find "$out" -type f ! -name '.*' | wc -l)
    expected=$((small + large))
    [ "$received" -eq "$expected" ] || { echo "$kind kept $received of $expected files" >&2; exit 1; }
    rm -rf "$out"
  done
  echo "round $round done"
done

# shellcheck disable=SC2086  # one value per word
median() { printf '%s\n' $1 | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
# table TITLE ARRAY: the medians of both receivers per set, and their ratio.
table() {
  local -n values=$2
  printf '\n%-14s %10s %10s %7s   (all rounds: Vantrel | storescp)\n' "$1" Vantrel storescp ratio
  for set in small large; do
    local v s
    v=$(median "${values[Vantrel-$set]}")
    s=$(median "${values[storescp-$set]}")
    printf '%-14s %10s %10s %7s   (%s |%s)\n' "$set" "$v" "$s" \
      "$(awk -v s="$s" -v v="$v" 'BEGIN { printf "%.2f", s / (v > 0.01 ? v : 0.01) }')" \
      "${values[Vantrel-$set]# }" "${values[storescp-$set]}"
  done
}
table "wall s" times
table "receiver CPU s" cpus

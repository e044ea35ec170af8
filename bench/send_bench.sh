#!/usr/bin/env bash
# Sending speed of torascan-cli send against DCMTK's storescu, in the same run.
#
# Makes a corpus with DCMTK in a temporary folder: SMALL CR files of about 24 KB and LARGE CR
# files of about 7.5 MB, each set indexed into an image database of its own with a node for the
# receiver. Then, ROUNDS times and in turns, times storescu sending each set in one association
# and torascan-cli send sending the same set as one job, to the same storescp on a free loopback
# port. Every end has TCP_NODELAY (storescp and storescu through the environment, the sender
# always). Prints the median wall seconds per sender and set and the ratio storescu / send (1.0
# or more: send at least as fast).
#
#   bench/send_bench.sh [BUILD_DIR]       (default: build)
#   SMALL=2000 LARGE=100 ROUNDS=3         (environment, the defaults)
set -euo pipefail

build_dir=$(cd "${1:-build}" && pwd)
small=${SMALL:-2000}
large=${LARGE:-100}
rounds=${ROUNDS:-3}
cli="$build_dir/program/torascan-cli"
[ -x "$cli" ] || { echo "no $cli: build the target torascan-cli first" >&2; exit 2; }
# shellcheck source=bench/bench_lib.sh
. "$(dirname "$0")/bench_lib.sh"
bench_setup send-bench

echo "corpus: $small files of ~24 KB, $large files of ~7.5 MB (in $work)"
make_set small "$small" 110 110
make_set large "$large" 2048 1830
port=$(free_port)
mkdir -p "$work/received"
storescp -q -aet STORESCP -od "$work/received" "$port" &
receiver_pid=$!
wait_for_echo "$port" storescp
for set in small large; do
  "$cli" import --db "$work/$set.db" --recursive "$work/corpus/$set" >/dev/null
  "$cli" node add --db "$work/$set.db" --name PACS --ae STORESCP --host 127.0.0.1 \
    --port "$port" >/dev/null
done

# timed SENDER SET: wall seconds the sender takes for the set; the receiver's folder is emptied
# after it, once every file is checked to be there.
timed() {
  local start end
  start=$(date +%s.%N)
  if [ "$1" = storescu ]; then
    storescu -R +sd -aec STORESCP 127.0.0.1 "$port" "$work/corpus/$2" >"$work/sender.log" 2>&1 ||
      { cat "$work/sender.log" >&2; exit 1; }
  else
    "$cli" send --db "$work/$2.db" --node PACS --patient BENCH >"$work/sender.log" 2>&1 ||
      { cat "$work/sender.log" >&2; exit 1; }
  fi
  end=$(date +%s.%N)
  local expected=$small
  [ "$2" = large ] && expected=$large
  local got
  got=$(find "$work/received" -type f | wc -l)
  [ "$got" -eq "$expected" ] || { echo "$1 delivered $got of $expected $2 files" >&2; exit 1; }
  rm -rf "$work/received" && mkdir -p "$work/received"
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

declare -A times
for round in $(seq 1 "$rounds"); do
  order="send storescu"
  [ $((round % 2)) -eq 0 ] && order="storescu send"
  for sender in $order; do
    for set in small large; do
      times[$sender-$set]="${times[$sender-$set]:-} $(timed "$sender" "$set")"
    done
  done
  echo "round $round done"
done

# shellcheck disable=SC2086  # one value per word
median() { printf '%s\n' $1 | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
printf '\n%-8s %10s %10s %7s   (all rounds: send | storescu)\n' "wall s" send storescu ratio
for set in small large; do
  t=$(median "${times[send-$set]}")
  s=$(median "${times[storescu-$set]}")
  printf '%-8s %10s %10s %7s   (%s |%s)\n' "$set" "$t" "$s" \
    "$(awk -v s="$s" -v t="$t" 'BEGIN { printf "%.2f", s / (t > 0.01 ? t : 0.01) }')" \
    "${times[send-$set]# }" "${times[storescu-$set]}"
done

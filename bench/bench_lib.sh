# Shared by the network benchmarks (sourced): their setting up, a free port, a corpus made with
# DCMTK, the companion started from a program folder of its own. bench_setup makes `work` (a
# temporary folder); the receiving benchmark sets `vantrel_built` (the built Vantrel).

# bench_setup NAME: checks for DCMTK's programs, makes the temporary folder `work`, removed at
# exit together with the receiver whose pid is in `receiver_pid`, and turns Nagle's delay off
# for DCMTK's programs.
bench_setup() {
  local tool
  for tool in dump2dcm dcmodify storescu storescp echoscu; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh installs it)" >&2; exit 2; }
  done
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1-XXXXXX")
  receiver_pid=""
  trap bench_cleanup EXIT
  export TCP_NODELAY=1
}

bench_cleanup() {
  if [ -n "$receiver_pid" ]; then
    kill "$receiver_pid" 2>/dev/null || true
    wait "$receiver_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}

# A port that nothing on this machine answers on, below the range the system hands out to
# outgoing connections: a port there may still be held by a closed connection of an earlier
# round (TIME_WAIT) and refuse a receiver that wants to listen on it.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 12000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

# make_set NAME COUNT COLUMNS ROWS: COUNT copies of one CR image, each with a SOP Instance UID of
# its own.
make_set() {
  local name=$1 count=$2 columns=$3 rows=$4 dir="$work/corpus/$1"
  mkdir -p "$dir"
  head -c $((columns * rows * 2)) /dev/urandom >"$work/$name.raw"
  cat >"$work/$name.dump" <<EOF
(0008,0016) UI =ComputedRadiographyImageStorage
(0008,0018) UI [1.2.826.0.1.3680043.2.1125.9.1]
(0008,0060) CS [CR]
(0010,0010) PN [Bench^$name]
(0010,0020) LO [BENCH]
(0020,000d) UI [1.2.826.0.1.3680043.2.1125.9.0.1]
(0020,000e) UI [1.2.826.0.1.3680043.2.1125.9.0.2]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0010) US $rows
(0028,0011) US $columns
(0028,0100) US 16
(0028,0101) US 12
(0028,0102) US 11
(0028,0103) US 0
(7fe0,0010) OW =$work/$name.raw
EOF
  dump2dcm -q +te "$work/$name.dump" "$dir/0.dcm"
  for i in $(seq 1 $((count - 1))); do cp "$dir/0.dcm" "$dir/$i.dcm"; done
  (cd "$dir" && find . -name '*.dcm' -print0 | xargs -0 dcmodify -q -nb -gin)
  rm "$work/$name.raw" "$work/$name.dump"
}

# start_vantrel PORT SAVEPATH: Vantrel from a program folder of its own, receiving on PORT into
# SAVEPATH/CR_PORT, in the background ($! is its pid).
start_vantrel() {
  local program="$work/program"
  mkdir -p "$program"
  cp "$vantrel_built" "$program/Vantrel"
  printf '[RECEIVER]\nLocalPort=%s\nSavePath=%s\n' "$1" "$2" >"$program/Vantrel.ini"
  "$program/Vantrel" --manager-name "bench-$$" >/dev/null &
}

# wait_for_echo PORT NAME: until whatever listens on PORT answers an echo (10 s at most), called
# by the companion's AE title (storescp answers any).
wait_for_echo() {
  for _ in $(seq 1 100); do
    echoscu -aec VANTREL 127.0.0.1 "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "$2 did not answer on port $1" >&2
  exit 1
}

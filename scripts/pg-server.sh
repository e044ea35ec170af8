#!/usr/bin/env bash
# A private PostgreSQL server for the tests and benchmarks: its data and its local socket in a
# folder of its own, no TCP port, no password (only the socket's owner can reach it).
#
#   scripts/pg-server.sh start DIR   creates the cluster in DIR when it has none, starts the
#                                    server and prints the URL of its "postgres" database
#   scripts/pg-server.sh stop DIR    stops the server started in DIR (by its pid) and removes DIR
#
# As root the server runs as the unprivileged user "nobody", which must own DIR; the socket stays
# reachable by root.
set -euo pipefail
action=${1:?usage: pg-server.sh start|stop DIR}
dir=${2:?usage: pg-server.sh start|stop DIR}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/postgres" ] || { echo "pg-server: PostgreSQL is not installed" >&2; exit 1; }
as_owner=()
if [ "$(id -u)" -eq 0 ]; then as_owner=(runuser -u nobody --); fi
user=torascan

case "$action" in
start)
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  [ ${#as_owner[@]} -eq 0 ] || chown nobody "$dir"
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    "${as_owner[@]}" "$bin/initdb" -D "$dir/data" -U "$user" --auth=trust --encoding=UTF8 \
      --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
  fi
  # Throw-away data: no waiting for the disc on commits.
  "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off \
        -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
  echo "postgresql://$user@/postgres?host=$dir"
  ;;
stop)
  [ -d "$dir" ] || exit 0
  if [ -f "$dir/data/postmaster.pid" ]; then
    pid=$(head -n 1 "$dir/data/postmaster.pid")
    # The fast shutdown ends the server's connections; wait until its pid is gone.
    kill -INT "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -rf "$dir"
  ;;
*)
  echo "usage: pg-server.sh start|stop DIR" >&2
  exit 2
  ;;
esac

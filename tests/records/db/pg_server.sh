#!/usr/bin/env bash
# Throw-away PostgreSQL cluster for the production database tests.
#   pg_server.sh start STATE_DIR   initialise and start a cluster, write STATE_DIR/server.env
#   pg_server.sh stop  STATE_DIR   stop it and remove its files
# The cluster lives in a fresh temporary directory, listens on 127.0.0.1 only, on a free port,
# with its unix socket in that directory. Each build tree passes its own STATE_DIR, so several
# clusters can run side by side. initdb refuses to run as root, so under root the server runs
# as an unprivileged system user.
set -euo pipefail

PG_BIN=${ORDAN_PG_BIN:-/usr/lib/postgresql/15/bin}
SERVER_USER=ordan-pgtest
action=${1:?usage: pg_server.sh start|stop STATE_DIR}
state_dir=${2:?usage: pg_server.sh start|stop STATE_DIR}
env_file=$state_dir/server.env

as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$run_user" -- "$@"
  else
    "$@"
  fi
}

pick_user() {
  run_user=$(id -un)
  [ "$(id -u)" -eq 0 ] || return 0
  if ! id -u "$SERVER_USER" >/dev/null 2>&1; then
    # Another build tree may create it at the same moment; only its existence matters.
    useradd --system --no-create-home --shell /usr/sbin/nologin "$SERVER_USER" 2>/dev/null || true
  fi
  if id -u "$SERVER_USER" >/dev/null 2>&1; then
    run_user=$SERVER_USER
  else
    run_user=nobody
  fi
}

stop_server() {
  [ -f "$env_file" ] || return 0
  # shellcheck disable=SC1090
  . "$env_file"
  run_user=$ORDAN_PG_USER_OS
  if [ -d "$ORDAN_PG_DIR/data" ]; then
    as_server "$PG_BIN/pg_ctl" -D "$ORDAN_PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf -- "$ORDAN_PG_DIR"
  rm -f -- "$env_file"
}

start_server() {
  [ -x "$PG_BIN/initdb" ] || { echo "PostgreSQL binaries not found in $PG_BIN" >&2; exit 1; }
  mkdir -p "$state_dir"
  stop_server # a cluster left over from an interrupted run
  pick_user
  local dir password
  dir=$(mktemp -d "${TMPDIR:-/tmp}/ordan-pg.XXXXXX")
  chmod 755 "$dir"
  password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
  printf '%s\n' "$password" >"$dir/pwfile"
  chown -R "$run_user" "$dir"
  if ! as_server "$PG_BIN/initdb" -D "$dir/data" -U ordan --pwfile="$dir/pwfile" \
      --auth-local=scram-sha-256 --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 \
      >"$dir/initdb.log" 2>&1; then
    cat "$dir/initdb.log" >&2
    rm -rf -- "$dir"
    exit 1
  fi
  rm -f "$dir/pwfile"
  local port attempt durability="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  # The benchmarks measure a server that really writes its log (ORDAN_PG_DURABLE=1).
  [ "${ORDAN_PG_DURABLE:-0}" = 1 ] && durability=""
  for attempt in $(seq 1 20); do
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    if as_server "$PG_BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
        -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir
            $durability -c max_connections=40 -c shared_buffers=16MB" start >/dev/null 2>&1; then
      cat >"$env_file" <<ENV
ORDAN_PG_DIR=$dir
ORDAN_PG_USER_OS=$run_user
ORDAN_PG_HOST=127.0.0.1
ORDAN_PG_PORT=$port
ORDAN_PG_USER=ordan
ORDAN_PG_PASSWORD=$password
ENV
      chmod 600 "$env_file"
      echo "PostgreSQL test server on 127.0.0.1:$port, data in $dir"
      return 0
    fi
    # A port somebody else holds is the usual reason; anything else repeats and is shown below.
    echo "start attempt $attempt on port $port failed" >&2
  done
  cat "$dir/server.log" >&2 || true
  rm -rf -- "$dir"
  exit 1
}

case $action in
  start) start_server ;;
  stop) stop_server ;;
  *) echo "unknown action $action" >&2; exit 2 ;;
esac

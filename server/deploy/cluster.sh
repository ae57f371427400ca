#!/usr/bin/env bash
# The vendor server as deployed past one machine, all on loopback: a PostgreSQL cluster of its
# own in the state folder, N instances (each a front and its signer) sharing it, and nginx in
# front of them (plain HTTP and TLS with a self-signed development certificate).
#   cluster.sh start [--state DIR] [--instances 2] [--http-port 8030] [--tls-port 8443]
#                    [--key FILE] [--server FILE] [--definitions DIR]
#   cluster.sh stop [--state DIR]
#   cluster.sh kill-instance N | kill-database | start-database  [--state DIR]
# PostgreSQL will not run as root: as root it runs as the postgres user.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cmd=${1:-}
shift || true
state=$here/build/cluster instances=2 http_port=8030 tls_port=8443
key=$here/build/keys/signing-key.pem server=$here/build/native/server/kestrix-server definitions= which=
if [ "$cmd" = kill-instance ]; then which=${1:?which instance}; shift; fi
while [ $# -gt 0 ]; do
  case $1 in
    --state) state=$2 ;;
    --instances) instances=$2 ;;
    --http-port) http_port=$2 ;;
    --tls-port) tls_port=$2 ;;
    --key) key=$2 ;;
    --server) server=$2 ;;
    --definitions) definitions=$2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
mkdir -p "$state"
state=$(cd "$state" && pwd)
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
as_pg=()
[ "$(id -u)" -eq 0 ] && as_pg=(runuser -u postgres --)
pg_user=$([ "$(id -u)" -eq 0 ] && echo postgres || id -un)
pg_port=$((http_port + 1000))
db="postgresql:///kestrix?host=$state/pg&port=$pg_port&user=$pg_user"
front_port() { echo $((http_port + 100 + $1)); }

start_database() {
  "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$state/pg/data" -w -l "$state/pg/server.log" \
    -o "-c listen_addresses='' -c unix_socket_directories=$state/pg -p $pg_port -c max_connections=200" start >/dev/null
}

start_instance() {  # N
  local n=$1 sock="$state/signer-$1.sock"
  "$server" signer --signer "$sock" --db "$db" --key "$key" >>"$state/signer-$n.log" 2>&1 &
  echo $! >"$state/signer-$n.pid"
  # Generous waits: a loaded machine (or a sanitizer build) starts slowly.
  for _ in $(seq 300); do [ -S "$sock" ] && break; sleep 0.05; done
  "$server" serve --port "$(front_port "$n")" --db "$db" --signer "$sock" --trust-proxy 127.0.0.1 \
    >>"$state/front-$n.log" 2>&1 &
  echo $! >"$state/front-$n.pid"
}

wait_http() {  # port path
  for _ in $(seq 300); do curl -sf -o /dev/null "http://127.0.0.1:$1$2" && return 0; sleep 0.1; done
  echo "nothing answers on 127.0.0.1:$1$2" >&2
  return 1
}

stop_pid() {  # pid file
  [ -f "$1" ] || return 0
  kill "$(cat "$1")" 2>/dev/null || true
  rm -f "$1"
}

case $cmd in
  start)
    [ -n "$pg_bin" ] || { echo "PostgreSQL is not installed (apt-get install postgresql)" >&2; exit 1; }
    [ -x "$server" ] || { echo "no kestrix-server at $server (scripts/build.sh native)" >&2; exit 1; }
    command -v nginx >/dev/null || { echo "nginx is not installed (apt-get install nginx-light)" >&2; exit 1; }
    if [ ! -d "$state/pg/data" ]; then
      mkdir -p "$state/pg"
      [ "$(id -u)" -eq 0 ] && chown postgres "$state/pg"
      "${as_pg[@]}" "$pg_bin/initdb" -D "$state/pg/data" -A trust -U "$pg_user" >"$state/pg/initdb.log"
      start_database
      "${as_pg[@]}" "$pg_bin/psql" -q -h "$state/pg" -p "$pg_port" -U "$pg_user" -d postgres -c "CREATE DATABASE kestrix"
    else
      start_database
    fi
    "$server" migrate --db "$db"
    [ -n "$definitions" ] && "$server" import "$definitions" --db "$db"
    for n in $(seq "$instances"); do start_instance "$n"; done
    mkdir -p "$state/tls" "$state/nginx"
    [ -f "$state/tls/cert.pem" ] || openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=localhost \
      -keyout "$state/tls/key.pem" -out "$state/tls/cert.pem" 2>/dev/null
    upstreams=
    for n in $(seq "$instances"); do
      upstreams+="    server 127.0.0.1:$(front_port "$n") max_fails=1 fail_timeout=2s;"$'\n'
    done
    sed -e "s|@STATE@|$state|g" -e "s|@HTTP_PORT@|$http_port|g" -e "s|@TLS_PORT@|$tls_port|g" \
      "$here/server/deploy/nginx.conf.in" | awk -v u="$upstreams" '{ if ($0 == "@UPSTREAMS@") printf "%s", u; else print }' \
      >"$state/nginx.conf"
    # nginx's workers run as nobody when started by root: they write the cache and read the key.
    [ "$(id -u)" -eq 0 ] && chown -R nobody "$state/nginx" "$state/tls"
    nginx -c "$state/nginx.conf" -p "$state/nginx" -e "$state/nginx/error.log"
    for n in $(seq "$instances"); do wait_http "$(front_port "$n")" /health; done
    wait_http "$http_port" /health
    echo "kestrix cluster: http://127.0.0.1:$http_port https://127.0.0.1:$tls_port (database $db, state $state)"
    ;;
  stop)
    [ -f "$state/nginx/nginx.pid" ] && nginx -c "$state/nginx.conf" -p "$state/nginx" -s stop 2>/dev/null || true
    for f in "$state"/front-*.pid "$state"/signer-*.pid; do stop_pid "$f"; done
    [ -d "$state/pg/data" ] && { "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$state/pg/data" -m fast stop >/dev/null 2>&1 || true; }
    ;;
  kill-instance)
    kill -9 "$(cat "$state/front-$which.pid")" && rm -f "$state/front-$which.pid"
    ;;
  kill-database)
    "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$state/pg/data" -m immediate stop >/dev/null
    ;;
  start-database)
    start_database
    ;;
  *)
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac

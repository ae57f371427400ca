#!/usr/bin/env bash
# Live Update and a submission from the real program under Wine through nginx to the cluster
# (PostgreSQL, two instances each with its signer), all started by server/deploy/cluster.sh.
#   live_update_cluster_e2e.sh <kestrix-server> <kestrix_gui_tests.exe> <source dir> <signing key>
set -u
server=$1 tests=$2 src=$3 key=$4
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$server" ] || { echo "no vendor server at $server (scripts/build.sh native builds it)"; exit 1; }
state=$(mktemp -d /tmp/kx-cluster-e2e.XXXXXX)
chmod 755 "$state"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
http_port=$(free_port) tls_port=$(free_port)
cluster() { "$src/server/deploy/cluster.sh" "$@" --state "$state" --server "$server" --key "$key" \
  --http-port "$http_port" --tls-port "$tls_port"; }
trap 'cluster stop >/dev/null 2>&1; rm -rf "$state"' EXIT
cluster start >"$state/start.log" 2>&1 || { cat "$state/start.log"; exit 1; }
pg_user=$([ "$(id -u)" -eq 0 ] && echo postgres || id -un)
db="postgresql:///kestrix?host=$state/pg&port=$((http_port + 1000))&user=$pg_user"
"$server" import "$src/packaging/definitions" --db "$db" --at "1/15/2026 12:00:00 PM" >/dev/null || exit 1

status=0
run() {  # case-name gtest-case
  KESTRIX_E2E_SERVER="http://127.0.0.1:$http_port" KESTRIX_E2E_CASE=$1 "$here/../../cmake/wine-run.sh" "$tests" \
    --gtest_filter="LiveUpdateE2E.$2" || { echo "FAILED: $1 through nginx"; status=1; }
}
run first AFirstUpdateFromTheDefaultDateBringsTheFullSet
run submission ASubmittedFileNameReachesTheServer
# The submission went through nginx and an instance into the shared database.
python3 - "$state/pg" "$((http_port + 1000))" "$pg_user" <<'PY' || { echo "FAILED: the submission is not in the cluster's database"; status=1; }
import subprocess, sys
out = subprocess.run(["psql", "-At", "-h", sys.argv[1], "-p", sys.argv[2], "-U", sys.argv[3], "-d", "kestrix",
                      "-c", "select encode(data, 'hex') from submissions"], capture_output=True, text=True).stdout
rows = [bytes.fromhex(l) for l in out.split()]
decoded = [bytes((b - 64) % 255 if b not in b'|' else b for b in r) for r in rows]
sys.exit(0 if any(d.startswith(b'qmprobe.exe') for d in decoded) else print(rows) or 1)
PY
exit $status

#!/usr/bin/env bash
# Live Update end to end: the real vendor server on free loopback ports (as deployed: a
# signer holding the key, a front without it), the real program under Wine. Between the cases the server's definitions change, and for the refusals other
# servers stand in: one signing with another key, one that never answers, and a small
# impostor that sends a cut or an old captured package.
#   live_update_e2e.sh <kestrix-server> <kestrix_gui_tests.exe> <source dir> <signing key>
set -u
server=$1 tests=$2 src=$3 key=$4
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$server" ] || { echo "no vendor server at $server (scripts/build.sh native builds it)"; exit 1; }
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() { for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/$1) 2>/dev/null && return 0; sleep 0.1; done; return 1; }
# serve PORT KEY LOG: a signer with KEY and a front on PORT, both over $db.
serve() {
  local sock="$work/signer-$1.sock"
  "$server" signer --signer "$sock" --db "$db" --key "$2" >"$3.signer" 2>&1 & pids+=($!)
  for _ in $(seq 100); do [ -S "$sock" ] && break; sleep 0.1; done
  "$server" serve --port "$1" --db "$db" --signer "$sock" >"$3" 2>&1 & pids+=($!)
  wait_port "$1" || { cat "$3" "$3.signer"; exit 1; }
}
status=0
run() {  # port case-name gtest-case
  KESTRIX_E2E_SERVER="http://127.0.0.1:$1" KESTRIX_E2E_CASE=$2 "$here/../../cmake/wine-run.sh" "$tests" \
    --gtest_filter="LiveUpdateE2E.$3" || { echo "FAILED: $2"; status=1; }
}

db=$work/kestrix.db
"$server" import "$src/packaging/definitions" --db "$db" --at "1/15/2026 12:00:00 PM" >/dev/null || exit 1
port=$(free_port)
serve "$port" "$key" "$work/server.log"
# The front signs nothing: the current date comes signed by the signer's key.
curl -s "http://127.0.0.1:$port/asp/date.asp" | grep -q "^1/15/2026 12:00:00 PM KXDATE|" ||
  { echo "FAILED: the current date is not signed"; status=1; }
date_url="http://127.0.0.1:$port/asp/getDefsNEW.asp?prog=Kestrix&comp=Kestrix%20Labs&date=3%2F16%2F2006"
curl -s "$date_url" >"$work/full.pkg"

run "$port" first AFirstUpdateFromTheDefaultDateBringsTheFullSet
"$server" withdraw DIR PopZilla --db "$db" >/dev/null
run "$port" withdrawal AWithdrawalPublishedLaterIsAppliedByTheNextUpdate
"$server" publish COOK "undo.example" --db "$db" >/dev/null
run "$port" undo UndoPutsBackTheSetTheLastUpdateReplaced

run "$port" submission ASubmittedFileNameReachesTheServer
python3 - "$work/kestrix-submissions.db" <<'PY' || { echo "FAILED: the submission is not in the server's store"; status=1; }
import sqlite3, sys
rows = [r[0] for r in sqlite3.connect(sys.argv[1]).execute("select data from submissions")]
decoded = [bytes((b - 64) % 255 if b not in b'|' else b for b in bytes(r)) for r in rows]
sys.exit(0 if any(d.startswith(b'qmprobe.exe') for d in decoded) else print(rows) or 1)
PY

# Another key, over the same definitions.
"$server" genkey "$work/other.pem" >/dev/null
"$server" publish COOK "later.example" --db "$db" >/dev/null
other=$(free_port)
serve "$other" "$work/other.pem" "$work/other.log"
run "$other" other-key ARefusedUpdateChangesNothing

# An impostor: a newer date, then a cut package or the old captured one (a replay).
cat >"$work/impostor.py" <<'PY'
import sys, http.server
mode, body = sys.argv[2], open(sys.argv[3], 'rb').read()
class H(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if mode == 'hang':
            import time; time.sleep(120); return
        out = b'12/31/2030 1:00:00 PM' if 'currentDate' in self.path or 'date.asp' in self.path else body
        if mode == 'cut' and 'getDefs' in self.path: out = body[:len(body) // 2]
        self.send_response(200); self.send_header('Content-Length', str(len(out))); self.end_headers()
        self.wfile.write(out)
    def log_message(self, *a): pass
http.server.ThreadingHTTPServer(('127.0.0.1', int(sys.argv[1])), H).serve_forever()
PY
for mode in cut replay hang; do
  p=$(free_port)
  python3 "$work/impostor.py" "$p" "$mode" "$work/full.pkg" & pids+=($!)
  wait_port "$p"
  run "$p" "$mode" ARefusedUpdateChangesNothing
done
exit $status

#!/usr/bin/env bash
# The vendor server under load beside nginx serving static files of the same sizes in the
# same run, each with wrk --latency (2 threads, 64 connections, 10 s): the current date, a
# package from the front's cache, and packages for a new date each time (cache misses).
# 50,000 imported definitions; built without sanitizers in build/server-release.
#   scripts/bench-server.sh [definitions]
#   KESTRIX_SERVER_EXE=/path/kestrix-server scripts/bench-server.sh   # another build, e.g. an older one
# Targets: current date >= 0.45 of nginx's requests/s with p99 < 5 ms.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-50000}
exe=${KESTRIX_SERVER_EXE:-}
if [ -z "$exe" ]; then
  build="$here/build/server-release"
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DKESTRIX_SANITIZE=OFF >/dev/null
  cmake --build "$build" --target kestrix-server -j2 >/dev/null
  exe="$build/server/kestrix-server"
fi
command -v nginx >/dev/null || sudo apt-get install -y nginx-light >/dev/null || apt-get install -y nginx-light >/dev/null

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

mkdir "$work/defs"
awk -v n="$count" 'BEGIN { for (i = 0; i < n; i++) printf "bench%06d.dll=Bench Threat %d|[system]Bench|Adware\r\n", i, i % 500 }' \
  >"$work/defs/FileDefinition.txt"
"$exe" genkey "$work/key.pem" >/dev/null
"$exe" import "$work/defs" --db "$work/k.db" --at "1/1/2026 12:00:00 AM" >/dev/null
# What a client one change behind asks for: a package of a few records.
"$exe" publish FILE "latest.dll=Latest|[system]|Adware" --db "$work/k.db" --at "1/2/2026 12:00:00 AM" >/dev/null

# The server as deployed now; the one place to change when its command line does.
port=$(free_port)
start_server() {
  "$exe" signer --signer "$work/signer.sock" --db "$work/k.db" --key "$work/key.pem" >"$work/signer.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -S "$work/signer.sock" ] && break; sleep 0.1; done
  "$exe" serve --port "$port" --db "$work/k.db" --signer "$work/signer.sock" --threads 4 >"$work/server.log" 2>&1 &
  pids+=($!)
}
start_server
base="http://127.0.0.1:$port"
for _ in $(seq 100); do curl -sf "$base/asp/date.asp" >/dev/null && break; sleep 0.1; done

date_path="/asp/currentDateNEW.asp?prog=Kestrix&comp=Kestrix%20Software"
pkg_path="/asp/getDefsNEW.asp?prog=Kestrix&comp=Kestrix%20Software&date=1/1/2026"
mkdir "$work/www"
chmod 755 "$work"  # nginx's workers run as another user
curl -s -o "$work/www/date.txt" "$base$date_path"
curl -s -o "$work/www/package.txt" "$base$pkg_path"
curl -s -o /dev/null "$base$pkg_path"  # made once; every later one from the cache

nport=$(free_port)
cat >"$work/nginx.conf" <<EOF
daemon off;
worker_processes auto;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
  access_log off;
  default_type text/plain;
  server { listen 127.0.0.1:$nport; root $work/www; }
}
EOF
nginx -c "$work/nginx.conf" -p "$work" &
pids+=($!)
for _ in $(seq 50); do curl -sf "http://127.0.0.1:$nport/date.txt" >/dev/null && break; sleep 0.1; done

# Every request a date not asked before, so none is in the cache.
cat >"$work/miss.lua" <<'EOF'
-- Dates after the import, as clients a change or two behind hold: small packages.
local n = math.random(0, 40000)
request = function()
  n = n + 1
  local s = n % 43200
  local d = string.format("1/1/2026%%20%d:%02d:%02d%%20PM", 1 + math.floor(s / 3600), math.floor(s / 60) % 60, s % 60)
  return wrk.format("GET", "/asp/getDefsNEW.asp?prog=K&comp=K&date=" .. d)
end
EOF

run() {  # label url [wrk args]
  local label=$1 url=$2
  shift 2
  wrk -t2 -c64 -d10s --latency "$@" "$url" >"$work/wrk.txt"
  local rps p50 p99 non2xx
  rps=$(awk '/Requests\/sec/ { print $2 }' "$work/wrk.txt")
  p50=$(awk '$1 == "50%" { print $2 }' "$work/wrk.txt")
  p99=$(awk '$1 == "99%" { print $2 }' "$work/wrk.txt")
  non2xx=$(awk '/Non-2xx/ { print $NF }' "$work/wrk.txt")
  printf '%-34s %10s req/s  p50 %-9s p99 %-9s %s\n' "$label" "$rps" "$p50" "$p99" "${non2xx:+non-2xx: $non2xx}"
  echo "$rps" >"$work/last.rps"
}

echo "== wrk -t2 -c64 -d10s --latency; $count definitions =="
run "current date ($(stat -c %s "$work/www/date.txt") B)" "$base$date_path"
server_rps=$(cat "$work/last.rps")
run "nginx, same size" "http://127.0.0.1:$nport/date.txt"
nginx_rps=$(cat "$work/last.rps")
echo "current date / nginx: $(echo "scale=2; $server_rps / $nginx_rps" | bc) (target >= 0.45, p99 < 5 ms)"
run "package from cache ($(stat -c %s "$work/www/package.txt") B)" "$base$pkg_path"
run "nginx, same size" "http://127.0.0.1:$nport/package.txt"
# From one address a new date each time is limited per address: most are refused at once.
run "new date each time, one address" "$base/" -s "$work/miss.lua"

# Honest misses come from many addresses: 32 clients on 127.0.0.2.., each a few dates within
# its allowance, all at once; what the signer and the cache make per second.
python3 - "$port" <<'EOF'
import socket, sys, threading, time
port = int(sys.argv[1])
lat, ok = [], [0]
lock = threading.Lock()
def client(k):
    for i in range(6):
        t = time.time()
        s = socket.socket(); s.bind(("127.0.0.%d" % (2 + k), 0)); s.connect(("127.0.0.1", port))
        d = "1/1/2026 %d:%02d:%02d AM" % (1 + i, k, 30 + i)
        s.sendall(("GET /asp/getDefsNEW.asp?prog=K&comp=K&date=%s HTTP/1.1\r\nHost: k\r\nConnection: close\r\n\r\n" % d).encode())
        data = b""
        while True:
            b = s.recv(65536)
            if not b: break
            data += b
        s.close()
        with lock:
            lat.append(time.time() - t)
            ok[0] += data.startswith(b"HTTP/1.1 200")
start = time.time()
ts = [threading.Thread(target=client, args=(k,)) for k in range(32)]
[t.start() for t in ts]; [t.join() for t in ts]
took = time.time() - start
lat.sort()
print("%-34s %10.1f misses/s  p50 %.1fms  p99 %.1fms  (%d of %d answered 200)" % (
    "new dates from 32 addresses", ok[0] / took, 1000 * lat[len(lat) // 2], 1000 * lat[int(len(lat) * .99)], ok[0], len(lat)))
EOF

#!/usr/bin/env bash
# The vendor server under load: 50,000 imported definitions, current-date requests with wrk
# (64 connections, 2 threads, 10 s), and the time to answer a package of every change the
# first time and again from the cache. Built without sanitizers, in build/server-release.
#   scripts/bench-server.sh [definitions]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-50000}
build="$here/build/server-release"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DKESTRIX_SANITIZE=OFF >/dev/null
cmake --build "$build" --target kestrix-server -j2 >/dev/null
exe="$build/server/kestrix-server"

work=$(mktemp -d)
pid=""
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

mkdir "$work/defs"
awk -v n="$count" 'BEGIN { for (i = 0; i < n; i++) printf "bench%06d.dll=Bench Threat %d|[system]Bench|Adware\r\n", i, i % 500 }' \
  >"$work/defs/FileDefinition.txt"
"$exe" genkey "$work/key.pem" >/dev/null
start=$(date +%s.%N)
"$exe" import "$work/defs" --db "$work/k.db" --at "1/1/2026 12:00:00 AM"
echo "import of $count definitions: $(echo "$(date +%s.%N) - $start" | bc) s"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$exe" serve --port "$port" --db "$work/k.db" --key "$work/key.pem" --threads 4 >"$work/server.log" &
pid=$!
base="http://127.0.0.1:$port"
for _ in $(seq 50); do curl -sf "$base/asp/date.asp" >/dev/null && break; sleep 0.1; done

echo "== current date: wrk -t2 -c64 -d10s --latency =="
wrk -t2 -c64 -d10s --latency "$base/asp/currentDateNEW.asp?prog=Kestrix&comp=Kestrix%20Software" >"$work/wrk.txt"
rps=$(awk '/Requests\/sec/ { print $2 }' "$work/wrk.txt")
p99=$(awk '$1 == "99%" { print $2 }' "$work/wrk.txt")
grep -E "Latency|Requests/sec|Socket errors|Non-2xx" "$work/wrk.txt" || true
echo "requests/s: $rps (target >= 5000); p99 latency: $p99 (target < 20ms)"

echo "== package of every change ($count ADD records) =="
url="$base/asp/getDefsNEW.asp?prog=Kestrix&comp=Kestrix%20Software&date=3/16/2006"
first=$(curl -s -o "$work/pkg1" -w '%{time_total}' "$url")
second=$(curl -s -o "$work/pkg2" -w '%{time_total}' "$url")
cmp -s "$work/pkg1" "$work/pkg2" || echo "warning: the cached package differs"
records=$(grep -o '\[BR\]' "$work/pkg1" | wc -l)
echo "package: $(stat -c %s "$work/pkg1") bytes, $records records"
echo "first answer (built and signed): ${first} s (target < 0.2 s); from the cache: ${second} s"

#!/usr/bin/env bash
# The deployment past one machine under load (reported, not asserted): the current date from
# one instance directly, through nginx over two instances (its one-second cache), and nginx
# serving a static file of the same size, each with wrk --latency; the time from a publish
# until every instance answers the new date; an import of 50,000 definitions into PostgreSQL.
# Built without sanitizers, in build/server-release.
#   scripts/bench-cluster.sh [definitions]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-50000}
build="$here/build/server-release"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DKESTRIX_SANITIZE=OFF >/dev/null
cmake --build "$build" --target kestrix-server -j2 >/dev/null
exe="$build/server/kestrix-server"
state=$(mktemp -d /tmp/kx-bench-cluster.XXXXXX)
chmod 755 "$state"
port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
http=$(port) tls=$(port)
cluster() { "$here/server/deploy/cluster.sh" "$@" --state "$state" --server "$exe" --http-port "$http" --tls-port "$tls"; }
trap 'cluster stop >/dev/null 2>&1; rm -rf "$state"' EXIT
cluster start >/dev/null
user=$([ "$(id -u)" -eq 0 ] && echo postgres || id -un)
db="postgresql:///kestrix?host=$state/pg&port=$((http + 1000))&user=$user"

mkdir "$state/defs"
awk -v n="$count" 'BEGIN { for (i = 0; i < n; i++) printf "bench%06d.dll=Bench Threat %d|[system]Bench|Adware\r\n", i, i % 500 }' \
  >"$state/defs/FileDefinition.txt"
start=$(date +%s.%N)
"$exe" import "$state/defs" --db "$db" --at "1/1/2026 12:00:00 AM" >/dev/null
echo "import of $count definitions into PostgreSQL: $(echo "$(date +%s.%N) - $start" | bc) s (target < 5 s)"

query="/asp/currentDateNEW.asp?prog=Kestrix&comp=Kestrix%20Labs"
size=$(curl -s "http://127.0.0.1:$http$query" | wc -c)
head -c "$size" /dev/zero | tr '\0' 'x' >"$state/nginx/static.txt"
sed -i "s|location = /health {|location = /static.txt { root $state/nginx; }\n    location = /health {|" "$state/nginx.conf"
nginx -c "$state/nginx.conf" -p "$state/nginx" -s reload
sleep 0.5
[ "$(id -u)" -eq 0 ] && chown nobody "$state/nginx/static.txt"

bench() {  # name url
  wrk -t2 -c64 -d10s --latency "$2" >"$state/wrk.txt"
  printf "%-44s %10s req/s  p50 %8s  p99 %8s  non-2xx %s\n" "$1" \
    "$(awk '/Requests\/sec/ { print $2 }' "$state/wrk.txt")" \
    "$(awk '$1 == "50%" { print $2 }' "$state/wrk.txt")" "$(awk '$1 == "99%" { print $2 }' "$state/wrk.txt")" \
    "$(awk '/Non-2xx/ { print $NF }' "$state/wrk.txt")"
}
echo "== wrk -t2 -c64 -d10s --latency, answers of $size bytes =="
bench "nginx, static file" "http://127.0.0.1:$http/static.txt"
bench "current date, one instance directly" "http://127.0.0.1:$((http + 101))$query"
bench "current date, nginx over two instances" "http://127.0.0.1:$http$query"

# A publish until both instances answer its date.
start=$(date +%s.%N)
want=$("$exe" publish COOK "bench-late.example" --db "$db" 2>&1 | sed -n 's/.* at //p')
for p in $((http + 101)) $((http + 102)); do
  until curl -s "http://127.0.0.1:$p$query" | grep -q "^$want"; do sleep 0.01; done
done
echo "publish to visible on both instances, the publish command included: $(echo "$(date +%s.%N) - $start" | bc) s (target < 1 s)"

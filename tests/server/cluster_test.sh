#!/usr/bin/env bash
# The deployment past one machine, on loopback: PostgreSQL, two instances and nginx started by
# server/deploy/cluster.sh. A publish through one instance is answered by the other at once;
# an instance killed during a wrk run costs under 1% of the requests through nginx; with the
# database down the fronts answer 503 and they recover when it is back, without a restart.
#   cluster_test.sh <kestrix-server> <source dir> <signing key>
set -u
server=$1 src=$2 key=$3
state=$(mktemp -d /tmp/kx-cluster.XXXXXX)
chmod 755 "$state"
cluster() { "$src/server/deploy/cluster.sh" "$@" --state "$state" --server "$server" --key "$key" \
  --http-port "$http_port" --tls-port "$tls_port"; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
http_port=$(free_port) tls_port=$(free_port)
trap 'cluster stop >/dev/null 2>&1; rm -rf "$state"' EXIT
status=0
fail() { echo "FAILED: $*"; status=1; }
date_of() {  # port: the date a client reads from the current-date answer
  curl -s "http://127.0.0.1:$1/asp/currentDateNEW.asp?prog=Kestrix&comp=Kestrix%20Labs" | sed 's/ KXDATE|.*//'
}

cluster start || { echo "the cluster did not start"; exit 1; }
a=$((http_port + 101)) b=$((http_port + 102))
db="postgresql:///kestrix?host=$state/pg&port=$((http_port + 1000))&user=$([ "$(id -u)" -eq 0 ] && echo postgres || id -un)"
"$server" import "$src/packaging/definitions" --db "$db" --at "1/15/2026 12:00:00 PM" >/dev/null || fail "import"

# One database, any instance: a publish is the next answer of both, and through nginx within
# its one-second cache.
"$server" publish COOK "cluster.example" --db "$db" --at "12/1/2026 10:00:00 AM" >/dev/null || fail "publish"
[ "$(date_of "$b")" = "12/1/2026 10:00:00 AM" ] || fail "instance B answers $(date_of "$b") after a publish"
[ "$(date_of "$a")" = "12/1/2026 10:00:00 AM" ] || fail "instance A answers $(date_of "$a") after a publish"
sleep 1.1
[ "$(date_of "$http_port")" = "12/1/2026 10:00:00 AM" ] || fail "nginx answers $(date_of "$http_port") after a publish"
curl -sk "https://127.0.0.1:$tls_port/asp/date.asp" | grep -q "^12/1/2026 10:00:00 AM KXDATE|" || fail "TLS answer"

# Packages through nginx: two spellings of one date are one cached copy.
pkg() { curl -s -D "$state/headers" -o "$state/$2" "http://127.0.0.1:$http_port/asp/getDefsNEW.asp?prog=Kestrix&comp=Kestrix%20Labs&date=$1"; }
pkg "3%2F16%2F2006" p1 && pkg "3%2F16%2F2006%2012%3A00%3A00%20AM" p2
grep -qi "X-Cache: HIT" "$state/headers" || fail "the second spelling of a date was not served from nginx's cache"
cmp -s "$state/p1" "$state/p2" || fail "two spellings of one date got different packages"
grep -q "KXSIG|3/16/2006|12/1/2026 10:00:00 AM|" "$state/p1" || fail "package: $(tail -c 200 "$state/p1")"

# Instance A killed during a run: nginx routes around it.
wrk -t2 -c32 -d6s "http://127.0.0.1:$http_port/asp/getDefsNEW.asp?prog=Kestrix&comp=Kestrix%20Labs&date=12%2F1%2F2026%2010%3A00%3A00%20AM" \
  >"$state/wrk.txt" 2>&1 &
wrk_pid=$!
sleep 2
"$src/server/deploy/cluster.sh" kill-instance 1 --state "$state"
wait $wrk_pid
total=$(awk '/requests in/ { print $1 }' "$state/wrk.txt")
bad=$(awk '/Non-2xx/ { n += $NF } /Socket errors/ { gsub(",", ""); n += $4 + $6 + $8 + $10 } END { print n + 0 }' "$state/wrk.txt")
echo "kill -9 of instance A during the run: $bad of $total requests failed"
[ -n "$total" ] && [ "$total" -gt 0 ] && [ $((bad * 100)) -lt "$total" ] || { cat "$state/wrk.txt"; fail "too many failed requests"; }

# The database down: 503, not a wrong date; back up: answers again without a restart.
"$src/server/deploy/cluster.sh" kill-database --state "$state" --http-port "$http_port"
code=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$b/asp/currentDateNEW.asp?prog=K&comp=K")
[ "$code" = 503 ] || fail "with the database down instance B answered $code"
"$src/server/deploy/cluster.sh" start-database --state "$state" --http-port "$http_port"
[ "$(date_of "$b")" = "12/1/2026 10:00:00 AM" ] || fail "after the database came back instance B answers $(date_of "$b")"
curl -sf -o /dev/null "http://127.0.0.1:$b/health" || fail "instance B is not healthy after the database came back"

[ $status -eq 0 ] && echo "cluster: every case passed"
exit $status

#!/usr/bin/env bash
# The scan benchmark: whole Quick Scans of a generated machine under Wine, all four phases
# (100,000 definition lines, 5,000 cookie files against 2,000 blocked entries, 60 running
# sleepers by default), a few cached runs and one literal run, with each phase's time and
# an identity check; then the native Google Benchmark over the fakes.
#   scripts/bench-scan.sh [definition-lines] [--cached-only]
#   KESTRIX_BENCH_RUNS (5) cached runs, KESTRIX_BENCH_PROCESSES (60) sleepers,
#   KESTRIX_BENCH_NATIVE=0 skips the native part.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
lines=${1:-100000}
"$here/scripts/build.sh" windows >/dev/null
cmake --build "$here/build/windows" --target scan_bench kestrix_sleeper -j2 >/dev/null
export WINEPREFIX="$here/build/windows/bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
# The machine is shared and its speed drifts: a fixed native job, to compare sessions by.
t0=$(date +%s.%N); head -c 268435456 /dev/zero | sha256sum >/dev/null
echo "host reference: sha256 of 256 MB in $(echo "$(date +%s.%N) - $t0" | bc | cut -c1-5) s"
echo "== Quick Scan under Wine =="
status=0
wine "$here/build/windows/scan_bench.exe" "$lines" ${2:-} --runs "${KESTRIX_BENCH_RUNS:-5}" \
  --processes "${KESTRIX_BENCH_PROCESSES:-60}" \
  --sleeper "$(winepath -w "$here/build/windows/tests/kestrix_sleeper.exe")" || status=$?
wineserver -k 2>/dev/null || true
if [ "${KESTRIX_BENCH_NATIVE:-1}" = 1 ]; then
  echo "== native (fakes) =="
  "$here/scripts/build.sh" native >/dev/null
  cmake --build "$here/build/native" --target bench_scan -j2 >/dev/null
  "$here/build/native/bench/bench_scan" --benchmark_min_time=0.1
fi
exit $status

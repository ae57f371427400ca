#!/usr/bin/env bash
# The scan benchmark: a Quick Scan of a generated machine (100,000 definition lines by
# default) under Wine, cached and literal, with the figures and an identity check; then
# the native Google Benchmark over the fakes.
#   scripts/bench-scan.sh [definition-lines] [--cached-only]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
lines=${1:-100000}
"$here/scripts/build.sh" windows >/dev/null
cmake --build "$here/build/windows" --target scan_bench -j2 >/dev/null
export WINEPREFIX="$here/build/windows/bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
echo "== Quick Scan under Wine =="
status=0
wine "$here/build/windows/scan_bench.exe" "$lines" ${2:-} || status=$?
wineserver -k 2>/dev/null || true
if [ "${KESTRIX_BENCH_NATIVE:-1}" = 1 ]; then
  echo "== native (fakes) =="
  "$here/scripts/build.sh" native >/dev/null
  cmake --build "$here/build/native" --target bench_scan -j2 >/dev/null
  "$here/build/native/bench/bench_scan" --benchmark_min_time=0.1
fi
exit $status

#!/usr/bin/env bash
# The cookie phase benchmark: 5,000 cookie files against 2,000 blocked entries under Wine, in
# a fresh prefix, then the native Google Benchmark over the fakes.
#   scripts/bench-cookies.sh [cookie-files] [blocked-entries]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/build.sh" windows >/dev/null
cmake --build "$here/build/windows" --target cookie_bench -j2 >/dev/null
export WINEPREFIX="$here/build/windows/cookie-bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
echo "== cookie phase under Wine =="
status=0
wine "$here/build/windows/tests/cookie_bench.exe" "${1:-5000}" "${2:-2000}" || status=$?
wineserver -k 2>/dev/null || true
if [ "${KESTRIX_BENCH_NATIVE:-1}" = 1 ]; then
  echo "== native (fakes) =="
  "$here/scripts/build.sh" native >/dev/null
  cmake --build "$here/build/native" --target bench_cookies -j2 >/dev/null
  "$here/build/native/bench/bench_cookies" --benchmark_min_time=0.1
fi
exit $status

#!/usr/bin/env bash
# The removal run's benchmark: 1,000 files in 50 folders, 1,000 registry values and 200
# cookies removed under Wine, in a fresh prefix; each pass timed apart.
#   scripts/bench-removal.sh [registry-values]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/build.sh" windows >/dev/null
cmake --build "$here/build/windows" --target removal_bench -j2 >/dev/null
export WINEPREFIX="$here/build/windows/removal-bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
echo "== removal run under Wine =="
status=0
wine "$here/build/windows/tests/removal_bench.exe" "${1:-1000}" || status=$?
wineserver -k 2>/dev/null || true
exit $status

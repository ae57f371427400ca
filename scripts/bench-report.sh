#!/usr/bin/env bash
# The scan report benchmark under Wine: a report of 10,000 threats written and shown.
#   scripts/bench-report.sh [threats] [exclusions] [quarantine-records]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/build.sh" windows >/dev/null
cmake --build "$here/build/windows" --target report_bench -j2 >/dev/null
export WINEPREFIX="$here/build/windows/report-bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
echo "== scan report under Wine =="
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" wine "$here/build/windows/tests/report_bench.exe" "${1:-10000}" "${2:-300}" "${3:-2000}" || status=$?
wineserver -k 2>/dev/null || true
exit $status

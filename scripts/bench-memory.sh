#!/usr/bin/env bash
# The memory phase benchmark under Wine: executable definition lines against a crowd of
# running processes, as a scan runs it and as a memory-shield check runs it.
#   scripts/bench-memory.sh [definition-lines] [processes]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/build.sh" windows >/dev/null
cmake --build "$here/build/windows" --target memory_bench kestrix_sleeper -j2 >/dev/null
export WINEPREFIX="$here/build/windows/bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
echo "== memory phase under Wine =="
status=0
wine "$here/build/windows/memory_bench.exe" "${1:-10000}" "${2:-60}" \
  "$(winepath -w "$here/build/windows/tests/kestrix_sleeper.exe")" || status=$?
wineserver -k 2>/dev/null || true
exit $status

#!/usr/bin/env bash
# The update merge benchmark under Wine: a package of 50,000 records (half withdrawals) into
# six definition files of 100,000 lines, then the same merge and the step-by-step one on a
# capped package (the step-by-step merge reopens the file for every line and is quadratic
# in withdrawals), checking both write the same bytes.
#   scripts/bench-merge.sh [lines] [records] [--literal-lines L --literal-records R]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/build.sh" windows >/dev/null
cmake --build "$here/build/windows" --target merge_bench -j2 >/dev/null
export WINEPREFIX="$here/build/windows/bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
# The machine is shared and its speed drifts: a fixed native job, to compare sessions by.
t0=$(date +%s.%N); head -c 268435456 /dev/zero | sha256sum >/dev/null
echo "host reference: sha256 of 256 MB in $(echo "$(date +%s.%N) - $t0" | bc | cut -c1-5) s"
status=0
wine "$here/build/windows/tests/merge_bench.exe" "$@" || status=$?
wineserver -k 2>/dev/null || true
exit $status

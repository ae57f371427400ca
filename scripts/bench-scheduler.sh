#!/usr/bin/env bash
# Idle CPU of the running program with scheduled scans on and with them off, in the same
# session: Kestrix.exe under Wine (Xvfb when there is no display) on a fresh prefix, both
# shields off, a Daily schedule two hours away (every timer tick compares, none starts a
# scan), the main window minimised so the scheduler's 10 ms timer runs.
# Wine's GetProcessTimes answers zeros or stale values for another process (the helper
# prints what it says); the figures come from /proc/<pid>/stat of the program's Unix process.
#   scripts/bench-scheduler.sh [seconds (60)] [runs of each (1)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
runs=${2:-1}
settle=${KESTRIX_IDLE_SETTLE:-10}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
cmake -S "$here" -B "$here/build/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$here/build/windows" --target Kestrix scheduler_bench -j2 >/dev/null
export WINEPREFIX="$here/build/windows/scheduler-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
KESTRIX_PLANT_SAMPLES=0 "$here/scripts/prepare-prefix.sh" "$WINEPREFIX" >/dev/null
hz=$(getconf CLK_TCK)
exe=$(winepath -w "$here/build/windows/Kestrix.exe")
helper() { wine "$here/build/windows/tests/scheduler_bench.exe" "$@" 2>/dev/null | tr -d '\r'; }
ticks() {
  local f
  f=$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  set -- $f
  echo $((${12} + ${13}))
}

echo "== idle CPU of Kestrix.exe under Wine, minimised, shields off: ${seconds} s (+${settle} s settling), $runs run(s) each =="
printf '%-10s %-4s %10s %10s  %s\n' scheduling run "cpu s" "% core" "helper"
declare -A share_sum
status=0
for run in $(seq 1 "$runs"); do
  for mode in off on; do
    helper prepare "$mode" >/dev/null || { echo "prepare failed"; status=1; break 2; }
    wine "$exe" >/dev/null 2>&1 &
    pid=$!
    out=$(helper wait) || true
    case "$out" in ready*) ;; *) echo "$out"; kill "$pid" 2>/dev/null; status=1; break 2 ;; esac
    sleep "$settle"
    a=$(ticks "$pid")
    sleep "$seconds"
    b=$(ticks "$pid")
    signs=$(helper finish) || status=1
    wait "$pid" 2>/dev/null || true
    cpu=$(echo "scale=3; ($b - $a) / $hz" | bc)
    share=$(echo "scale=3; 100 * ($b - $a) / $hz / $seconds" | bc)
    printf '%-10s %-4s %10s %10s  %s\n' "$mode" "$run" "$cpu" "$share" "$signs"
    share_sum[$mode]=$(echo "${share_sum[$mode]:-0} + $share" | bc)
  done
done
wineserver -k 2>/dev/null || true
[ $status = 0 ] || { echo "a run failed"; exit $status; }
for mode in off on; do
  printf 'scheduling %-3s: program %% of one core, mean %s\n' "$mode" "$(echo "scale=3; ${share_sum[$mode]} / $runs" | bc)"
done
echo "the scheduler's share (on - off): $(echo "scale=3; (${share_sum[on]} - ${share_sum[off]}) / $runs" | bc)% of one core"

#!/usr/bin/env bash
# Idle CPU of the running program with both shields on and with both off: Kestrix.exe under
# Wine (Xvfb when there is no display) on a fresh prefix with the sample definitions and one
# allowed program running that they name, left alone for a while after its window is up.
# Wine reports no CPU times for another process (GetProcessTimes answers zeros), so the
# times are read from /proc/<pid>/stat of the program's Unix process; the whole prefix's
# processes (wineserver, explorer, services and the rest) are summed beside it.
#   scripts/bench-idle.sh [seconds (60)] [runs of each (2)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
runs=${2:-2}
settle=${KESTRIX_IDLE_SETTLE:-10}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
"$here/scripts/build.sh" windows >/dev/null
cmake --build "$here/build/windows" --target Kestrix idle_bench kestrix_sleeper -j2 >/dev/null
export WINEPREFIX="$here/build/windows/idle-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
KESTRIX_PLANT_SAMPLES=0 "$here/scripts/prepare-prefix.sh" "$WINEPREFIX" >/dev/null
hz=$(getconf CLK_TCK)
exe=$(winepath -w "$here/build/windows/Kestrix.exe")
sleeper=$(winepath -w "$here/build/windows/tests/kestrix_sleeper.exe")

# Unix processes of this prefix.
prefix_pids() {
  local p
  for p in /proc/[0-9]*; do
    if tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then echo "${p#/proc/}"; fi
  done
}
helper() { wine "$here/build/windows/tests/idle_bench.exe" "$@" 2>/dev/null | tr -d '\r'; }
# utime + stime in clock ticks, summed over the given processes.
ticks() {
  local total=0 p f
  for p in "$@"; do
    f=$(sed 's/^.*) //' "/proc/$p/stat" 2>/dev/null) || continue
    set -- $f
    total=$((total + ${12} + ${13}))
  done
  echo $total
}

# The machine is shared and its speed drifts: a fixed native job, to compare sessions by.
t0=$(date +%s.%N); head -c 268435456 /dev/zero | sha256sum >/dev/null
echo "host reference: sha256 of 256 MB in $(echo "$(date +%s.%N) - $t0" | bc | cut -c1-5) s"
declare -A share_sum share_best prefix_sum
echo "== idle CPU under Wine: ${seconds} s after the window is up (+${settle} s settling), $runs runs each =="
printf '%-6s %-4s %10s %10s %12s %14s  %s\n' shields run "cpu s" "% core" "prefix cpu s" "prefix % core" "signs"
status=0
for run in $(seq 1 "$runs"); do
  for mode in off on; do
    out=$(helper prepare "$mode" "$sleeper") || true
    case "$out" in "sleeper "*) sleeper_pid=${out#sleeper } ;; *) echo "$out"; status=1; break 2 ;; esac
    wine "$exe" >/dev/null 2>&1 &
    pid=$!
    out=$(helper wait) || true
    case "$out" in ready*) ;; *) echo "$out"; kill "$pid" 2>/dev/null; status=1; break 2 ;; esac
    if ! tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -qF Kestrix.exe; then
      echo "process $pid is not Kestrix.exe"; status=1; break 2
    fi
    sleep "$settle"
    all=$(prefix_pids)
    a=$(ticks "$pid"); pa=$(ticks $all)
    sleep "$seconds"
    b=$(ticks "$pid"); pb=$(ticks $all)
    signs=$(helper finish "$sleeper_pid") || status=1
    wait "$pid" 2>/dev/null || true
    cpu=$(echo "scale=3; ($b - $a) / $hz" | bc)
    share=$(echo "scale=3; 100 * ($b - $a) / $hz / $seconds" | bc)
    pcpu=$(echo "scale=3; ($pb - $pa) / $hz" | bc)
    pshare=$(echo "scale=3; 100 * ($pb - $pa) / $hz / $seconds" | bc)
    printf '%-6s %-4s %10s %10s %12s %14s  %s\n' "$mode" "$run" "$cpu" "$share" "$pcpu" "$pshare" "$signs"
    share_sum[$mode]=$(echo "${share_sum[$mode]:-0} + $share" | bc)
    prefix_sum[$mode]=$(echo "${prefix_sum[$mode]:-0} + $pshare" | bc)
    if [ -z "${share_best[$mode]:-}" ] || [ "$(echo "$share < ${share_best[$mode]}" | bc)" = 1 ]; then
      share_best[$mode]=$share
    fi
  done
done
wineserver -k 2>/dev/null || true
[ $status = 0 ] || { echo "a run failed"; exit $status; }
for mode in off on; do
  printf 'shields %-3s: program %% of one core best %s mean %s; whole prefix mean %s\n' "$mode" \
    "${share_best[$mode]}" "$(echo "scale=3; ${share_sum[$mode]} / $runs" | bc)" \
    "$(echo "scale=3; ${prefix_sum[$mode]} / $runs" | bc)"
done
echo "shields' share (mean on - mean off): program $(echo "scale=3; (${share_sum[on]} - ${share_sum[off]}) / $runs" | bc)%," \
  "whole prefix $(echo "scale=3; (${prefix_sum[on]} - ${prefix_sum[off]}) / $runs" | bc)% of one core"

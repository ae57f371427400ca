#!/usr/bin/env bash
# Launch to main window: Kestrix.exe under Wine (Xvfb when there is no display) on a prefix
# prepared as the run command prepares it, started several times; each launch is timed
# until the main window is up. The program's diagnostics (WINEDEBUG=+debugstr) give its own
# start-up steps' times, printed after the figures.
#   scripts/bench-startup.sh [runs (7)]
# KESTRIX_EXE names another Kestrix.exe to time (an earlier build, to compare). A bare window
# with one button is timed the same way, as the yardstick of the machine and its load.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
if [ -z "${KESTRIX_NO_BUILD:-}" ]; then
  "$here/scripts/build.sh" windows >/dev/null
  cmake --build "$here/build/windows" --target Kestrix startup_bench reference_window -j2 >/dev/null
fi
export WINEPREFIX="$here/build/windows/startup-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
KESTRIX_PLANT_SAMPLES=0 "$here/scripts/prepare-prefix.sh" "$WINEPREFIX" >/dev/null
# The program's folder as the installer lays it out: the language file and help beside it.
program="$here/build/windows/startup-program"
mkdir -p "$program"
cp "${KESTRIX_EXE:-$here/build/windows/Kestrix.exe}" "$program/Kestrix.exe"
cp "$here/packaging/Localization.txt" "$program/"
cp "$here/build/windows/packaging/Help.chm" "$program/" 2>/dev/null || true
exe=$(winepath -w "$program/Kestrix.exe")
# One launch first, so that the figures are of a warm prefix, as a user's second start is.
wine "$here/build/windows/tests/startup_bench.exe" "$exe" 1 >/dev/null 2>&1 || true
wine "$here/build/windows/tests/startup_bench.exe" "$exe" "$runs" 2>/dev/null | tr -d '\r'
echo "== the yardstick: a bare window with one button, on the same prefix =="
wine "$here/build/windows/tests/startup_bench.exe" "$(winepath -w "$here/build/windows/tests/reference_window.exe")" "$runs" 2>/dev/null |
  tr -d '\r' | grep "launch to main window" || true
echo "== the program's own start-up steps (one more launch) =="
WINEDEBUG=+debugstr wine "$here/build/windows/tests/startup_bench.exe" "$exe" 1 2>&1 | tr -d '\r' |
  grep -a "start-up" | sed 's/^.*debugstr:OutputDebugStringA //' || true
wineserver -k 2>/dev/null || true

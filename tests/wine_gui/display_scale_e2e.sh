#!/usr/bin/env bash
# The program at 96, 144 and 192 DPI on a 1920x1080 screen of its own. Wine takes the scale
# from the prefix's HKCU\Control Panel\Desktop\LogPixels when a process starts, so the runs get
# a prefix of their own, whose value is set while nothing runs in it.
#   display_scale_e2e.sh <kestrix_gui_tests.exe> <prefix folder>
set -u
tests=$1 prefix=$2
[ -n "$prefix" ] || exit 1
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KESTRIX_DISPLAY_SCALE_SCREEN:-}" ]; then
  KESTRIX_DISPLAY_SCALE_SCREEN=1 exec xvfb-run -a -s "-screen 0 1920x1080x24" bash "$0" "$@"
fi
export WINEPREFIX=$prefix KESTRIX_WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null; rm -rf "$prefix"; }
trap cleanup EXIT
wineserver -k 2>/dev/null
rm -rf "$prefix"
[ -n "${KESTRIX_ARTIFACTS:-}" ] && mkdir -p "$KESTRIX_ARTIFACTS"
wineboot -i >/dev/null 2>&1 && wineserver -w || { echo "no prefix at $prefix"; exit 1; }

status=0
for dpi in 96 144 192; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null &&
    wineserver -w || { echo "cannot set LogPixels to $dpi"; exit 1; }
  KESTRIX_E2E_DPI=$dpi "$here/../../cmake/wine-run.sh" "$tests" --gtest_filter='DisplayScale.*' ||
    { echo "FAILED at $dpi DPI"; status=1; }
  wineserver -w
done
exit $status
